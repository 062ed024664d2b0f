#include "security/ui/PasswordSheet.h"

#include "core/Console.h"
#include "core/DesktopServices.h"
#include "security/SecurityModel.h"
#include "security/ui/SecuritySymbols.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int sheetWidth = 520;
constexpr int margin = 20;

QString sheetTitle(const PasswordReveal &reveal) {
    return reveal.purpose == PasswordReveal::Purpose::pendingReset
               ? u"New Password for "_s + reveal.entries.value(0).user
               : u"New Temporary Passwords"_s;
}

QLabel *title(const QString &text) {
    auto *label = new QLabel(text);
    label->setObjectName(u"sheetTitle"_s);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setBold(true);
    label->setFont(font);
    return label;
}

QWidget *warning(const QString &text) {
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *icon = new QLabel;
    icon->setPixmap(SecuritySymbols::tinted(u"exclamationmark.triangle.fill"_s, QColor(0xe6, 0x61, 0x00), 18));
    icon->setAlignment(Qt::AlignTop);
    auto *label = new QLabel(text);
    label->setObjectName(u"sheetWarning"_s);
    label->setWordWrap(true);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

// Copying on the left, the answers on the right.
QHBoxLayout *buttonRow(const QList<QPushButton *> &left, const QList<QPushButton *> &right) {
    auto *row = new QHBoxLayout;
    for (QPushButton *button : left)
        row->addWidget(button);
    row->addStretch();
    for (QPushButton *button : right)
        row->addWidget(button);
    return row;
}

// The password as a selectable, monospaced line.
QLineEdit *passwordField(const QString &password) {
    auto *field = new QLineEdit(password);
    field->setReadOnly(true);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    field->setFont(font);
    field->setCursorPosition(0);
    return field;
}

} // namespace

PasswordSheet::PasswordSheet(SecurityModel *model, DesktopServices *desktop, const PasswordReveal &reveal,
                             QWidget *parent)
    : QDialog(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_reveal(reveal) {
    setObjectName(u"passwordSheet"_s);
    setWindowModality(Qt::WindowModal);
    setFixedWidth(sheetWidth);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(reveal.purpose == PasswordReveal::Purpose::pendingReset ? pendingResetContent() : batchContent());
    setWindowTitle(sheetTitle(reveal));
}

QWidget *PasswordSheet::pendingResetContent() {
    const PasswordReveal::Entry entry = m_reveal.entries.value(0);
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(title(sheetTitle(m_reveal)));
    QLineEdit *field = passwordField(entry.password);
    field->setObjectName(u"passwordField"_s);
    field->setAccessibleName(u"New password"_s);
    layout->addWidget(field);
    layout->addWidget(warning(u"Record this before applying — you won't see it again. The user must change it at "
                              u"next sign-in."_s));

    auto *copy = new QPushButton(u"Copy"_s);
    copy->setObjectName(u"copyButton"_s);
    auto *cancel = new QPushButton(u"Cancel"_s);
    cancel->setObjectName(u"cancelButton"_s);
    cancel->setToolTip(u"Forget this password; nothing is changed (Esc)"_s);
    auto *apply = new QPushButton(u"Apply Password"_s);
    apply->setObjectName(u"applyButton"_s);
    apply->setToolTip(u"Set this password now; the user must change it at next sign-in"_s);
    // Return copies rather than applies: applying is a deliberate click.
    copy->setDefault(true);
    layout->addLayout(buttonRow({copy}, {cancel, apply}));

    Console *console = m_model->console();
    apply->setEnabled(!console->isBusy());
    connect(console, &Console::busyChanged, apply, [apply](bool busy) { apply->setEnabled(!busy); });
    connect(copy, &QPushButton::clicked, this,
            [this, password = entry.password] { m_desktop->copySecretToClipboard(password); });
    connect(cancel, &QPushButton::clicked, this, &PasswordSheet::reject);
    connect(apply, &QPushButton::clicked, m_model, [this] { m_model->applyPasswordReset(); });
    return content;
}

QWidget *PasswordSheet::batchContent() {
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(title(sheetTitle(m_reveal)));
    layout->addWidget(warning(u"Shown once. Record them in your password manager, then click Done. Users must change "
                              u"them at next sign-in."_s));
    auto *grid = new QGridLayout;
    QStringList lines;
    for (qsizetype row = 0; row < m_reveal.entries.size(); ++row) {
        const PasswordReveal::Entry &entry = m_reveal.entries.at(row);
        auto *user = new QLabel(entry.user);
        user->setTextFormat(Qt::PlainText);
        user->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QLineEdit *field = passwordField(entry.password);
        field->setAccessibleName(u"Password for "_s + entry.user);
        grid->addWidget(user, int(row), 0);
        grid->addWidget(field, int(row), 1);
        lines.append(entry.user + u'\t' + entry.password);
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto *copy = new QPushButton(u"Copy All"_s);
    copy->setObjectName(u"copyAllButton"_s);
    auto *done = new QPushButton(u"Done"_s);
    done->setObjectName(u"doneButton"_s);
    done->setDefault(true);
    layout->addLayout(buttonRow({copy}, {done}));
    connect(copy, &QPushButton::clicked, this,
            [this, all = lines.join(u'\n')] { m_desktop->copySecretToClipboard(all); });
    connect(done, &QPushButton::clicked, m_model, [this] { m_model->dismissPasswordReveal(); });
    return content;
}

void PasswordSheet::reject() {
    if (m_reveal.purpose == PasswordReveal::Purpose::pendingReset)
        m_model->dismissPasswordReveal();
}

void PasswordSheet::closeEvent(QCloseEvent *event) {
    // The sheet closes when the model clears the reveal, never on its own.
    event->ignore();
    reject();
}
