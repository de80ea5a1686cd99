#pragma once

#include "engine/FtpComponent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTest>

// Keeps a session's notifications as readable lines in delivery order ("Completed
// Download 1 0", "Size 2048", "Log error ...") plus the last listing and progress.
class TTransferRecorder {
public:
    explicit TTransferRecorder(TFTPComponent& session) : Session(session) {
        session.OnAbort = [this](TFTPComponent*) { Events << QStringLiteral("Abort"); };
        session.OnCantLogIn = [this](TFTPComponent*) { Events << QStringLiteral("CantLogIn"); };
        session.OnDisconnect = [this](TFTPComponent*) { Events << QStringLiteral("Disconnect"); };
        session.OnLoggedIn = [this](TFTPComponent*) { Events << QStringLiteral("LoggedIn"); };
        session.OnCommandCompleted = [this](TFTPComponent*, TFTPCommand c, bool ok, bool aborted) {
            Events << QStringLiteral("Completed %1 %2 %3")
                          .arg(QString::fromLatin1(CommandDisplayName(c)))
                          .arg(int(ok))
                          .arg(int(aborted));
        };
        session.OnError = [this](TFTPComponent*, int code, const QString& text) {
            Events << QStringLiteral("Error %1 %2").arg(code).arg(text);
        };
        session.OnLog = [this](TFTPComponent*, const QString& text, TColor color) {
            const char* kind = color == EngineSettings().LogColorError     ? "error"
                               : color == EngineSettings().LogColorCommand ? "command"
                               : color == EngineSettings().LogColorReply   ? "reply"
                                                                           : "info";
            Events << QStringLiteral("Log %1 %2").arg(QLatin1String(kind), text);
        };
        session.OnUpdateFileSize = [this](TFTPComponent*, const QString&, int64_t size) {
            Events << QStringLiteral("Size %1").arg(size);
        };
        session.OnProgress = [this](TFTPComponent*, uint8_t stage, bool isFile, int64_t bytes) {
            Progress << QStringLiteral("%1 %2 %3").arg(stage).arg(int(isFile)).arg(bytes);
        };
        session.OnProcessList = [this](TFTPComponent*, const QByteArray& folder,
                                       TRemoteItemList items) {
            Events << QStringLiteral("List ") + QString::fromUtf8(folder);
            Listing = std::move(items);
        };
    }

    // Processes events until an event starting with the prefix has arrived (bounded).
    bool WaitFor(const QString& prefix, int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (Find(prefix) < 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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
    QStringList Events;
    QStringList Progress;
    TRemoteItemList Listing;
};
