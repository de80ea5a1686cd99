#include "transfer/TransferMonitor.h"

#include "listing/DebugLog.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"

#include <QObject>
#include <QTimer>

TTransferMonitor::TTransferMonitor(TTransferItemsList& list)
    : List_(list), Context_(std::make_unique<QObject>()) {
    for (int i = 0; i < list.Count(); ++i)
        Hook(list.Queue(i));
    list.OnQueueAdded = [this](TTransferItems* queue) {
        Hook(queue);
        Notify([&](ITransferQueueListener* l) { l->QueueAdded(queue); });
    };
    list.OnQueueRemoved = [this](TTransferItems* queue) {
        Unhook(queue);
        Notify([&](ITransferQueueListener* l) { l->QueueRemoved(queue); });
        CheckFinished(nullptr);
    };
}

TTransferMonitor::~TTransferMonitor() {
    List_.OnQueueAdded = nullptr;
    List_.OnQueueRemoved = nullptr;
    for (TTransferItems* queue : QList<TTransferItems*>(Queues_))
        Unhook(queue);
}

void TTransferMonitor::AddListener(ITransferQueueListener* listener) {
    if (!Listeners_.contains(listener)) Listeners_.append(listener);
}

void TTransferMonitor::RemoveListener(ITransferQueueListener* listener) {
    Listeners_.removeAll(listener);
}

bool TTransferMonitor::AllIdle() const {
    for (const TTransferItems* queue : Queues_)
        if (!queue->Idle()) return false;
    return true;
}

int TTransferMonitor::RunEnded() const {
    int ended = RunEnded_;
    for (const TTransferItems* queue : Running_)
        ended += queue->CompletedCount;
    return ended;
}

int TTransferMonitor::RunFailed() const {
    int failed = RunFailed_;
    for (const TTransferItems* queue : Running_)
        failed += queue->FailedCount;
    return failed;
}

void TTransferMonitor::Hook(TTransferItems* queue) {
    if (Queues_.contains(queue)) return;
    Queues_.append(queue);
    auto running = [this](TTransferItems* q) {
        if (!Running_.contains(q)) Running_.append(q);
        if (AllEndedReported_) RunEnded_ = RunFailed_ = 0; // a new run
        AllEndedReported_ = false;
    };
    // Checked after the event: a finishing item changes its state before its finished
    // event, which must come first; Clear removes items one by one.
    auto checkLater = [this](TTransferItems* q) {
        QTimer::singleShot(0, Context_.get(), [this, q] { CheckFinished(q); });
    };
    queue->OnItemAdded = [this, running](TTransferItems* q, TTransferItem* item) {
        running(q);
        Notify([&](ITransferQueueListener* l) { l->ItemAdded(q, item); });
    };
    queue->OnItemRemoved = [this, checkLater](TTransferItems* q, TTransferItem* item) {
        Notify([&](ITransferQueueListener* l) { l->ItemRemoved(q, item); });
        checkLater(q);
    };
    queue->OnItemStateChange = [this, running, checkLater](TTransferItems* q, TTransferItem* item) {
        if (item->State() == isPending || item->State() == isBusy)
            running(q);
        else
            checkLater(q);
        Notify([&](ITransferQueueListener* l) { l->ItemStateChanged(q, item); });
    };
    queue->OnItemStart = [this, running](TTransferItems* q, TTransferItem* item) {
        running(q);
        // Through the queue's log, so that its kept lines show the gap too.
        Log(q, QString(), EngineSettings().LogColorInfo);
        DebugLog(QStringLiteral("...transfering next file: ") + QString::fromUtf8(item->FileName));
        if (OnStatus) OnStatus(q, item, StatusItemStarted);
        Notify([&](ITransferQueueListener* l) { l->ItemStarted(q, item); });
    };
    queue->OnItemFinished = [this](TTransferItems* q, TTransferItem* item) {
        DebugLog(QStringLiteral("...finishing: ") + QString::fromUtf8(item->FileName));
        if (OnStatus) OnStatus(q, item, StatusItemEnded);
        Notify([&](ITransferQueueListener* l) { l->ItemFinished(q, item); });
        CheckFinished(q);
    };
    queue->OnItemsMoved = [this](TTransferItems* q) {
        Notify([&](ITransferQueueListener* l) { l->ItemsMoved(q); });
    };
    queue->OnItemProgress = [this](TTransferItems* q, TTransferItem* item) {
        Notify([&](ITransferQueueListener* l) { l->ItemProgress(q, item); });
    };
    queue->OnConnect = [this, queue](TFTPComponent*) {
        if (OnSessionConnected) OnSessionConnected(true);
        Notify([&](ITransferQueueListener* l) { l->SessionConnected(queue, true); });
    };
    queue->OnDisconnect = [this, queue](TFTPComponent*) {
        if (OnSessionConnected) OnSessionConnected(false);
        Notify([&](ITransferQueueListener* l) { l->SessionConnected(queue, false); });
    };
    queue->OnError = [this, queue, checkLater](TFTPComponent*, int, const QString& message) {
        if (OnThreadError) OnThreadError(QStringLiteral("Transfer Thread Error: ") + message);
        Log(queue, message, EngineSettings().LogColorError);
        checkLater(queue);
    };
    queue->OnLog = [this, queue](TFTPComponent*, const QString& message, TColor color) {
        // The queue has kept the line already.
        Notify([&](ITransferQueueListener* l) { l->LogLine(queue, message, color); });
    };
    if (!queue->Idle()) running(queue);
}

void TTransferMonitor::Unhook(TTransferItems* queue) {
    if (!Queues_.removeAll(queue)) return;
    Running_.removeAll(queue);
    queue->OnItemAdded = queue->OnItemRemoved = queue->OnItemStateChange = nullptr;
    queue->OnItemStart = queue->OnItemFinished = queue->OnItemProgress = nullptr;
    queue->OnItemsMoved = nullptr;
    queue->OnConnect = queue->OnDisconnect = nullptr;
    queue->OnError = nullptr;
    queue->OnLog = nullptr;
}

void TTransferMonitor::Log(TTransferItems* queue, const QString& message, TColor color) {
    queue->KeepLogLine(message, color);
    Notify([&](ITransferQueueListener* l) { l->LogLine(queue, message, color); });
}

void TTransferMonitor::CheckFinished(TTransferItems* queue) {
    if (queue && Queues_.contains(queue) && queue->Idle() && Running_.removeAll(queue)) {
        // Kept here: the queue's own counts start afresh with its next run.
        RunEnded_ += queue->CompletedCount;
        RunFailed_ += queue->FailedCount;
        Notify([&](ITransferQueueListener* l) { l->QueueFinished(queue); });
    }
    if (Running_.isEmpty() && !AllEndedReported_ && AllIdle()) {
        AllEndedReported_ = true;
        if (OnStatus) OnStatus(nullptr, nullptr, StatusAllEnded);
    }
}
