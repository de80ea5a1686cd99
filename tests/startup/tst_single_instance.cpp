#include "platform/SingleInstance.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <QThread>

#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A socket file at `path` as a dead or hung program leaves it: bound, then (unless
// `listening`) closed without removing the file. Returns the descriptor to close later.
int LeaveSocket(const QString& path, bool listening) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::strncpy(address.sun_path, bytes.constData(), sizeof(address.sun_path) - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    if (listening) {
        ::listen(fd, 4);
        return fd;
    }
    ::close(fd);
    return -2;
}

struct TSecondStart {
    bool Claimed = true;
    bool Sent = false;
};

// The later start runs on its own thread: it waits for answers that the first one
// gives from this thread's event loop.
TSecondStart RunSecond(const QString& folder, const QStringList& arguments) {
    TSecondStart result;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        TSingleInstance second(folder, "tolvar");
        result.Claimed = second.Claim();
        if (!result.Claimed) result.Sent = second.SendToRunning(arguments);
    }));
    thread->start();
    QElapsedTimer timer;
    timer.start();
    while (!thread->isFinished() && timer.elapsed() < 10000)
        QTest::qWait(10);
    thread->wait();
    return result;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondStartHandsOver() {
        QTemporaryDir dir;
        TSingleInstance first(dir.path(), "tolvar");
        QVERIFY(first.Claim());
        // Only the user may connect: the arguments can carry a password.
        const QFile::Permissions perms = QFileInfo(first.SocketPath()).permissions();
        QVERIFY(!(perms &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
        QSignalSpy spy(&first, &TSingleInstance::Request);
        const QStringList arguments{"-c", "", QString::fromUtf8("h\xc3\xa9te:21"), "-x"};
        const TSecondStart second = RunSecond(dir.path(), arguments);
        QVERIFY(!second.Claimed);
        QVERIFY(second.Sent);
        QTRY_COMPARE(spy.count(), 1); // the probe of Claim is no request
        QCOMPARE(spy.at(0).at(0).toStringList(), arguments);
    }

    void leftSocketIsReplaced_data() {
        QTest::addColumn<bool>("listening");
        QTest::newRow("killed program's file") << false;
        QTest::newRow("listener that never answers") << true;
    }
    void leftSocketIsReplaced() {
        QFETCH(bool, listening);
        QTemporaryDir dir;
        TSingleInstance first(dir.path(), "tolvar");
        const int fd = LeaveSocket(first.SocketPath(), listening);
        QVERIFY(fd != -1);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(first.Claim());
        QVERIFY(timer.elapsed() < 3 * TSingleInstance::AnswerTimeoutMs);
        if (fd >= 0) ::close(fd);
        // The new socket works: a later start finds it.
        QSignalSpy spy(&first, &TSingleInstance::Request);
        const TSecondStart second = RunSecond(dir.path(), {});
        QVERIFY(!second.Claimed);
        QVERIFY(second.Sent);
        QTRY_COMPARE(spy.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
