#pragma once

#include <QString>

class QWidget;

// What screen readers and keyboard users need from a form, derived from its
// layout so every form gets it the same way.
namespace FormAccessibility {

// A visible label as it should be read: no "&" mnemonic marker, no trailing colon.
QString labelText(const QString &visibleLabel);

// Call once a form is built (the main window does it for every tab page):
// - names each field after its QLabel buddy or its QFormLayout row label; a row whose
//   field is a layout names its first focusable widget without a name or text of its own,
//   makes it the label's buddy, and lets another label in that row (a caption) describe it;
// - lets a caption (HintText) that sits beside exactly one field, anywhere, describe it;
// - chains the Tab order in the layout's reading order.
// Names and descriptions set by hand stay, and buttons keep their own text.
void prepare(QWidget *form);

// Prepares form now and again whenever widgets are added below it (a pane rebuilt for a new
// selection, a result shown), so controls built later are named and in the Tab order too.
void keepPrepared(QWidget *form);

// Keeps prepared every dialog and window that opens with window (or one of them) as its parent.
void keepDialogsPrepared(QWidget *window);

} // namespace FormAccessibility
