#pragma once

// The Gmail tab's modes, in the order of the picker.
enum class GmailMode { messageID, sender, properties };
