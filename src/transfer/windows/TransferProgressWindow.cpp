#include "transfer/windows/TransferProgressWindow.h"

#include "views/widgets/LogText.h"

#include "listing/DebugLog.h"
#include "settings/Settings.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/BusyAnimation.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

Q_DECLARE_METATYPE(TTransferItems*)

namespace {

const QString AppTitle = QStringLiteral("Tolvar");
constexpr int DesignWidth = 385, DesignHeight = 428;
// Progress comes in far more often than a person can read; redraw at most this often
// between the timer's ticks.
constexpr uint64_t RedrawMs = 250;
constexpr int MinLogHeight = 120;

QFrame* Separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

TfrmTransfer::TfrmTransfer(TTransferMonitor& monitor, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Monitor_(monitor) {
    setObjectName(QStringLiteral("frmTransfer"));
    aviTransfer = new TBusyAnimation(this);
    tcHosts = new QTabBar(this);
    tcHosts->setObjectName(QStringLiteral("tcHosts"));
    tcHosts->setExpanding(false);
    tcHosts->setDrawBase(false);
    // The window's heights are worked out before any queue has a tab: keep room for one.
    tcHosts->addTab(QStringLiteral("General"));
    tcHosts->setFixedHeight(tcHosts->sizeHint().height());
    tcHosts->removeTab(0);

    auto* page = new QFrame(this);
    page->setFrameShape(QFrame::StyledPanel);
    page->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto label = [page](const char* name) {
        auto* l = new QLabel(page);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    auto button = [page](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromLatin1(caption), page);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto bar = [page](const char* name) {
        auto* b = new QProgressBar(page);
        b->setObjectName(QString::fromLatin1(name));
        b->setRange(0, 100);
        b->setTextVisible(false);
        b->setFixedHeight(14);
        return b;
    };
    lblFileName = label("lblFileName");
    lblFileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblCurrentBytes = label("lblCurrentBytes");
    pbCurrent = bar("pbCurrent");
    lblCurrentElapsed = label("lblCurrentElapsed");
    lblCurrentRemaining = label("lblCurrentRemaining");
    btnSkip = button("btnSkip", "&Skip");
    btnSkip->setDefault(true);
    lblFileCount = label("lblFileCount");
    lblTotalBytes = label("lblTotalBytes");
    pbTotal = bar("pbTotal");
    lblTotalElapsed = label("lblTotalElapsed");
    lblTotalRemaining = label("lblTotalRemaining");
    btnCancel = button("btnCancel", "&Cancel");
    btnToggleDetails = button("btnToggleDetails", "&Details >>");
    btnPinned = new QToolButton(page);
    btnPinned->setObjectName(QStringLiteral("btnPinned"));
    btnPinned->setCheckable(true);
    btnPinned->setVisible(false);

    auto* grid = new QGridLayout(page);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    int row = 0;
    grid->addWidget(lblFileName, row++, 0, 1, 3);
    grid->addWidget(lblCurrentBytes, row++, 0, 1, 3);
    grid->addWidget(pbCurrent, row++, 0, 1, 3);
    grid->addWidget(lblCurrentElapsed, row, 0);
    grid->addWidget(lblCurrentRemaining, row, 1);
    grid->addWidget(btnSkip, row++, 2);
    grid->addWidget(Separator(page), row++, 0, 1, 3);
    grid->addWidget(lblFileCount, row++, 0, 1, 3);
    grid->addWidget(lblTotalBytes, row++, 0, 1, 3);
    grid->addWidget(pbTotal, row++, 0, 1, 3);
    grid->addWidget(lblTotalElapsed, row, 0);
    grid->addWidget(lblTotalRemaining, row, 1);
    grid->addWidget(btnCancel, row++, 2);
    grid->addWidget(Separator(page), row++, 0, 1, 3);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btnPinned);
    bottom->addStretch(1);
    bottom->addWidget(btnToggleDetails);
    grid->addLayout(bottom, row++, 0, 1, 3);

    TransferLog = new TLogText(this);
    TransferLog->setObjectName(QStringLiteral("TransferLog"));
    TransferLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TransferLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont small = TransferLog->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    TransferLog->setFont(small);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    layout->setSpacing(0);
    layout->addWidget(aviTransfer);
    layout->addWidget(tcHosts);
    layout->addWidget(page);
    layout->addSpacing(8);
    layout->addWidget(TransferLog, 1);

    connect(btnSkip, &QPushButton::clicked, this, &TfrmTransfer::SkipClicked);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmTransfer::CancelClicked);
    connect(btnToggleDetails, &QPushButton::clicked, this,
            [this] { SetDetailsShown(!DetailsShown()); });
    connect(btnPinned, &QToolButton::toggled, this, [this](bool pinned) {
        btnPinned->setIcon(style()->standardIcon(pinned ? QStyle::SP_DialogApplyButton
                                                        : QStyle::SP_TitleBarNormalButton));
    });
    connect(tcHosts, &QTabBar::currentChanged, this, &TfrmTransfer::SelectTab);
    tmrProgress.setInterval(1000);
    connect(&tmrProgress, &QTimer::timeout, this, [this] {
        if (CurrentItem_) UpdateProgress(CurrentItem_);
    });
    tmrProgress.start();
    tmrRedraw.setSingleShot(true);
    connect(&tmrRedraw, &QTimer::timeout, this, [this] {
        if (CurrentItem_) UpdateProgress(CurrentItem_);
    });

    ResetDisplay(false);
    setMinimumWidth(DesignWidth);
    TransferLog->hide();
    CompactHeight_ = layout->sizeHint().height();
    // At the design size the log takes what the rest leaves.
    LogHeight_ = std::max(MinLogHeight, DesignHeight - CompactHeight_ - 8);
    resize(DesignWidth, DesignHeight);
    SetDetailsShown(false);
    monitor.AddListener(this);
}

TfrmTransfer::~TfrmTransfer() {
    Monitor_.RemoveListener(this);
}

ITransferMainWindow* TfrmTransfer::Main() const {
    return Monitor_.List().Windows().Main;
}

int TfrmTransfer::TabOf(const TTransferItems* queue) const {
    for (int i = 0; i < tcHosts->count(); ++i)
        if (tcHosts->tabData(i).value<TTransferItems*>() == queue) return i;
    return -1;
}

void TfrmTransfer::ShowQueue(TTransferItems* queue) {
    int tab = TabOf(queue);
    const QSignalBlocker quiet(tcHosts);
    if (tab < 0) {
        tab = tcHosts->addTab(queue->Name());
        tcHosts->setTabData(tab, QVariant::fromValue(queue));
    }
    // Every item added or started asks for its queue: the one shown already is not
    // filled again (its log alone would be thousands of lines per file).
    if (tcHosts->currentIndex() == tab && CurrentQueue_ == queue) return;
    tcHosts->setCurrentIndex(tab);
    SelectTab(tab);
}

void TfrmTransfer::MakeVisible() {
    // Asked at every item's start: a window already up is left where the user put it.
    if (isVisible()) return;
    show();
    raise();
}

void TfrmTransfer::SetTabCaption(TTransferItems* queue, const QString& caption) {
    if (const int tab = TabOf(queue); tab >= 0) tcHosts->setTabText(tab, caption);
}

void TfrmTransfer::RemoveTab(TTransferItems* queue) {
    if (queue == CurrentQueue_) {
        CurrentQueue_ = nullptr;
        CurrentItem_ = nullptr;
    }
    if (const int tab = TabOf(queue); tab >= 0) RemoveTabAt(tab);
}

void TfrmTransfer::RemoveTabAt(int tab) {
    {
        const QSignalBlocker quiet(tcHosts);
        tcHosts->removeTab(tab);
    }
    SelectTab(tcHosts->currentIndex());
}

void TfrmTransfer::SelectTab(int index) {
    CurrentQueue_ = nullptr;
    CurrentItem_ = nullptr;
    if (tcHosts->count() == 0) {
        hide();
        return;
    }
    index = std::clamp(index, 0, tcHosts->count() - 1);
    CurrentQueue_ = tcHosts->tabData(index).value<TTransferItems*>();
    TransferLog->ClearLines();
    for (const TTransferLogLine& line : CurrentQueue_->LogLines)
        TransferLog->AppendLine(line.Message, line.Color);
    CurrentItem_ = CurrentQueue_->FindFirst(isBusy);
    EnableSkip(CurrentItem_);
    if (CurrentItem_)
        UpdateProgress(CurrentItem_);
    else
        ResetDisplay(false);
}

void TfrmTransfer::EnableSkip(TTransferItem* item) {
    const TFTPComponent* session = item ? item->Session : nullptr;
    const bool on = session && (session->LoggedIn() || (item->IsHTTP && session->Connected()));
    btnSkip->setEnabled(on);
    btnCancel->setEnabled(on);
}

void TfrmTransfer::UpdateProgress(TTransferItem* item) {
    if (!item || !CurrentQueue_) return;
    LastDrawn_ = TickCount();
    const TProgressFigures f = ComputeProgressFigures(*CurrentQueue_, *item, LastDrawn_);
    lblFileName->setText(f.FileName);
    lblCurrentBytes->setText(f.CurrentBytes);
    pbCurrent->setValue(f.CurrentPercent);
    lblCurrentElapsed->setText(f.CurrentElapsed);
    lblCurrentRemaining->setText(f.CurrentRemaining);
    lblFileCount->setText(f.FileCount);
    lblTotalBytes->setText(f.TotalBytes);
    pbTotal->setValue(f.TotalPercent);
    lblTotalElapsed->setText(f.TotalElapsed);
    lblTotalRemaining->setText(f.TotalRemaining);
    ITransferMainWindow* main = Main();
    // Hidden, the window lends its progress to the task bar's title.
    if (isVisible()) {
        setWindowTitle(f.ShownCaption);
        if (main) main->SetApplicationTitle(AppTitle);
    } else {
        setWindowTitle(f.HiddenCaption);
        if (main) main->SetApplicationTitle(f.HiddenCaption);
    }
    if (!main) return;
    if (item->State() == isBusy && item->Session && item->Session->LoggedIn())
        main->SetStatusText(f.Status);
    else
        main->SetApplicationTitle(AppTitle);
}

void TfrmTransfer::ResetDisplay(bool release) {
    if (release && CurrentQueue_) {
        TTransferItems* queue = std::exchange(CurrentQueue_, nullptr);
        if (const int tab = TabOf(queue); tab >= 0) {
            const QSignalBlocker quiet(tcHosts);
            tcHosts->removeTab(tab);
        }
    }
    CurrentItem_ = nullptr;
    setWindowTitle(QString());
    for (QLabel* l : {lblFileName, lblCurrentBytes, lblCurrentElapsed, lblCurrentRemaining,
                      lblFileCount, lblTotalBytes, lblTotalElapsed, lblTotalRemaining})
        l->clear();
    pbCurrent->setValue(0);
    pbTotal->setValue(0);
    if (!Pinned()) TransferLog->ClearLines();
    if (ITransferMainWindow* main = Main()) main->SetStatusText(QString());
}

void TfrmTransfer::Finish(TTransferItems* queue) {
    if (Pinned()) {
        // The tab, its log and the window stay for the user to read, with what failed.
        if (queue == CurrentQueue_) {
            ResetDisplay(false);
            lblFileCount->setText(FailedRunText(queue->FailedCount, queue->CompletedCount));
        }
        return;
    }
    if (Monitor_.AllIdle()) close();
    if (queue == CurrentQueue_) {
        ResetDisplay(true);
        SelectTab(tcHosts->currentIndex());
    } else if (const int tab = TabOf(queue); tab >= 0) {
        RemoveTabAt(tab);
    }
}

bool TfrmTransfer::Pinned() const {
    return btnPinned->isChecked();
}

void TfrmTransfer::SetPinned(bool pinned) {
    btnPinned->setChecked(pinned);
}

bool TfrmTransfer::DetailsShown() const {
    return !TransferLog->isHidden();
}

void TfrmTransfer::SetDetailsShown(bool shown) {
    if (!shown) {
        if (!TransferLog->isHidden() && isVisible()) LogHeight_ = TransferLog->height();
        TransferLog->hide();
        setMinimumHeight(CompactHeight_);
        setMaximumHeight(CompactHeight_);
        resize(width(), CompactHeight_);
        btnToggleDetails->setText(QStringLiteral("&Details >>"));
    } else {
        setMaximumHeight(QWIDGETSIZE_MAX);
        TransferLog->show();
        // The design height, unless the style's controls leave the log too little of it.
        const int least = std::max(DesignHeight, CompactHeight_ + 8 + MinLogHeight);
        setMinimumHeight(least);
        resize(width(), std::max(least, CompactHeight_ + 8 + LogHeight_));
        btnToggleDetails->setText(QStringLiteral("<< &Details"));
    }
}

void TfrmTransfer::SkipClicked() {
    if (!CurrentItem_) return;
    btnSkip->setEnabled(false);
    if (ITransferMainWindow* main = Main())
        main->SetStatusText(QStringLiteral("Cancelling file..."));
    CurrentItem_->Cancel();
}

void TfrmTransfer::CancelClicked() {
    if (!CurrentItem_ || !CurrentQueue_) return;
    btnSkip->setEnabled(false);
    btnCancel->setEnabled(false);
    if (ITransferMainWindow* main = Main())
        main->SetStatusText(QStringLiteral("Cancelling all pending files..."));
    QList<TTransferItem*> running;
    for (int i = 0; i < CurrentQueue_->Count(); ++i) {
        TTransferItem* item = CurrentQueue_->Item(i);
        if (item->State() == isPending)
            item->SetState(isCancelled);
        else if (item->State() == isBusy)
            running << item;
    }
    // The queue finishes once the running items' commands have ended.
    for (TTransferItem* item : running)
        if (item->Owner == CurrentQueue_) item->Cancel();
}

void TfrmTransfer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    aviTransfer->Start();
    SetPinned(Monitor_.List().Settings().PinTransferWindow);
    SelectTab(tcHosts->currentIndex());
}

