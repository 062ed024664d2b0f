#pragma once

#include <QDialog>

// "About Tarnwick": version, purpose, and credit to the projects it builds on.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // "Version 0.1.0", with " (build)" when the build has a number.
    static QString versionText();
};
