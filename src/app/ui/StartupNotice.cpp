#include "app/ui/StartupNotice.h"

#include "app/GAMSetup.h"
#include "app/ui/Icons.h"
#include "core/DesktopServices.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

StartupNotice::StartupNotice(DesktopServices *desktop, QWidget *parent)
    : QDialog(parent) {
    setObjectName(u"startupNotice"_s);
    setWindowTitle(u"Tarnwick"_s);
    setWindowModality(Qt::WindowModal);

    auto *symbol = new QLabel(this);
    symbol->setPixmap(Icons::tinted(Icons::Symbol::warning, QColor(255, 59, 48), 36));
    symbol->setAlignment(Qt::AlignHCenter);

    auto *headline =
        new QLabel(u"You must have GAM installed and connected to your Domain before using this tool!"_s, this);
    headline->setObjectName(u"noticeHeadline"_s);
    headline->setWordWrap(true);
    headline->setAlignment(Qt::AlignHCenter);
    QFont font = headline->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    headline->setFont(font);

    auto *link = new QLabel(
        u"<a href=\"%1\">GAM Installation &amp; Setup Guide →</a>"_s.arg(GAMSetup::wikiURL().toString()), this);
    link->setObjectName(u"noticeGuideLink"_s);
    link->setAlignment(Qt::AlignHCenter);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, [desktop](const QString &address) { desktop->openUrl(QUrl(address)); });

    auto *proceed = new QPushButton(u"I have GAM installed — Continue"_s, this);
    proceed->setObjectName(u"noticeContinueButton"_s);
    proceed->setDefault(true);
    proceed->setAutoDefault(true);
    connect(proceed, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(14);
    layout->addWidget(symbol);
    layout->addWidget(headline);
    layout->addWidget(link);
    layout->addSpacing(6);
    layout->addWidget(proceed, 0, Qt::AlignHCenter);
    setFixedWidth(440);
    proceed->setFocus();
}
