#pragma once

#include "transfer/TransferItems.h"
#include "transfer/TransferWindows.h"

#include <QList>

#include <functional>

struct TSettings;

// All queues of the process. It does not own them: whoever creates a queue frees it,
// and a queue leaves the list when destroyed.
class TTransferItemsList {
public:
    TTransferItemsList() = default;
    ~TTransferItemsList();
    TTransferItemsList(const TTransferItemsList&) = delete;
    TTransferItemsList& operator=(const TTransferItemsList&) = delete;

    // A new queue of this list, appended to it; the caller frees it. A queue constructed
    // with this list as its owner joins it the same way.
    TTransferItems* AddQueue();
    void Remove(TTransferItems* queue);
    int Count() const { return static_cast<int>(Queues_.size()); }
    TTransferItems* Queue(int index) const { return Queues_.at(index); }
    int32_t StateCount(TItemState state) const;
    void DisconnectAll();
    // The items that name the view as their source or destination no longer do.
    void ForgetView(const ITransferView* view);

    // A queue joined or left the list (leaving includes the list's own end), for the
    // monitor that follows every queue.
    std::function<void(TTransferItems*)> OnQueueAdded, OnQueueRemoved;

    // The settings record and the windows the queues consult; the GUI sets them at
    // start. Without settings the defaults of a first start apply.
    void SetSettings(const TSettings* settings) { Settings_ = settings; }
    const TSettings& Settings() const;
    void SetWindows(const TTransferWindows& windows) { Windows_ = windows; }
    const TTransferWindows& Windows() const { return Windows_; }

private:
    friend class TTransferItems;
    void Append(TTransferItems* queue);

    QList<TTransferItems*> Queues_;
    const TSettings* Settings_ = nullptr;
    TTransferWindows Windows_;
};

// The process-wide list, created on first use.
TTransferItemsList& TransferItemsList();
// The "General" queue of the URL window, the command line and automation; created on
// first call.
TTransferItems& GeneralQueue();
// Frees the "General" queue, every session still logging out, and the list; for the
// end of the program (before the application object goes).
void ShutdownTransferQueues();
