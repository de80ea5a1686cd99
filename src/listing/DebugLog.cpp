#include "listing/DebugLog.h"

#include "platform/ProgramFolder.h"

#include <QByteArray>
#include <QFile>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::atomic<bool> gEnabled{false};
std::mutex gLock;
uint64_t gLastTick = 0; // guarded by gLock
QString gFile;          // guarded by gLock
// Static initialisation runs on the main thread.
const std::thread::id gMainThread = std::this_thread::get_id();

QByteArray ThreadLabel() {
    if (std::this_thread::get_id() == gMainThread) return QByteArray("\xC2\xB7 main \xC2\xB7");
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(::syscall(SYS_gettid)));
    return QByteArray(buf);
}
} // namespace

uint64_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SetDebugLogEnabled(bool on) {
    gEnabled.store(on, std::memory_order_relaxed);
}
bool DebugLogEnabled() {
    return gEnabled.load(std::memory_order_relaxed);
}

void SetDebugLogFile(const QString& path) {
    std::lock_guard<std::mutex> lock(gLock);
    gFile = path;
}

QString DebugLogFile() {
    std::lock_guard<std::mutex> lock(gLock);
    return gFile.isEmpty() ? ProgramFilePath(QStringLiteral("Debug.txt")) : gFile;
}

void DebugLog(const QString& message) {
    if (!DebugLogEnabled()) return;
    const QByteArray label = ThreadLabel();
    const QByteArray text = message.toUtf8();

    std::lock_guard<std::mutex> lock(gLock);
    // localtime_r under the lock: the time zone is read once, not by many threads at once.
    char clock[16];
    const std::time_t wall = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&wall, &parts);
    std::strftime(clock, sizeof clock, "%H:%M:%S", &parts);
    const uint64_t now = TickCount();
    if (gLastTick == 0) gLastTick = now;
    char head[64];
    std::snprintf(head, sizeof head, " - %06llums - ",
                  static_cast<unsigned long long>(now - gLastTick));
    gLastTick = now;

    QByteArray line;
    line.reserve(label.size() + text.size() + 48);
    line += clock;
    line += head;
    line += label;
    line += " - ";
    line += text;
    // One call is always one line.
    for (char& c : line)
        if (c == '\r' || c == '\n') c = '~';
    line += "\r\n";

    const QString path = gFile.isEmpty() ? ProgramFilePath(QStringLiteral("Debug.txt")) : gFile;
    // A debug log that cannot be written must not take the program down with it.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const char* p = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n <= 0) break;
        p += n;
        left -= n;
    }
    ::close(fd);
}

void DebugLogFmt(const char* format, ...) {
    if (!DebugLogEnabled()) return;
    va_list args;
    va_start(args, format);
    char stackBuf[1024];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(stackBuf, sizeof stackBuf, format, copy);
    va_end(copy);
    if (needed < 0) {
        va_end(args);
        return;
    }
    if (static_cast<size_t>(needed) < sizeof stackBuf) {
        va_end(args);
        DebugLog(QString::fromUtf8(stackBuf, needed));
        return;
    }
    QByteArray big(needed + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    big.truncate(needed);
    DebugLog(QString::fromUtf8(big));
}
