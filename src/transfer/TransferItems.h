#pragma once

#include "transfer/TransferItem.h"
#include "transfer/TransferWindows.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QObject;
class TTransferItemsList;
struct TSettings;

struct TTransferLogLine {
    QString Message;
    TColor Color = 0;
};

// A transfer queue: works its items off in list order, as many at a time as the settings
// allow (one by default), each over a session it pools, reuses or creates (or over its
// host view's own session, then one at a time). Runs on the thread that owns its
// sessions; nothing here is locked.
class TTransferItems {
public:
    // Joins the owner list, if any, at once.
    explicit TTransferItems(TTransferItemsList* owner = nullptr);
    // Leaves the manager and the owner list; frees the items and the pooled sessions.
    ~TTransferItems();
    TTransferItems(const TTransferItems&) = delete;
    TTransferItems& operator=(const TTransferItems&) = delete;

    using TQueueEvent = std::function<void(TTransferItems*)>;
    using TItemEvent = std::function<void(TTransferItems*, TTransferItem*)>;

    TTransferItemsList* Owner = nullptr;
    // The newest lines of the queue's log (a long run writes several per file).
    QList<TTransferLogLine> LogLines;
    static constexpr int MaxLogLines = 5000;
    void KeepLogLine(const QString& message, TColor color);
    uint64_t StartTick = 0;
    int64_t BytesDone = 0;
    int64_t BytesLeft = 0;
    int32_t CompletedCount = 0;
    // Items of this run (since the queue last started from idle) that ended failed.
    int32_t FailedCount = 0;
    // Bytes moved over the wire since the queue last started from idle: unlike BytesDone
    // it leaves out what resumed items already had, so rates count only this run.
    int64_t BytesMoved = 0;
    // Set for a host view's queue while single connections are the rule.
    ITransferHostView* HostView = nullptr;

    std::function<void(TFTPComponent*)> OnConnect, OnDisconnect;
    std::function<void(TFTPComponent*, int code, const QString& message)> OnError;
    std::function<void(TFTPComponent*, const QString& message, TColor color)> OnLog;
    TItemEvent OnItemAdded, OnItemStateChange, OnItemStart, OnItemFinished, OnItemProgress;
    // Fired while an item leaves the queue (Clear, destruction), before it is freed, so
    // that windows drop every reference to it.
    TItemEvent OnItemRemoved;
    // The processing order changed (Move).
    TQueueEvent OnItemsMoved;

    const QString& Name() const { return Name_; }
    void SetName(const QString& name);

    // Takes the item over and returns its index, clearing the caller's pointer; -1 when
    // an equal item is pending or busy (the caller keeps it).
    int Add(std::unique_ptr<TTransferItem>& item);
    // True when it started an item.
    bool ProcessNext();

    int Count() const { return static_cast<int>(Items_.size()); }
    TTransferItem* Item(int index) const { return Items_.at(index); }
    int IndexOf(const TTransferItem* item) const;
    TTransferItem* FindFirst(TItemState state) const;
    int32_t StateCount(TItemState state) const { return StateCount_[state]; }
    bool Idle() const { return StateCount_[isPending] == 0 && StateCount_[isBusy] == 0; }
    // How many items may be busy at once now: the setting, one while the host view lends
    // its own session, fewer once the server has refused further sessions this run.
    int ParallelLimit() const;
    uint64_t ElapsedTicks() const;
    int PercentDone() const;

    void Move(int from, int to);
    void Clear();
    // Lets the pooled sessions go; an item running on one ends, cancelled.
    void DisconnectSessions();
    void ShowInProgressWindow();
    void RemoveProgressTab();

    // The pool, in order of creation.
    const QList<TFTPComponent*>& Sessions() const { return Sessions_; }

    const TSettings& Settings() const;
    TTransferWindows Windows() const;

private:
    friend class TTransferItem;

    TFTPComponent* ChooseSession(const TTransferItem& item);
    TFTPComponent* CreateSession(const TTransferItem& item);
    void AttachHandlers(TFTPComponent* session);
    void RetireSession(TFTPComponent* session);
    void SessionEnded(TFTPComponent* session, TFTPCommand command, bool closed);
    TTransferItem* BusyItemOn(const TFTPComponent* session) const;
    // A busy item writes the file the item would write.
    bool DestinationBusy(const TTransferItem& item) const;
    // The server refused one more session of the item's log-in while others of it are
    // logged on: the queue goes on with those.
    bool RefusedAnotherSession(const TFTPComponent* session, const TTransferItem& item);
    void QueueLog(TFTPComponent* sender, const QString& message, TColor color);
    void QueueError(TFTPComponent* sender, int code, const QString& message);
    void ScheduleProcessNext();
    void SetTitle(const QString& title) const;
    // Restarts the tick count and byte counters when nothing is pending or busy.
    void RestartIfIdle();
    void Forget(TTransferItem* item);
    // Pending and busy items by what makes two items equal, so that Add finds a
    // duplicate at once however long the queue is.
    void CountActive(TTransferItem& item, TItemState from, TItemState to);

    QString Name_;
    QList<TTransferItem*> Items_; // owned, in processing order
    QList<TFTPComponent*> Sessions_;
    // The busy item of each session; every notification asks for it.
    QHash<const TFTPComponent*, TTransferItem*> BusyOn_;
    // Sessions the server let in when it refused one more; 0 when it never did this run.
    int SessionCap_ = 0;
    // Dropped from the pool, told to disconnect, freed once their logout is over.
    QList<TFTPComponent*> Retiring_;
    // The transfer type each pooled session was last given; gone with its log-in.
    QHash<const TFTPComponent*, int> SessionType_;
    std::array<int32_t, ItemStateCount> StateCount_{};
    QHash<QByteArray, int> Active_;
    // No item before this index is pending.
    mutable qsizetype PendingFrom_ = 0;
    // Context of the deferred ProcessNext; gone with the queue, and its calls with it.
    std::unique_ptr<QObject> Context_;
};
