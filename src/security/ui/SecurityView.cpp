#include "security/ui/SecurityView.h"

#include "security/SecurityModel.h"
#include "security/ui/CheckList.h"
#include "security/ui/PasswordSheet.h"
#include "security/ui/SecurityCheckDetail.h"
#include "security/ui/TargetBar.h"

#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int listWidth = 250;

} // namespace

SecurityView::SecurityView(SecurityModel *model, ProfileStore *profiles, DesktopServices *desktop, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_desktop(desktop)
    , m_list(new CheckList(model))
    , m_detail(new QScrollArea) {
    setObjectName(u"securityView"_s);
    m_detail->setObjectName(u"detailPane"_s);
    m_detail->setWidgetResizable(true);
    m_detail->setFrameShape(QFrame::NoFrame);
    m_detail->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *split = new QSplitter(Qt::Horizontal);
    split->setObjectName(u"securitySplitter"_s);
    split->setChildrenCollapsible(false);
    split->addWidget(m_list);
    split->addWidget(m_detail);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    m_list->setMinimumWidth(200);
    split->setSizes({listWidth, 600});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(new TargetBar(model, profiles, model->console()));
    layout->addWidget(split, 1);

    connect(model, &SecurityModel::selectionChanged, this, &SecurityView::showDetail);
    connect(model, &SecurityModel::passwordRevealChanged, this, &SecurityView::showPasswordSheet);
    showDetail();
    showPasswordSheet();
}

void SecurityView::showDetail() {
    // The pane takes the focus so the keyboard can scroll it; it reads as its heading.
    const std::optional<SecurityCheck> check = m_model->selection();
    m_detail->setAccessibleName(check ? checkInfo(*check).number + u". "_s + checkInfo(*check).title
                                      : u"Select a Check"_s);
    // setWidget deletes the previous pane.
    m_detail->setWidget(new SecurityCheckDetail(m_model, m_desktop, m_model->selection()));
}

void SecurityView::showPasswordSheet() {
    const std::optional<PasswordReveal> &reveal = m_model->passwordReveal();
    if (m_sheet && (!reveal || reveal->id != m_sheet->revealID())) {
        m_sheet->done(QDialog::Accepted);
        m_sheet->deleteLater();
        m_sheet = nullptr;
    }
    if (!reveal || m_sheet)
        return;
    m_sheet = new PasswordSheet(m_model, m_desktop, *reveal, window());
    m_sheet->open();
}
