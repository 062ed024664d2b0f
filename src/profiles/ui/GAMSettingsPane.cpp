#include "profiles/ui/GAMSettingsPane.h"

#include "profiles/GAMLocationSettings.h"
#include "profiles/ui/ElidedLabel.h"
#include "profiles/ui/SettingsForm.h"
#include "profiles/ui/StatusLabel.h"

#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GAMSettingsPane::GAMSettingsPane(GAMLocationSettings *settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_location(new ElidedLabel)
    , m_autodetect(new QPushButton(u"Auto-detect"_s))
    , m_status(new StatusLabel) {
    auto *pane = new QVBoxLayout(this);
    QFormLayout *form = SettingsForm::addGroup(
        pane, u"GAM Executable"_s,
        u"Auto-detect checks ~/bin/gam7/gam, ~/bin/gam/gam, /usr/local/bin, /opt/homebrew/bin, then the legacy "
        u"~/bin/gamadv-xtd3/gam. Restart the app after changing this to re-check the version. Each domain's config "
        u"folder and section are set under Domains."_s);

    m_location->setObjectName(u"gamLocation"_s);
    auto *choose = new QPushButton(u"Choose…"_s);
    choose->setObjectName(u"chooseGAMButton"_s);
    m_autodetect->setObjectName(u"autodetectButton"_s);
    SettingsForm::addRow(form, u"Location"_s, {m_location, choose, m_autodetect});
    m_status->setObjectName(u"gamStatus"_s);
    m_status->setAccessibleName(u"Status"_s);
    form->addRow(u"Status"_s, m_status);
    pane->addStretch(1);

    connect(choose, &QPushButton::clicked, this, [this] { m_settings->choose(); });
    connect(m_autodetect, &QPushButton::clicked, m_settings, &GAMLocationSettings::useAutodetect);
    connect(m_settings, &GAMLocationSettings::changed, this, &GAMSettingsPane::refresh);
    refresh();
}

void GAMSettingsPane::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refresh();
}

void GAMSettingsPane::refresh() {
    m_location->setFullText(m_settings->locationText());
    m_location->setAccessibleDescription(m_settings->locationText());
    m_autodetect->setEnabled(!m_settings->isAutodetect());
    if (const auto gam = m_settings->located())
        m_status->display(Icons::Symbol::checkmark, StatusLabel::Tone::success, *gam);
    else
        m_status->display(Icons::Symbol::failure, StatusLabel::Tone::failure, u"gam not found"_s);
}
