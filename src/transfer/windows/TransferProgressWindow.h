#pragma once

#include "transfer/TransferMonitor.h"
#include "transfer/TransferWindows.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabBar;
class TLogText;
class QToolButton;
class TBusyAnimation;

// The progress window: one tab per queue; the selected tab shows the running file, both
// progress bars, times, rate and the queue's coloured log, with "&Skip" and "&Cancel".
// It draws only the selected queue; the monitor does everything else for every queue.
// Created hidden, it lives until the program ends; closing hides it.
class TfrmTransfer : public QWidget,
                     public ITransferProgressWindow,
                     private ITransferQueueListener {
    Q_OBJECT
public:
    explicit TfrmTransfer(TTransferMonitor& monitor, QWidget* parent = nullptr);
    ~TfrmTransfer() override;

    // ITransferProgressWindow
    void EnsureExists() override {}
    bool Exists() const override { return true; }
    void ShowQueue(TTransferItems* queue) override;
    void MakeVisible() override;
    void SetTabCaption(TTransferItems* queue, const QString& caption) override;
    void RemoveTab(TTransferItems* queue) override;

    // Refreshes every figure for the item of the selected queue.
    void UpdateProgress(TTransferItem* item);
    // Clears the figures; with release, lets go of the selected queue and its tab.
    void ResetDisplay(bool release);
    // Ends the display of a queue that has neither pending nor busy items.
    void Finish(TTransferItems* queue);

    TTransferItems* CurrentQueue() const { return CurrentQueue_; }
    TTransferItem* CurrentItem() const { return CurrentItem_; }
    QTabBar* Tabs() const { return tcHosts; }
    QTimer& ProgressTimer() { return tmrProgress; }
    bool DetailsShown() const;
    void SetDetailsShown(bool shown);
    bool Pinned() const;
    void SetPinned(bool pinned);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ITransferMainWindow* Main() const;
    int TabOf(const TTransferItems* queue) const;
    void SelectTab(int index);
    void RemoveTabAt(int tab);
    void EnableSkip(TTransferItem* item);
    void SkipClicked();
    void CancelClicked();

    void QueueRemoved(TTransferItems* queue) override;
    void ItemRemoved(TTransferItems* queue, TTransferItem* item) override;
    void ItemStarted(TTransferItems* queue, TTransferItem* item) override;
    void ItemFinished(TTransferItems* queue, TTransferItem* item) override;
    void ItemProgress(TTransferItems* queue, TTransferItem* item) override;
    void LogLine(TTransferItems* queue, const QString& message, TColor color) override;
    void SessionConnected(TTransferItems* queue, bool connected) override;
    void QueueFinished(TTransferItems* queue) override;

    TTransferMonitor& Monitor_;
    TTransferItems* CurrentQueue_ = nullptr;
    TTransferItem* CurrentItem_ = nullptr;
    uint64_t LastDrawn_ = 0;
    int CompactHeight_ = 0; // the window's height without the log
    int LogHeight_ = 0;     // the log's height when it was last shown

    TBusyAnimation* aviTransfer;
    QTabBar* tcHosts;
    QLabel *lblFileName, *lblCurrentBytes, *lblCurrentElapsed, *lblCurrentRemaining;
    QLabel *lblFileCount, *lblTotalBytes, *lblTotalElapsed, *lblTotalRemaining;
    QProgressBar *pbCurrent, *pbTotal;
    QPushButton *btnSkip, *btnCancel, *btnToggleDetails;
    QToolButton* btnPinned;
    TLogText* TransferLog;
    QTimer tmrProgress;
    QTimer tmrRedraw; // a throttled redraw that is still due
};
