#include "transfer/windows/TransferManagerWindow.h"

#include "transfer/TransferFigures.h"
#include "transfer/TransferItems.h"
#include "transfer/windows/TransferManagerModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QTreeView>
#include <QVBoxLayout>

Q_DECLARE_METATYPE(TTransferItems*)

TfrmTransferMngr::TfrmTransferMngr(TTransferMonitor& monitor, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmTransferMngr"));
    setWindowTitle(QStringLiteral("Transfer Manager"));
    Model_ = new TTransferManagerModel(monitor, this);
    Filter_ = new TTransferQueueFilter(this);
    Filter_->setSourceModel(Model_);

    tcHosts = new QTabBar(this);
    tcHosts->setObjectName(QStringLiteral("tcHosts"));
    tcHosts->setExpanding(false);
    lvTransfer = new QTreeView(this);
    lvTransfer->setObjectName(QStringLiteral("lvTransfer"));
    lvTransfer->setModel(Filter_);
    lvTransfer->setRootIsDecorated(false);
    lvTransfer->setUniformRowHeights(true);
    lvTransfer->setAllColumnsShowFocus(true);
    lvTransfer->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvTransfer->setSelectionMode(QAbstractItemView::SingleSelection);
    lvTransfer->setIconSize(QSize(36, 16));
    // Only rows of this list, and only onto a row: the drop names the place to move to.
    lvTransfer->setDragDropMode(QAbstractItemView::InternalMove);
    lvTransfer->setDefaultDropAction(Qt::MoveAction);
    lvTransfer->setDragDropOverwriteMode(true);
    lvTransfer->setContextMenuPolicy(Qt::CustomContextMenu);
    lvTransfer->viewport()->installEventFilter(this);
    QHeaderView* header = lvTransfer->header();
    header->setStretchLastSection(true);
    // The size column is wider than the 60 pixels of old: today's fonts need it for "3,911,420".
    const int widths[] = {200, 80, 120, 120};
    for (int i = 0; i < 4; ++i)
        header->resizeSection(i, widths[i]);

    mnupopTransfer = new QMenu(this);
    mnupopTransfer->setObjectName(QStringLiteral("mnupopTransfer"));
    CancelMnuItm = mnupopTransfer->addAction(QStringLiteral("&Cancel"));
    CancelMnuItm->setObjectName(QStringLiteral("CancelMnuItm"));
    ResubmitMnuItm = mnupopTransfer->addAction(QStringLiteral("&Re-submit"));
    ResubmitMnuItm->setObjectName(QStringLiteral("ResubmitMnuItm"));
    connect(CancelMnuItm, &QAction::triggered, this, &TfrmTransferMngr::CancelClicked);
    connect(ResubmitMnuItm, &QAction::triggered, this, &TfrmTransferMngr::ResubmitClicked);
    connect(lvTransfer, &QWidget::customContextMenuRequested, this, &TfrmTransferMngr::PopupMenu);
    connect(tcHosts, &QTabBar::currentChanged, this, &TfrmTransferMngr::SelectTab);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(0);
    layout->addWidget(tcHosts);
    layout->addWidget(lvTransfer, 1);
    resize(640, 300);
}

TfrmTransferMngr::~TfrmTransferMngr() = default;

TTransferItems* TfrmTransferMngr::CurrentQueue() const {
    return Filter_->Queue();
}

int TfrmTransferMngr::TabOf(const TTransferItems* queue) const {
    for (int i = 0; i < tcHosts->count(); ++i)
        if (tcHosts->tabData(i).value<TTransferItems*>() == queue) return i;
    return -1;
}

void TfrmTransferMngr::AddTab(TTransferItems* queue) {
    if (TabOf(queue) >= 0) return;
    // A queue is named after it is made; until then it is "General".
    const QString caption = queue->Name().isEmpty() ? QStringLiteral("General") : queue->Name();
    const int tab = tcHosts->addTab(caption);
    tcHosts->setTabData(tab, QVariant::fromValue(queue));
    SelectTab(tcHosts->currentIndex());
}

void TfrmTransferMngr::SetTabCaption(TTransferItems* queue, const QString& caption) {
    if (const int tab = TabOf(queue); tab >= 0) tcHosts->setTabText(tab, caption);
}

void TfrmTransferMngr::RemoveTab(TTransferItems* queue) {
    if (const int tab = TabOf(queue); tab >= 0) tcHosts->removeTab(tab);
    if (Filter_->Queue() == queue) Filter_->SetQueue(nullptr);
    SelectTab(tcHosts->currentIndex());
}

void TfrmTransferMngr::SelectTab(int index) {
    if (tcHosts->count() == 0) {
        Filter_->SetQueue(nullptr);
        return;
    }
    Filter_->SetQueue(
        tcHosts->tabData(std::clamp(index, 0, tcHosts->count() - 1)).value<TTransferItems*>());
}

bool TfrmTransferMngr::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lvTransfer->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex row = lvTransfer->indexAt(mouse->position().toPoint());
        MenuRow_ = mouse->button() == Qt::RightButton && row.isValid()
                       ? QPersistentModelIndex(Filter_->mapToSource(row))
                       : QPersistentModelIndex();
    }
    return QWidget::eventFilter(watched, event);
}

TTransferItem* TfrmTransferMngr::MenuItem() const {
    return Model_->ItemAt(MenuRow_);
}

void TfrmTransferMngr::PopupMenu(const QPoint& pos) {
    const TTransferItem* item = MenuItem();
    const TItemState state = item ? item->State() : isDone;
    CancelMnuItm->setEnabled(item && (state == isPending || state == isBusy));
    ResubmitMnuItm->setEnabled(item && state == isCancelled);
    mnupopTransfer->popup(lvTransfer->viewport()->mapToGlobal(pos));
}

void TfrmTransferMngr::CancelClicked() {
    // The item may have finished (or gone) since the menu opened.
    if (TTransferItem* item = MenuItem()) CancelTransferItem(*item);
}

void TfrmTransferMngr::ResubmitClicked() {
    if (TTransferItem* item = MenuItem()) ResubmitTransferItem(*item);
}

void TfrmTransferMngr::closeEvent(QCloseEvent* event) {
    event->accept();
    if (OnClosed) OnClosed();
}
