#pragma once

#include "transfer/TransferMonitor.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <QTimer>

// The items of every queue, one row each, for the transfer manager. Rows of one queue
// keep their queue's processing order. Texts are cached per row; state changes show at
// once, progress is gathered and sent once a second as one dataChanged per changed row.
// The queues announce every item that goes, so the rows never outlive their items.
class TTransferManagerModel : public QAbstractTableModel, private ITransferQueueListener {
    Q_OBJECT
public:
    enum TColumn { colFile, colSize, colLocal, colHost, colStatus, ColumnCount };
    enum TRole {
        QueueRole = Qt::UserRole + 1, // the row's queue, as quintptr
        StateRole,                    // TItemState
        RawSizeRole,                  // qint64
    };
    static constexpr const char* MimeType = "application/x-tolvar-transfer-row";

    explicit TTransferManagerModel(TTransferMonitor& monitor, QObject* parent = nullptr);
    ~TTransferManagerModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

    // The item of a row, or null; valid until the next return to the event loop.
    TTransferItem* ItemAt(const QModelIndex& index) const;
    TTransferItems* QueueAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const TTransferItem* item, int column = 0) const;
    // Moves an item in its queue's processing order and its row with it.
    bool MoveItem(TTransferItems* queue, int from, int to);
    // Re-reads the rows whose item moved bytes since the last call (the one-second tick).
    void FlushProgress();

private:
    struct TRow {
        TTransferItems* Queue = nullptr;
        TTransferItem* Item = nullptr;
        quint64 Id = 0;
        QString Size, Local, Host, Status;
        int State = 0;
        bool Dirty = false;
    };
    void Fill(TRow& row) const;
    int RowOf(const TTransferItem* item) const;
    void Refresh(int row);
    void AddRow(TTransferItems* queue, TTransferItem* item);

    void QueueAdded(TTransferItems* queue) override;
    void QueueRemoved(TTransferItems* queue) override;
    void ItemAdded(TTransferItems* queue, TTransferItem* item) override;
    void ItemRemoved(TTransferItems* queue, TTransferItem* item) override;
    void ItemStateChanged(TTransferItems* queue, TTransferItem* item) override;
    void ItemStarted(TTransferItems* queue, TTransferItem* item) override;
    void ItemFinished(TTransferItems* queue, TTransferItem* item) override;
    void ItemProgress(TTransferItems* queue, TTransferItem* item) override;

    TTransferMonitor& Monitor_;
    QList<TRow> Rows_;
    quint64 NextId_ = 1;
    mutable qsizetype Hint_ = 0;
    QTimer Tick_;
    // Direction (2 x folder + upload) by state: 4 x 5 pictures made once.
    QIcon Icons_[4][5];
};

// One queue's rows of the model, in processing order, for the manager's selected tab.
class TTransferQueueFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetQueue(TTransferItems* queue);
    TTransferItems* Queue() const { return Queue_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    TTransferItems* Queue_ = nullptr;
};
