#pragma once

#include "engine/FtpCommand.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// First in, first out; Pop blocks until a command arrives or the queue is terminated.
class TCommandQueue {
public:
    void Push(TCommandItemPtr item);
    // None once terminated and empty.
    TCommandItemPtr Pop();
    void Clear();
    // Marks every queued command as dropped; each still comes out of Pop, in order.
    void DropAll();
    void Terminate();
    bool Terminated() const;
    size_t Count() const;

private:
    mutable std::mutex Lock_;
    std::condition_variable Event_;
    std::deque<TCommandItemPtr> Items_;
    bool Terminated_ = false;
};
