#include "engine/CommandQueue.h"

void TCommandQueue::Push(TCommandItemPtr item) {
    {
        std::lock_guard<std::mutex> lock(Lock_);
        Items_.push_back(std::move(item));
    }
    Event_.notify_one();
}

TCommandItemPtr TCommandQueue::Pop() {
    std::unique_lock<std::mutex> lock(Lock_);
    Event_.wait(lock, [this] { return !Items_.empty() || Terminated_; });
    // A terminated session runs nothing more.
    if (Terminated_) return nullptr;
    TCommandItemPtr item = std::move(Items_.front());
    Items_.pop_front();
    return item;
}

void TCommandQueue::Clear() {
    std::deque<TCommandItemPtr> dropped;
    {
        std::lock_guard<std::mutex> lock(Lock_);
        dropped.swap(Items_);
    }
    while (!dropped.empty())
        dropped.pop_back(); // last to first
}

void TCommandQueue::DropAll() {
    std::lock_guard<std::mutex> lock(Lock_);
    for (TCommandItemPtr& item : Items_)
        item->Dropped = true;
}

void TCommandQueue::Terminate() {
    {
        std::lock_guard<std::mutex> lock(Lock_);
        Terminated_ = true;
    }
    Event_.notify_all();
}

bool TCommandQueue::Terminated() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return Terminated_;
}

size_t TCommandQueue::Count() const {
    std::lock_guard<std::mutex> lock(Lock_);
    return Items_.size();
}
