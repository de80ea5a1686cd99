#pragma once

#include "engine/FtpComponent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTest>

// Checks of the recorded events that show all of them when they fail.
#define WAIT_EVENT(rec, prefix) QVERIFY2((rec).WaitFor(prefix), qPrintable((rec).Dump()))
#define EXPECT_EVENT(rec, prefix) QVERIFY2((rec).Find(prefix) >= 0, qPrintable((rec).Dump()))

// Attaches to every notification of a session and keeps them as readable lines, in
// delivery order: "Connect", "Log error <text>", "Size 2048", "List /pub/",
// "Completed Download 1 0" ... Progress goes to its own list ("stage isFile bytes"),
// and with ProgressAsEvents also the start and end stages to the events
// ("Progress 0 0", "Progress 2 5000"). The last listing is kept whole; log texts are cut
// at 300 characters, so that a dump stays readable after a flood.
class TSessionRecorder {
public:
    enum TOption { Default, ProgressAsEvents };

    explicit TSessionRecorder(TFTPComponent& session, TOption option = Default)
        : Session(session), Option(option) {
        Session.OnAbort = [this](TFTPComponent*) { Events << QStringLiteral("Abort"); };
        Session.OnCantLogIn = [this](TFTPComponent*) { Events << QStringLiteral("CantLogIn"); };
        Session.OnConnect = [this](TFTPComponent*) { Events << QStringLiteral("Connect"); };
        Session.OnDisconnect = [this](TFTPComponent*) { Events << QStringLiteral("Disconnect"); };
        Session.OnLoggedIn = [this](TFTPComponent*) { Events << QStringLiteral("LoggedIn"); };
        Session.OnCommandCompleted = [this](TFTPComponent*, TFTPCommand c, bool ok, bool aborted) {
            Events << QStringLiteral("Completed %1 %2 %3")
                          .arg(QString::fromLatin1(CommandDisplayName(c)))
                          .arg(int(ok))
                          .arg(int(aborted));
        };
        Session.OnError = [this](TFTPComponent*, int code, const QString& text) {
            Events << QStringLiteral("Error %1 %2").arg(code).arg(text);
        };
        Session.OnLog = [this](TFTPComponent*, const QString& text, TColor color) {
            Events << QStringLiteral("Log %1 %2").arg(ColorName(color), text.left(300));
        };
        Session.OnFolderReply = [this](TFTPComponent*, const QByteArray& folder, uint8_t type,
                                       bool ok) {
            Events << QStringLiteral("Folder %1 %2 %3")
                          .arg(QString::fromUtf8(folder))
                          .arg(type)
                          .arg(int(ok));
        };
        Session.OnDeleteSuccessful = [this](TFTPComponent*, const QByteArray& name) {
            Events << QStringLiteral("Deleted ") + QString::fromUtf8(name);
        };
        Session.OnRenameSuccessful = [this](TFTPComponent*, const QByteArray& a,
                                            const QByteArray& b) {
            Events
                << QStringLiteral("Renamed %1 %2").arg(QString::fromUtf8(a), QString::fromUtf8(b));
        };
        Session.OnUpdateFileSize = [this](TFTPComponent*, const QString&, int64_t size) {
            Events << QStringLiteral("Size %1").arg(size);
        };
        Session.OnProgress = [this](TFTPComponent*, uint8_t stage, bool isFile, int64_t bytes) {
            Progress << QStringLiteral("%1 %2 %3").arg(stage).arg(int(isFile)).arg(bytes);
            if (Option == ProgressAsEvents && stage != 1)
                Events << QStringLiteral("Progress %1 %2").arg(stage).arg(bytes);
        };
        Session.OnUntrustedCertificate = [this](TFTPComponent*, const TCertificateInfo& c) {
            Events << QStringLiteral("Certificate %1 %2 %3")
                          .arg(QString::fromLatin1(c.Fingerprint),
                               c.Changed ? QStringLiteral("changed") : QStringLiteral("new"),
                               c.Problem);
        };
        Session.OnProcessList = [this](TFTPComponent*, const QByteArray& folder,
                                       TRemoteItemList items,
                                       const TNotUnderstoodLines& notUnderstood) {
            Events << QStringLiteral("List ") + QString::fromUtf8(folder);
            Listing = std::move(items);
            NotUnderstood = notUnderstood;
        };
    }

    static QString ColorName(TColor color) {
        const auto& s = EngineSettings();
        if (color == s.LogColorCommand) return QStringLiteral("command");
        if (color == s.LogColorReply) return QStringLiteral("reply");
        if (color == s.LogColorError) return QStringLiteral("error");
        if (color == s.LogColorInfo) return QStringLiteral("info");
        return QStringLiteral("other");
    }

    // Processes events until an event starting with the prefix has arrived (bounded).
    bool WaitFor(const QString& prefix, int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            if (Find(prefix) >= 0) return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QTest::qSleep(5);
        }
        return Find(prefix) >= 0;
    }

    int Find(const QString& prefix, int from = 0) const {
        for (int i = from; i < Events.size(); ++i)
            if (Events[i].startsWith(prefix)) return i;
        return -1;
    }

    int Count(const QString& prefix) const {
        int n = 0;
        for (const QString& e : Events)
            n += e.startsWith(prefix) ? 1 : 0;
        return n;
    }

    const TRemoteListEntry* Entry(const QByteArray& name) const {
        for (const TRemoteListEntry& e : Listing)
            if (e.Name == name) return &e;
        return nullptr;
    }

    QString Dump() const { return Events.join(QLatin1Char('\n')); }

    TFTPComponent& Session;
    TOption Option;
    QStringList Events;
    QStringList Progress;
    TRemoteItemList Listing;
    TNotUnderstoodLines NotUnderstood;
};
