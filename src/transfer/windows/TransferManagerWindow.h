#pragma once

#include "transfer/TransferWindows.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QTabBar;
class QTreeView;
class TTransferManagerModel;
class TTransferMonitor;
class TTransferQueueFilter;

// "Transfer Manager": one tab per queue over the list of its items. From the context menu
// the user cancels a waiting or running item or re-submits a cancelled one; dragging a
// row onto another changes the order the queue works its items off. Closing hides it.
class TfrmTransferMngr : public QWidget, public ITransferManagerWindow {
    Q_OBJECT
public:
    explicit TfrmTransferMngr(TTransferMonitor& monitor, QWidget* parent = nullptr);
    ~TfrmTransferMngr() override;

    // ITransferManagerWindow
    void AddTab(TTransferItems* queue) override;
    void SetTabCaption(TTransferItems* queue, const QString& caption) override;
    void RemoveTab(TTransferItems* queue) override;

    // The main window releases its button and unchecks its menu entry.
    std::function<void()> OnClosed;

    TTransferManagerModel* Model() const { return Model_; }
    TTransferQueueFilter* Filter() const { return Filter_; }
    QTreeView* List() const { return lvTransfer; }
    QTabBar* Tabs() const { return tcHosts; }
    TTransferItems* CurrentQueue() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int TabOf(const TTransferItems* queue) const;
    void SelectTab(int index);
    void PopupMenu(const QPoint& pos);
    TTransferItem* MenuItem() const;
    void CancelClicked();
    void ResubmitClicked();

    TTransferManagerModel* Model_;
    TTransferQueueFilter* Filter_;
    QTabBar* tcHosts;
    QTreeView* lvTransfer;
    QMenu* mnupopTransfer;
    QAction* CancelMnuItm;
    QAction* ResubmitMnuItm;
    // The row under the mouse at the last right-button release; its item is looked up
    // again (and its state re-checked) when a command runs.
    QPersistentModelIndex MenuRow_;
};
