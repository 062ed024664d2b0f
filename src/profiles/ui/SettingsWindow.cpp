#include "profiles/ui/SettingsWindow.h"

#include "app/ui/Icons.h"
#include "core/Console.h"
#include "profiles/AssistantKeySettings.h"
#include "profiles/DomainSettings.h"
#include "profiles/GAMLocationSettings.h"
#include "profiles/SecuritySettings.h"
#include "profiles/ui/AssistantSettingsPane.h"
#include "profiles/ui/DomainSettingsPane.h"
#include "profiles/ui/GAMSettingsPane.h"
#include "profiles/ui/SecuritySettingsPane.h"

#include <QDialogButtonBox>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int windowWidth = 720;
constexpr int domainsHeight = 600;

} // namespace

SettingsWindow::SettingsWindow(ProfileStore *profiles, Console *console, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget)
    , m_domains(new DomainSettings(profiles, console, this))
    , m_domainsPane(new DomainSettingsPane(m_domains))
    , m_assistantKey(new AssistantKeySettings(this)) {
    setObjectName(u"settingsWindow"_s);
    setWindowTitle(u"Settings"_s);
    resize(windowWidth, domainsHeight);
    setMinimumWidth(windowWidth);

    DesktopServices *desktop = console->desktop();
    m_tabs->setObjectName(u"settingsTabs"_s);
    m_tabs->addTab(new GAMSettingsPane(new GAMLocationSettings(desktop, this)), Icons::icon(Icons::Symbol::terminal),
                   u"GAM"_s);
    m_tabs->addTab(m_domainsPane, Icons::icon(Icons::Symbol::building), u"Domains"_s);
    m_tabs->addTab(new SecuritySettingsPane(new SecuritySettings(desktop, this)),
                   Icons::icon(Icons::Symbol::lockShield), u"Security Tool"_s);
    m_tabs->addTab(new AssistantSettingsPane(m_assistantKey), Icons::icon(Icons::Symbol::chatBubble), u"Assistant"_s);
    m_assistantKey->load();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setObjectName(u"closeSettingsButton"_s);
    buttons->button(QDialogButtonBox::Close)->setToolTip(u"Close (Esc)"_s);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    layout->addWidget(buttons);
    connect(m_tabs, &QTabWidget::currentChanged, this, &SettingsWindow::fitToTab);
    fitToTab();

    // Nothing waits to be applied, so closing is always safe.
    for (const QKeySequence &key : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)}) {
        auto *shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
}

void SettingsWindow::showTab(SettingsTab tab) {
    m_tabs->setCurrentIndex(int(tab));
}

void SettingsWindow::fitToTab() {
    // The window's height follows the pane shown, as the panes differ a lot in length.
    for (int index = 0; index < m_tabs->count(); ++index) {
        const QSizePolicy::Policy policy =
            index == m_tabs->currentIndex() ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        m_tabs->widget(index)->setSizePolicy(policy, policy);
    }
    // The pages tell the tab widget of their new policies only through posted
    // events; measure now rather than with the previous pane's size.
    m_tabs->updateGeometry();
    layout()->activate();
    // The list and the long profile form scroll; they get a fixed, generous height.
    int height = domainsHeight;
    if (currentTab() != SettingsTab::domains) {
        // The tab widget's own height-for-width is that of its tallest page, so
        // ask the page shown, at the width the tab widget gives its pages.
        const QWidget *page = m_tabs->currentWidget();
        const QWidget *pages = page->parentWidget();
        if (m_tabs->isVisible() && page->hasHeightForWidth())
            height = this->height() - pages->height() + page->heightForWidth(pages->width());
        else
            height = hasHeightForWidth() ? heightForWidth(width()) : sizeHint().height();
    }
    resize(width(), qMax(height, minimumSizeHint().height()));
}

void SettingsWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    fitToTab();
}

SettingsTab SettingsWindow::currentTab() const {
    return SettingsTab(m_tabs->currentIndex());
}
