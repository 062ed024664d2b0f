#include "security/ui/TargetBar.h"

#include "core/Console.h"
#include "profiles/ProfileStore.h"
#include "security/SecurityModel.h"
#include "security/UserResolution.h"
#include "security/ui/SecuritySymbols.h"
#include "tabs/ui/HintText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int iconSize = 18;

} // namespace

TargetBar::TargetBar(SecurityModel *model, ProfileStore *profiles, Console *console, QWidget *parent)
    : QFrame(parent)
    , m_model(model)
    , m_console(console)
    , m_field(new QLineEdit)
    , m_button(new QPushButton)
    , m_targetIcon(new QLabel)
    , m_targetText(new QLabel)
    , m_hintIcon(new QLabel)
    , m_hint(new HintText(QString())) {
    setObjectName(u"targetBar"_s);
    setFrameShape(QFrame::StyledPanel);

    auto *label = new QLabel(u"Target User"_s);
    label->setBuddy(m_field);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    m_field->setObjectName(u"targetUserField"_s);
    m_field->setPlaceholderText(u"username or email"_s);
    m_field->setToolTip(u"A username, or a full address such as jane.doe@district.example.org"_s);
    m_field->setAccessibleName(u"Target User"_s);
    m_field->setAccessibleDescription(u"A username, or a full address such as jane.doe@district.example.org"_s);
    m_field->setInputMethodHints(Qt::ImhEmailCharactersOnly | Qt::ImhNoAutoUppercase);
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(240);
    m_button->setObjectName(u"targetButton"_s);
    m_targetText->setObjectName(u"targetStatus"_s);
    m_targetText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_hint->setObjectName(u"domainHint"_s);

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_field, 1);
    row->addWidget(m_button);
    row->addSpacing(12);
    row->addWidget(m_targetIcon);
    row->addWidget(m_targetText, 1);

    auto *hintRow = new QHBoxLayout;
    hintRow->addWidget(m_hintIcon);
    hintRow->addWidget(m_hint, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(4);
    layout->addLayout(row);
    layout->addLayout(hintRow);

    m_field->setText(model->userInput());
    connect(m_field, &QLineEdit::textChanged, model, &SecurityModel::setUserInput);
    connect(model, &SecurityModel::userInputChanged, this, [this] {
        if (m_field->text() != m_model->userInput())
            m_field->setText(m_model->userInput());
    });
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        if (m_button->isEnabled())
            m_model->setTarget();
    });
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_model->targetUser())
            m_model->clearTarget();
        else
            m_model->setTarget();
    });
    connect(model, &SecurityModel::targetChanged, this, &TargetBar::refreshTarget);
    connect(profiles, &ProfileStore::activeIDChanged, this, &TargetBar::refreshDomainHint);
    connect(profiles, &ProfileStore::profilesChanged, this, &TargetBar::refreshDomainHint);
    connect(console, &Console::busyChanged, this, &TargetBar::refreshEnabled);
    refreshTarget();
    refreshDomainHint();
    refreshEnabled();
}

void TargetBar::refreshTarget() {
    const std::optional<QString> target = m_model->targetUser();
    m_button->setText(target ? u"Switch User"_s : u"Set"_s);
    m_button->setToolTip(target ? u"Forget this user and choose another"_s
                                : u"Make this the user every check runs against (Return)"_s);
    m_targetIcon->setPixmap(
        target ? SecuritySymbols::tinted(u"person.crop.circle.fill"_s, palette().color(QPalette::Highlight), iconSize)
               : SecuritySymbols::tinted(u"person.crop.circle.badge.questionmark"_s,
                                         palette().color(QPalette::PlaceholderText), iconSize));
    m_targetText->setText(target ? *target : u"No user selected"_s);
    QFont font = m_targetText->font();
    font.setBold(target.has_value());
    m_targetText->setFont(font);
}

void TargetBar::refreshDomainHint() {
    const bool noDomain = defaultDomain().isEmpty();
    m_hintIcon->setVisible(noDomain);
    if (noDomain) {
        m_hintIcon->setPixmap(
            SecuritySymbols::tinted(u"exclamationmark.triangle.fill"_s, QColor(0xe6, 0x61, 0x00), 14));
        m_hint->setText(u"Set a primary domain in Settings → Domains"_s);
    } else {
        m_hint->setText(u"Usernames typed without @ get the active domain profile's primary domain added."_s);
    }
}

void TargetBar::refreshEnabled() {
    // A new target mid-run would mix two users' results.
    m_button->setEnabled(!m_console->isBusy());
}
