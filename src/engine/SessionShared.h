#pragma once

#include "engine/CommandQueue.h"
#include "engine/Notifications.h"
#include "engine/Socket.h"

#include <QString>

#include <atomic>
#include <deque>
#include <mutex>

// Carries notifications from a worker thread to the component's thread in posting
// order. Once closed (the component is gone) posts are dropped.
class TNotificationChannel {
public:
    TNotificationChannel();
    ~TNotificationChannel();
    TNotificationChannel(const TNotificationChannel&) = delete;
    TNotificationChannel& operator=(const TNotificationChannel&) = delete;

    void Post(TNotification notification);
    bool Take(TNotification& out);
    void Close();
    // Readable while notifications wait.
    int Fd() const { return Fd_; }

private:
    std::mutex Lock_;
    std::deque<TNotification> Items_;
    bool Closed_ = false;
    int Fd_ = -1;
};

// What a component and its worker thread share. The worker keeps its own reference,
// so a command still running when the component is destroyed finishes safely.
struct TSessionShared {
    explicit TSessionShared(bool hasOwner) : HasOwner(hasOwner) {}

    TCommandQueue Queue;
    std::atomic<bool> Aborted{false};
    TWaker Waker;
    TNotificationChannel Channel;

    const bool HasOwner;
    std::atomic<bool> Passive{false};
    std::atomic<bool> ResumeSupported{false};
    std::atomic<uint8_t> ServerType{0};

    std::atomic<bool> ThreadRunning{false};
    std::atomic<bool> ControlOpen{false};
    std::atomic<bool> Busy{false};

    void SetHost(const QString& host);
    QString Host() const;
    // The host as UTF-8 for debug lines.
    QByteArray HostForLog() const { return Host().toUtf8(); }

private:
    mutable std::mutex HostLock_;
    QString Host_;
};
