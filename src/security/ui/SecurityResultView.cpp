#include "security/ui/SecurityResultView.h"

#include "app/ui/MenuText.h"
#include "core/Console.h"
#include "core/DesktopServices.h"
#include "core/PlatformTexts.h"
#include "security/SecurityModel.h"
#include "security/ui/DataTable.h"
#include "security/ui/SecuritySymbols.h"
#include "tabs/ui/ActionBar.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int flagIconSize = 16;
constexpr int textLinesShown = 16;

QLabel *heading(const QString &text) {
    auto *label = new QLabel(text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *iconLabel(const QPixmap &pixmap) {
    auto *icon = new QLabel;
    icon->setPixmap(pixmap);
    icon->setAlignment(Qt::AlignTop);
    icon->setFixedWidth(flagIconSize + 4);
    return icon;
}

// A monospaced, selectable box as tall as its text up to a limit.
QPlainTextEdit *monospacedBox(const QString &text) {
    auto *box = new QPlainTextEdit(text);
    box->setReadOnly(true);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setTabChangesFocus(true);
    const int lines = std::clamp(int(text.count(u'\n')) + 1, 2, textLinesShown);
    box->setFixedHeight(box->fontMetrics().lineSpacing() * lines + 2 * box->frameWidth() + 12 +
                        box->horizontalScrollBar()->sizeHint().height());
    return box;
}

} // namespace

SecurityResultView::SecurityResultView(SecurityModel *model, DesktopServices *desktop, SecurityCheck check,
                                       const CheckResult &result, QWidget *parent)
    : QWidget(parent) {
    setObjectName(u"resultView"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    for (const SecurityFlag &flag : result.flags)
        layout->addWidget(flagRow(flag));
    if (result.text)
        layout->addWidget(textBox(*result.text));
    if (result.sensitiveText)
        layout->addWidget(sensitiveBox(*result.sensitiveText));
    for (const SecurityTable &table : result.tables) {
        layout->addWidget(
            heading(table.title.value_or(u"Table"_s) + u" ("_s + QString::number(table.rowCount()) + u')'));
        if (table.rowCount() == 0) {
            auto *empty = new QLabel(u"No rows."_s);
            empty->setObjectName(u"noRows"_s);
            layout->addWidget(empty);
        } else {
            layout->addWidget(new DataTable(table));
        }
    }
    if (!result.evidence.isEmpty())
        layout->addWidget(evidenceSection(result.evidence, desktop));
    if (result.plan) {
        QPushButton *planButton = ActionBar::destructiveButton(escapeMnemonics(result.plan->buttonTitle));
        planButton->setObjectName(u"planButton"_s);
        planButton->setAccessibleName(result.plan->buttonTitle);
        Console *console = model->console();
        planButton->setEnabled(!console->isBusy());
        connect(console, &Console::busyChanged, planButton, [planButton](bool busy) { planButton->setEnabled(!busy); });
        connect(planButton, &QPushButton::clicked, model, [model, check] { model->confirmPlan(check); });
        auto *row = new QHBoxLayout;
        row->addWidget(planButton);
        row->addStretch();
        layout->addLayout(row);
    }
}

QWidget *SecurityResultView::flagRow(const SecurityFlag &flag) const {
    QString symbol = u"info.circle.fill"_s;
    QColor colour = palette().color(QPalette::PlaceholderText);
    if (flag.kind == SecurityFlag::Kind::danger) {
        symbol = u"exclamationmark.triangle.fill"_s;
        colour = SecuritySymbols::danger();
    } else if (flag.kind == SecurityFlag::Kind::ok) {
        symbol = u"checkmark.circle.fill"_s;
        colour = SecuritySymbols::ok();
    }
    auto *row = new QWidget;
    row->setObjectName(u"flag"_s);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(iconLabel(SecuritySymbols::tinted(symbol, colour, flagIconSize)), 0, Qt::AlignTop);
    auto *text = new QLabel(flag.text);
    text->setObjectName(u"flagText"_s);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (flag.kind != SecurityFlag::Kind::note) {
        QPalette tinted = text->palette();
        tinted.setColor(QPalette::WindowText, colour);
        text->setPalette(tinted);
        QFont bold = text->font();
        bold.setBold(flag.kind == SecurityFlag::Kind::danger);
        text->setFont(bold);
    }
    layout->addWidget(text, 1);
    return row;
}

QWidget *SecurityResultView::textBox(const QString &text) const {
    QPlainTextEdit *box = monospacedBox(text);
    box->setObjectName(u"resultText"_s);
    box->setAccessibleName(u"Output"_s);
    return box;
}

QWidget *SecurityResultView::sensitiveBox(const QString &text) const {
    auto *frame = new QWidget;
    frame->setObjectName(u"sensitiveBox"_s);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *header = new QHBoxLayout;
    header->addWidget(iconLabel(SecuritySymbols::tinted(u"lock.fill"_s, palette().color(QPalette::WindowText), 14)));
    header->addWidget(heading(u"Backup codes — not logged or exported"_s));
    header->addStretch();
    auto *toggle = new QPushButton(u"Show"_s);
    toggle->setObjectName(u"showSensitiveButton"_s);
    header->addWidget(toggle);
    layout->addLayout(header);
    QPlainTextEdit *box = monospacedBox(text);
    box->setObjectName(u"sensitiveText"_s);
    box->setAccessibleName(u"Backup codes"_s);
    box->hide();
    layout->addWidget(box);
    connect(toggle, &QPushButton::clicked, box, [box, toggle] {
        box->setVisible(!box->isVisible());
        toggle->setText(box->isVisible() ? u"Hide"_s : u"Show"_s);
    });
    return frame;
}

QWidget *SecurityResultView::evidenceSection(const QList<EvidenceItem> &items, DesktopServices *desktop) const {
    auto *section = new QWidget;
    section->setObjectName(u"evidence"_s);
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(heading(u"Evidence"_s));
    for (const EvidenceItem &item : items) {
        auto *row = new QHBoxLayout;
        const QString symbol = item.localURL ? u"doc.text"_s : u"icloud.and.arrow.up"_s;
        row->addWidget(iconLabel(SecuritySymbols::icon(symbol).pixmap(flagIconSize, flagIconSize)));
        auto *label = new QLabel(item.label);
        label->setObjectName(u"evidenceLabel"_s);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (item.localURL)
            label->setToolTip(*item.localURL);
        row->addWidget(label, 1);
        if (item.localURL) {
            auto *reveal = new QPushButton(PlatformTexts::revealInFileManager());
            reveal->setObjectName(u"revealButton"_s);
            connect(reveal, &QPushButton::clicked, reveal,
                    [desktop, path = *item.localURL] { desktop->revealInFileManager(path); });
            row->addWidget(reveal);
        }
        layout->addLayout(row);
    }
    return section;
}
