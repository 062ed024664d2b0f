#include "profiles/ui/SecuritySettingsPane.h"

#include "profiles/SecuritySettings.h"
#include "profiles/ui/ElidedLabel.h"
#include "profiles/ui/SettingsForm.h"
#include "tabs/ui/HintText.h"

#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SecuritySettingsPane::SecuritySettingsPane(SecuritySettings *settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_iocFile(new ElidedLabel)
    , m_default(new QPushButton(u"Default"_s))
    , m_passwordMode(new QComboBox) {
    auto *pane = new QVBoxLayout(this);
    QFormLayout *shared = SettingsForm::addGroup(
        pane, u"Shared by All Domains"_s,
        u"Known-bad IPs and domains, one per line. It's shared so an attacker IP found in one domain is also checked "
        u"in the others."_s);
    m_iocFile->setObjectName(u"iocFile"_s);
    auto *choose = new QPushButton(u"Choose…"_s);
    choose->setObjectName(u"chooseIOCFileButton"_s);
    m_default->setObjectName(u"defaultIOCFileButton"_s);
    SettingsForm::addRow(shared, u"Indicator List"_s, {m_iocFile, choose, m_default});

    QFormLayout *passwords = SettingsForm::addGroup(
        pane, QString(),
        u"Batch remediation shows new temporary passwords once. \"Save locally\" writes an owner-only CSV to the "
        u"domain's evidence folder; \"Upload\" sends it to the domain's Shared Drive and deletes the local copy. If "
        u"you save them, restrict the folder to IT."_s);
    m_passwordMode->setObjectName(u"passwordLogMode"_s);
    m_passwordMode->setAccessibleName(u"Batch Passwords"_s);
    for (const SecuritySettings::PasswordLogChoice &choice : SecuritySettings::passwordLogChoices())
        m_passwordMode->addItem(choice.label, choice.value);
    passwords->addRow(u"Batch Passwords"_s, m_passwordMode);

    pane->addWidget(new HintText(
        u"Each domain's primary domain, evidence folder, audit log and Shared Drive upload are set on the Domains "
        u"page."_s));
    pane->addStretch(1);

    connect(choose, &QPushButton::clicked, this, [this] { m_settings->chooseIOCFile(); });
    connect(m_default, &QPushButton::clicked, m_settings, &SecuritySettings::useDefaultIOCFile);
    connect(m_passwordMode, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_settings->setPasswordLogMode(m_passwordMode->itemData(index).toString());
    });
    connect(m_settings, &SecuritySettings::changed, this, &SecuritySettingsPane::refresh);
    refresh();
}

void SecuritySettingsPane::refresh() {
    const bool usesDefault = m_settings->usesDefaultIOCFile();
    m_iocFile->setFullText(SecuritySettings::iocFilePath());
    m_iocFile->setAccessibleDescription(SecuritySettings::iocFilePath());
    m_iocFile->setForegroundRole(usesDefault ? QPalette::PlaceholderText : QPalette::WindowText);
    m_default->setEnabled(!usesDefault);
    const QSignalBlocker blocker(m_passwordMode);
    // An unknown stored mode works as "none" in the Security tab, so it shows as that.
    m_passwordMode->setCurrentIndex(qMax(0, m_passwordMode->findData(SecuritySettings::passwordLogMode())));
}
