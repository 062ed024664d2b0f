#pragma once

// The choices of the Drive form, each in the order of its picker.

// Whose drives a find or delete covers.
enum class DriveScope { user, ou, domain };

// Which drive the files are on.
enum class DriveKind { myDrive, shared };

// How files are named at scope user; OU and domain scopes always go by name.
enum class DriveFindMethod { fileID, name };
