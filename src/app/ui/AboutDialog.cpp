#include "app/ui/AboutDialog.h"

#include "app/ui/Icons.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QString AboutDialog::versionText() {
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = u"1.0"_s;
    QString text = u"Version "_s + version;
    const QString build = QCoreApplication::instance()->property("buildNumber").toString();
    if (!build.isEmpty())
        text += u" ("_s + build + u")"_s;
    return text;
}

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent) {
    setObjectName(u"aboutDialog"_s);
    setWindowTitle(u"About Tarnwick"_s);

    auto *icon = new QLabel(this);
    icon->setPixmap(Icons::appIcon().pixmap(72, 72));
    icon->setAlignment(Qt::AlignHCenter);

    auto *name = new QLabel(u"Tarnwick"_s, this);
    QFont title = name->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.6);
    name->setFont(title);
    name->setAlignment(Qt::AlignHCenter);

    auto *version = new QLabel(versionText(), this);
    version->setObjectName(u"aboutVersion"_s);
    version->setForegroundRole(QPalette::PlaceholderText);
    version->setAlignment(Qt::AlignHCenter);

    auto *description =
        new QLabel(u"A graphical interface for common GAM7 commands.\nDeveloped for K12 Education."_s, this);
    description->setAlignment(Qt::AlignHCenter);

    auto *credits = new QLabel(
        u"Made by the Tarnwick contributors.<br>"
        "Every operation runs <a href=\"https://github.com/GAM-team/GAM\">GAM7</a> by GAM-team,<br>"
        "which grew from <a href=\"https://github.com/taers232c/GAMADV-XTD3\">GAMADV-XTD3</a> by Ross Scroggs "
        "and Jay Lee's original GAM.<br>"
        "Built with <a href=\"https://www.qt.io\">Qt</a> and <a href=\"https://qcoro.dev\">QCoro</a>."_s,
        this);
    credits->setObjectName(u"aboutCredits"_s);
    credits->setAlignment(Qt::AlignHCenter);
    credits->setOpenExternalLinks(true);
    credits->setTextFormat(Qt::RichText);

    auto *legal =
        new QLabel(u"Tarnwick is not affiliated with Google. Google Workspace is a trademark of Google LLC."_s, this);
    legal->setWordWrap(true);
    legal->setAlignment(Qt::AlignHCenter);
    QFont small = legal->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    legal->setFont(small);
    legal->setForegroundRole(QPalette::PlaceholderText);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 16);
    layout->setSpacing(8);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addSpacing(6);
    layout->addWidget(description);
    layout->addSpacing(6);
    layout->addWidget(credits);
    layout->addWidget(legal);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
