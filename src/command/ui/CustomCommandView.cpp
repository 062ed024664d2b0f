#include "command/ui/CustomCommandView.h"

#include "app/ui/MenuText.h"
#include "app/ui/Shortcuts.h"
#include "command/CustomCommandModel.h"
#include "core/Console.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CustomCommandView::CustomCommandView(CustomCommandModel *model, Console *console, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_field(new QLineEdit(this))
    , m_recent(new QMenu(this))
    , m_run(new QPushButton(u"Run Command"_s, this))
    , m_panelArea(new QVBoxLayout) {
    auto *box = new QGroupBox(this);
    auto *heading = new QLabel(u"GAM Command"_s, box);
    QFont headline = heading->font();
    headline.setBold(true);
    heading->setFont(headline);

    m_field->setObjectName(u"commandField"_s);
    m_field->setAccessibleName(u"GAM Command"_s);
    m_field->setPlaceholderText(u"gam print users"_s);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(m_field->font().pointSizeF());
    m_field->setFont(mono);
    m_field->setText(m_model->command());

    auto *recentButton = new QPushButton(u"Recent"_s, box);
    recentButton->setObjectName(u"recentButton"_s);
    recentButton->setAutoDefault(false);
    recentButton->setMenu(m_recent);
    // The menu mirrors the history whenever it opens, so it is never stale.
    connect(m_recent, &QMenu::aboutToShow, this, &CustomCommandView::rebuildRecentMenu);
    rebuildRecentMenu();

    auto *fieldRow = new QHBoxLayout;
    fieldRow->addWidget(m_field, 1);
    fieldRow->addWidget(recentButton);

    auto *hint = new QLabel(u"Type any GAM command — press Return or Run to execute"_s, box);
    hint->setForegroundRole(QPalette::PlaceholderText);
    auto *clear = new QPushButton(u"Clear"_s, box);
    clear->setObjectName(u"clearButton"_s);
    clear->setAutoDefault(false);
    m_run->setObjectName(u"runButton"_s);
    m_run->setDefault(true);
    Shortcuts::assign(m_run, Shortcuts::run);

    auto *actionRow = new QHBoxLayout;
    actionRow->addWidget(hint, 1);
    actionRow->addWidget(clear);
    actionRow->addWidget(m_run);

    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(6, 6, 6, 6);
    boxLayout->setSpacing(8);
    boxLayout->addWidget(heading);
    boxLayout->addLayout(fieldRow);
    boxLayout->addLayout(actionRow);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addLayout(m_panelArea, 1);
    layout->addStretch();

    connect(m_field, &QLineEdit::textChanged, m_model, &CustomCommandModel::setCommand);
    connect(m_model, &CustomCommandModel::commandChanged, this, [this](const QString &command) {
        if (m_field->text() != command)
            m_field->setText(command);
    });
    connect(m_field, &QLineEdit::returnPressed, m_model, &CustomCommandModel::run);
    connect(m_run, &QPushButton::clicked, m_model, &CustomCommandModel::run);
    connect(clear, &QPushButton::clicked, this, [this] { m_model->setCommand(CustomCommandModel::initialCommand()); });
    connect(console, &Console::busyChanged, m_run, [this](bool busy) { m_run->setDisabled(busy); });
    m_run->setDisabled(console->isBusy());
}

void CustomCommandView::rebuildRecentMenu() {
    m_recent->clear();
    if (m_model->history().isEmpty()) {
        m_recent->addAction(u"No commands run this session"_s)->setEnabled(false);
        return;
    }
    for (const QString &command : m_model->history())
        m_recent->addAction(escapeMnemonics(command), this, [this, command] { m_model->setCommand(command); });
}
