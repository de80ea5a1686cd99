#pragma once

#include "engine/EngineSettings.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QObject;
class TFTPComponent;
class TTransferItem;
class TTransferItems;
class TTransferItemsList;

// What a window hears of the queues through the monitor; every queue's events reach every
// listener, which picks what it draws.
class ITransferQueueListener {
public:
    virtual ~ITransferQueueListener() = default;
    virtual void QueueAdded(TTransferItems*) {}
    // The queue leaves the list; it must not be touched afterwards.
    virtual void QueueRemoved(TTransferItems*) {}
    virtual void ItemAdded(TTransferItems*, TTransferItem*) {}
    // The item is about to be freed.
    virtual void ItemRemoved(TTransferItems*, TTransferItem*) {}
    virtual void ItemsMoved(TTransferItems*) {}
    virtual void ItemStateChanged(TTransferItems*, TTransferItem*) {}
    virtual void ItemStarted(TTransferItems*, TTransferItem*) {}
    virtual void ItemFinished(TTransferItems*, TTransferItem*) {}
    virtual void ItemProgress(TTransferItems*, TTransferItem*) {}
    virtual void LogLine(TTransferItems*, const QString&, TColor) {}
    virtual void SessionConnected(TTransferItems*, bool) {}
    // The queue has neither pending nor busy items any more.
    virtual void QueueFinished(TTransferItems*) {}
};

// Follows every queue of a list, not only the one a window shows: it does the work of
// the queue events that is not drawing (time stamps, the log lines kept per queue, the
// statuses for the main window, when a queue and when all transfers are finished) and
// passes each event on to its listeners.
class TTransferMonitor {
public:
    // Hooks every queue of the list now and every queue added later.
    explicit TTransferMonitor(TTransferItemsList& list);
    // Unhooks the queues and the list.
    ~TTransferMonitor();
    TTransferMonitor(const TTransferMonitor&) = delete;
    TTransferMonitor& operator=(const TTransferMonitor&) = delete;

    // Statuses for the main window's HostViewStatus: 0 an item started (commands need a
    // refresh), 133 one transfer ended (item given), 134 all transfers ended (reported
    // once each time every queue has become idle; queue and item are null).
    enum : int { StatusItemStarted = 0, StatusItemEnded = 133, StatusAllEnded = 134 };
    std::function<void(TTransferItems* queue, TTransferItem* item, int status)> OnStatus;
    // "Transfer Thread Error: " and the message, for the main window's log in red.
    std::function<void(const QString& text)> OnThreadError;
    // A session of some queue connected (true) or disconnected.
    std::function<void(bool connected)> OnSessionConnected;

    void AddListener(ITransferQueueListener* listener);
    void RemoveListener(ITransferQueueListener* listener);

    TTransferItemsList& List() const { return List_; }
    QList<TTransferItems*> Queues() const { return Queues_; }
    // True when no queue has pending or busy items.
    bool AllIdle() const;
    // Items ended and failed since every queue was last idle, over all queues: what the
    // main window reports when the transfers end.
    int RunEnded() const;
    int RunFailed() const;

private:
    void Hook(TTransferItems* queue);
    void Unhook(TTransferItems* queue);
    void CheckFinished(TTransferItems* queue);
    void Log(TTransferItems* queue, const QString& message, TColor color);
    template <typename F> void Notify(F&& call) {
        // A listener may remove itself while being told.
        for (ITransferQueueListener* l : QList<ITransferQueueListener*>(Listeners_))
            if (Listeners_.contains(l)) call(l);
    }

    TTransferItemsList& List_;
    QList<TTransferItems*> Queues_;
    QList<TTransferItems*> Running_; // queues with pending or busy items when last seen
    QList<ITransferQueueListener*> Listeners_;
    bool AllEndedReported_ = true;
    // The counts of the queues that finished during this run; running ones add theirs.
    int RunEnded_ = 0, RunFailed_ = 0;
    // Context of the deferred checks; gone with the monitor, and its calls with it.
    std::unique_ptr<QObject> Context_;
};
