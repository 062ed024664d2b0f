#include "app/ui/SetupBanner.h"

#include "app/GAMSetup.h"
#include "app/ui/Icons.h"
#include "core/DesktopServices.h"
#include "core/PlatformTexts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QColor orange(255, 149, 0);

struct Texts {
    QString title;
    QString body;
};

Texts texts(const GAMSetup::Problem &problem) {
    switch (problem.kind) {
    case GAMSetup::Problem::Kind::gamadvXTD3:
        return {u"GAMADV-XTD3 "_s + problem.version + u" found — GAM7 recommended"_s,
                problem.path + u" has been replaced by GAM7. Upgrading keeps your existing project and credentials."_s};
    case GAMSetup::Problem::Kind::legacyGAM:
        return {u"GAM "_s + problem.version + u" found — this app requires GAM7"_s,
                problem.path +
                    u" is too old for some commands. After installing, follow the upgrade guide to move your "
                    u"credentials."_s};
    case GAMSetup::Problem::Kind::notFound:
        break;
    }
    return {u"GAM7 isn't installed"_s, u"Install it with the official installer, or choose an existing gam in "_s +
                                           PlatformTexts::settingsReference() + u"."_s};
}

} // namespace

SetupBanner::SetupBanner(GAMSetup *setup, DesktopServices *desktop, QWidget *parent)
    : QFrame(parent)
    , m_setup(setup)
    , m_desktop(desktop)
    , m_title(new QLabel(this))
    , m_body(new QLabel(this))
    , m_guide(new QPushButton(u"Upgrade Guide"_s, this)) {
    setObjectName(u"setupBanner"_s);
    // Orange at 12 % over the window colour, rounded, as a quiet but unmissable strip.
    setStyleSheet(u"#setupBanner { background-color: rgba(255, 149, 0, 31); border-radius: 8px; }"_s);

    auto *symbol = new QLabel(this);
    symbol->setPixmap(Icons::tinted(Icons::Symbol::warning, orange, 28));
    symbol->setAlignment(Qt::AlignTop);

    QFont headline = m_title->font();
    headline.setBold(true);
    m_title->setFont(headline);
    m_title->setObjectName(u"bannerTitle"_s);
    m_body->setObjectName(u"bannerBody"_s);
    m_body->setWordWrap(true);
    m_body->setForegroundRole(QPalette::PlaceholderText);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_body->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_title);
    texts->addWidget(m_body);

    m_guide->setObjectName(u"upgradeGuideButton"_s);
    auto *recheck = new QPushButton(u"Re-check"_s, this);
    recheck->setObjectName(u"recheckButton"_s);
    auto *install = new QPushButton(u"Install GAM7…"_s, this);
    install->setObjectName(u"installButton"_s);
    install->setDefault(true);
    auto *hide = new QToolButton(this);
    hide->setObjectName(u"hideBannerButton"_s);
    hide->setIcon(Icons::icon(Icons::Symbol::xmark));
    hide->setAutoRaise(true);
    hide->setToolTip(u"Hide"_s);
    hide->setAccessibleName(u"Hide"_s);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(symbol);
    row->addLayout(texts, 1);
    row->addWidget(m_guide);
    row->addWidget(recheck);
    row->addWidget(install);
    row->addWidget(hide);

    connect(m_guide, &QPushButton::clicked, this, [this] {
        if (m_setup->problem())
            m_desktop->openUrl(GAMSetup::upgradeGuideURL(m_setup->problem()->kind));
    });
    connect(recheck, &QPushButton::clicked, m_setup, [this] { m_setup->check(); });
    connect(install, &QPushButton::clicked, m_setup, &GAMSetup::offerInstall);
    connect(hide, &QToolButton::clicked, m_setup, &GAMSetup::dismissBanner);

    connect(m_setup, &GAMSetup::problemChanged, this, &SetupBanner::refresh);
    connect(m_setup, &GAMSetup::bannerDismissedChanged, this, &SetupBanner::refresh);
    refresh();
}

void SetupBanner::refresh() {
    const auto &problem = m_setup->problem();
    setVisible(problem && !m_setup->isBannerDismissed());
    if (!problem)
        return;
    const Texts t = texts(*problem);
    m_title->setText(t.title);
    m_body->setText(t.body);
    m_guide->setVisible(problem->kind != GAMSetup::Problem::Kind::notFound);
}
