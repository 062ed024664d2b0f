#pragma once

#include <QKeySequence>

class QAbstractButton;

// The keys of the main actions, the same in every tab. A button's shortcut only
// works while the button is visible and enabled, so the same key can serve each
// tab's own button (Find in Gmail, Drive and Classroom alike).
namespace Shortcuts {

inline const QKeySequence run{Qt::CTRL | Qt::Key_Return};
inline const QKeySequence stop{Qt::Key_Escape};
inline const QKeySequence find{Qt::CTRL | Qt::Key_F};
inline const QKeySequence preview{Qt::CTRL | Qt::Key_P};
// Exports of a tab's or a sheet's results.
inline const QKeySequence exportCSV{Qt::CTRL | Qt::Key_E};
inline const QKeySequence exportText{Qt::CTRL | Qt::SHIFT | Qt::Key_E};
// Exports of the output log, which shares the window with the tabs' own exports.
inline const QKeySequence saveLogCSV{Qt::CTRL | Qt::Key_S};
inline const QKeySequence saveLogText{Qt::CTRL | Qt::SHIFT | Qt::Key_S};

// Gives the button its shortcut and names the keys in its tooltip: "Find Messages (Ctrl+F)".
void assign(QAbstractButton *button, const QKeySequence &keys);

} // namespace Shortcuts
