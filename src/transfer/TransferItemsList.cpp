#include "transfer/TransferItemsList.h"

#include "settings/Settings.h"
#include "transfer/TransferItem.h"

#include <memory>
#include <utility>

namespace {
std::unique_ptr<TTransferItemsList> gList;
std::unique_ptr<TTransferItems> gGeneral;
} // namespace

TTransferItemsList::~TTransferItemsList() {
    // Queues outliving the list must not reach back into it.
    for (TTransferItems* queue : std::exchange(Queues_, {})) {
        if (OnQueueRemoved) OnQueueRemoved(queue);
        queue->Owner = nullptr;
    }
}

TTransferItems* TTransferItemsList::AddQueue() {
    return new TTransferItems(this); // joins the list by itself
}

void TTransferItemsList::Append(TTransferItems* queue) {
    Queues_.append(queue);
    if (OnQueueAdded) OnQueueAdded(queue);
}

void TTransferItemsList::Remove(TTransferItems* queue) {
    queue->RemoveProgressTab();
    if (Queues_.removeAll(queue) > 0 && OnQueueRemoved) OnQueueRemoved(queue);
}

int32_t TTransferItemsList::StateCount(TItemState state) const {
    int32_t sum = 0;
    for (const TTransferItems* queue : Queues_)
        sum += queue->StateCount(state);
    return sum;
}

void TTransferItemsList::DisconnectAll() {
    for (qsizetype i = Queues_.size() - 1; i >= 0; --i)
        Queues_.at(i)->DisconnectSessions();
}

void TTransferItemsList::ForgetView(const ITransferView* view) {
    for (TTransferItems* queue : std::as_const(Queues_)) {
        for (int i = 0; i < queue->Count(); ++i) {
            TTransferItem* item = queue->Item(i);
            if (item->SourceView == view) item->SourceView = nullptr;
            if (item->DestView == view) item->DestView = nullptr;
        }
    }
}

ITransferView::~ITransferView() {
    if (gList) gList->ForgetView(this);
}

const TSettings& TTransferItemsList::Settings() const {
    static const TSettings defaults = DefaultSettings();
    return Settings_ ? *Settings_ : defaults;
}

TTransferItemsList& TransferItemsList() {
    if (!gList) gList = std::make_unique<TTransferItemsList>();
    return *gList;
}

TTransferItems& GeneralQueue() {
    if (!gGeneral) {
        gGeneral.reset(TransferItemsList().AddQueue());
        gGeneral->SetName(QStringLiteral("General"));
    }
    return *gGeneral;
}

void ShutdownTransferQueues() {
    gGeneral.reset();
    gList.reset();
}