void TfrmTransfer::hideEvent(QHideEvent* event) {
    aviTransfer->Stop();
    QWidget::hideEvent(event);
}

void TfrmTransfer::QueueRemoved(TTransferItems* queue) {
    RemoveTab(queue);
}

void TfrmTransfer::ItemRemoved(TTransferItems*, TTransferItem* item) {
    if (item == CurrentItem_) CurrentItem_ = nullptr;
}

void TfrmTransfer::ItemStarted(TTransferItems* queue, TTransferItem* item) {
    if (!CurrentQueue_) SelectTab(tcHosts->currentIndex());
    if (!CurrentQueue_) ShowQueue(queue);
    if (queue != CurrentQueue_) return;
    CurrentItem_ = item;
    EnableSkip(item);
    // Small files start hundreds of times a second: the figures follow at the redraw
    // rate, and the last item started is the one shown.
    const uint64_t since = TickCount() - LastDrawn_;
    if (since >= RedrawMs)
        UpdateProgress(item);
    else if (!tmrRedraw.isActive())
        tmrRedraw.start(static_cast<int>(RedrawMs - since));
}

void TfrmTransfer::ItemFinished(TTransferItems* queue, TTransferItem* item) {
    if (item != CurrentItem_) return;
    // Several items of a queue may run at once: the window goes on with another of them.
    CurrentItem_ = queue == CurrentQueue_ ? queue->FindFirst(isBusy) : nullptr;
    if (CurrentItem_ == item) CurrentItem_ = nullptr;
    if (CurrentItem_) EnableSkip(CurrentItem_);
}

void TfrmTransfer::ItemProgress(TTransferItems*, TTransferItem* item) {
    if (item == CurrentItem_ && TickCount() - LastDrawn_ >= RedrawMs) UpdateProgress(item);
}

void TfrmTransfer::LogLine(TTransferItems* queue, const QString& message, TColor color) {
    if (queue != CurrentQueue_) return;
    TransferLog->AppendLine(message, color);
}

void TfrmTransfer::SessionConnected(TTransferItems* queue, bool connected) {
    if (queue == CurrentQueue_ && connected && CurrentItem_ && CurrentItem_->IsHTTP) {
        btnSkip->setEnabled(true);
        btnCancel->setEnabled(true);
    }
}

void TfrmTransfer::QueueFinished(TTransferItems* queue) {
    Finish(queue);
}
