#include "engine/FtpThread.h"

#include "listing/DebugLog.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <openssl/crypto.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Never destroyed: a worker may still be leaving while the program exits.
std::mutex& gRunningLock = *new std::mutex;
std::condition_variable& gRunningChanged = *new std::condition_variable;
int gRunning = 0;
} // namespace

void TFTPThread::Start(std::shared_ptr<TSessionShared> shared) {
    shared->ThreadRunning = true;
    {
        std::lock_guard<std::mutex> lock(gRunningLock);
        ++gRunning;
    }
    std::thread([shared = std::move(shared)]() mutable {
        {
            TFTPThread worker(std::move(shared));
            worker.Run();
        }
        // OpenSSL's state of this thread goes now, before the program may wait for it to
        // end: at exit its own clean-up would come too late.
        OPENSSL_thread_stop();
        std::lock_guard<std::mutex> lock(gRunningLock);
        --gRunning;
        gRunningChanged.notify_all();
    }).detach();
}

int TFTPThread::RunningCount() {
    std::lock_guard<std::mutex> lock(gRunningLock);
    return gRunning;
}

bool TFTPThread::WaitForAll(int timeoutMs) {
    std::unique_lock<std::mutex> lock(gRunningLock);
    return gRunningChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [] { return gRunning == 0; });
}

TFTPThread::TFTPThread(std::shared_ptr<TSessionShared> shared)
    : Shared(std::move(shared)), Wait(Shared->Aborted, Shared->Waker) {}

TFTPThread::~TFTPThread() = default;

void TFTPThread::Run() {
    const auto threadId = static_cast<unsigned>(::syscall(SYS_gettid));
    DebugLogFmt("Started new FTP thread, ThreadID = %08x", threadId);
    while (TCommandItemPtr item = Shared->Queue.Pop()) {
        Shared->Busy = true;
        CurrentItem = item.get();
        // Whoever waits for a dropped command learns that it ended, in its turn, so an
        // abort leaves no waiter behind.
        if (item->Dropped)
            NotifyCommandCompleted(*item, false, true);
        else
            DoCommand(*item);
        CurrentItem = nullptr;
        item.reset();
        Shared->Busy = false;
        Wait.ClearAborted();
    }

    CloseSocketGraceful(DataSocket);
    CloseSocketGraceful(ControlSocket);
    Shared->ThreadRunning = false;
    DebugLogFmt("Ended FTP thread, ThreadID = %08x", threadId);
}
