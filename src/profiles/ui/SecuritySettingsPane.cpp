#include "profiles/ui/SecuritySettingsPane.h"

#include "profiles/SecuritySettings.h"
#include "profiles/ui/ElidedLabel.h"
#include "profiles/ui/SettingsForm.h"
#include "tabs/ui/HintText.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SecuritySettingsPane::SecuritySettingsPane(SecuritySettings *settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_iocFile(new ElidedLabel)
    , m_default(new QPushButton(u"Default"_s))
    , m_passwordMode(new QButtonGroup(this)) {
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
    // Three choices, all in sight: radio buttons read better than a pop-up, to people and screen readers.
    auto *modes = new QVBoxLayout;
    const QList<SecuritySettings::PasswordLogChoice> choices = SecuritySettings::passwordLogChoices();
    for (qsizetype index = 0; index < choices.size(); ++index) {
        auto *option = new QRadioButton(choices.at(index).label);
        option->setObjectName(u"passwordLogMode-"_s + choices.at(index).value);
        m_passwordMode->addButton(option, int(index));
        modes->addWidget(option);
    }
    passwords->addRow(u"Batch Passwords"_s, modes);

    pane->addWidget(new HintText(
        u"Each domain's primary domain, evidence folder, audit log and Shared Drive upload are set on the Domains "
        u"page."_s));
    pane->addStretch(1);

    connect(choose, &QPushButton::clicked, this, [this] { m_settings->chooseIOCFile(); });
    connect(m_default, &QPushButton::clicked, m_settings, &SecuritySettings::useDefaultIOCFile);
    connect(m_passwordMode, &QButtonGroup::idToggled, this, [this](int index, bool checked) {
        if (checked)
            m_settings->setPasswordLogMode(SecuritySettings::passwordLogChoices().at(index).value);
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
    // An unknown stored mode works as "none" in the Security tab, so it shows as that.
    const QList<SecuritySettings::PasswordLogChoice> choices = SecuritySettings::passwordLogChoices();
    const auto stored = std::find_if(choices.cbegin(), choices.cend(), [](const auto &choice) {
        return choice.value == SecuritySettings::passwordLogMode();
    });
    const QSignalBlocker blocker(m_passwordMode);
    m_passwordMode->button(stored == choices.cend() ? 0 : int(stored - choices.cbegin()))->setChecked(true);
}
