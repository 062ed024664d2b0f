#pragma once

#include <QString>
#include <initializer_list>

class QFormLayout;
class QGroupBox;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;
class QWidget;

// The building blocks the Settings panes share: titled groups of labelled rows
// with a caption under them.
namespace SettingsForm {

// A group with a form inside, added to pane; the footer (if any) follows it as a caption.
QFormLayout *addGroup(QVBoxLayout *pane, const QString &title, const QString &footer = {});
// Adds a row whose field is a row of widgets; the first carries the label's accessible name.
QHBoxLayout *addRow(QFormLayout *form, const QString &label, std::initializer_list<QWidget *> widgets);

// Red text for a button that removes something, as the alerts' destructive buttons have.
void markDestructive(QPushButton *button);

} // namespace SettingsForm
