#include "engine/SessionShared.h"

#include <sys/eventfd.h>
#include <unistd.h>

TNotificationChannel::TNotificationChannel() : Fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TNotificationChannel::~TNotificationChannel() {
    if (Fd_ >= 0) ::close(Fd_);
}

void TNotificationChannel::Post(TNotification notification) {
    {
        std::lock_guard<std::mutex> lock(Lock_);
        if (Closed_) return;
        Items_.push_back(std::move(notification));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(Fd_, &one, sizeof one);
}

bool TNotificationChannel::Take(TNotification& out) {
    std::lock_guard<std::mutex> lock(Lock_);
    if (Items_.empty()) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(Fd_, &value, sizeof value);
        return false;
    }
    out = std::move(Items_.front());
    Items_.pop_front();
    return true;
}

void TNotificationChannel::Close() {
    std::deque<TNotification> dropped;
    std::lock_guard<std::mutex> lock(Lock_);
    Closed_ = true;
    dropped.swap(Items_);
}

void TSessionShared::SetHost(const QString& host) {
    std::lock_guard<std::mutex> lock(HostLock_);
    Host_ = host;
}

QString TSessionShared::Host() const {
    std::lock_guard<std::mutex> lock(HostLock_);
    return Host_;
}
