#pragma once

#include "security/CheckResult.h"
#include "security/SecurityCheck.h"

#include <QWidget>

class Console;
class DesktopServices;
class SecurityModel;

// One check's latest result: its flags, text, tables, evidence files and the
// button of the change it offers. Built afresh for every result.
class SecurityResultView : public QWidget {
    Q_OBJECT
public:
    SecurityResultView(SecurityModel *model, DesktopServices *desktop, SecurityCheck check, const CheckResult &result,
                       QWidget *parent = nullptr);

private:
    QWidget *flagRow(const SecurityFlag &flag) const;
    QWidget *textBox(const QString &text) const;
    QWidget *sensitiveBox(const QString &text) const;
    QWidget *evidenceSection(const QList<EvidenceItem> &items, DesktopServices *desktop) const;
};
