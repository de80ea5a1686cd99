#pragma once

#include "engine/FtpComponent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStringList>
#include <QTest>

// Keeps a session's notifications as lines in delivery order: "Connect",
// "Log error <text>", "Size 5000", "Progress 2 5000", "Completed Get HTTP 1 0" ...
class THttpRecorder {
public:
    explicit THttpRecorder(TFTPComponent& session) {
        session.OnAbort = [this](TFTPComponent*) { Events << QStringLiteral("Abort"); };
        session.OnCantLogIn = [this](TFTPComponent*) { Events << QStringLiteral("CantLogIn"); };
        session.OnConnect = [this](TFTPComponent*) { Events << QStringLiteral("Connect"); };
        session.OnDisconnect = [this](TFTPComponent*) { Events << QStringLiteral("Disconnect"); };
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
            const auto& s = EngineSettings();
            const QString name = color == s.LogColorCommand ? QStringLiteral("command")
                                 : color == s.LogColorReply ? QStringLiteral("reply")
                                 : color == s.LogColorError ? QStringLiteral("error")
                                                            : QStringLiteral("info");
            Events << QStringLiteral("Log %1 %2").arg(name, text);
        };
        session.OnUpdateFileSize = [this](TFTPComponent*, const QString&, int64_t size) {
            Events << QStringLiteral("Size %1").arg(size);
        };
        session.OnProgress = [this](TFTPComponent*, uint8_t stage, bool, int64_t bytes) {
            if (stage != 1) Events << QStringLiteral("Progress %1 %2").arg(stage).arg(bytes);
        };
    }

    bool WaitFor(const QString& prefix, int timeoutMs = 15000) {
        QDeadlineTimer deadline(timeoutMs);
        while (Find(prefix) < 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QTest::qSleep(5);
        }
        return Find(prefix) >= 0;
    }
    int Find(const QString& prefix) const {
        for (int i = 0; i < Events.size(); ++i)
            if (Events[i].startsWith(prefix)) return i;
        return -1;
    }
    int Count(const QString& prefix) const {
        int n = 0;
        for (const QString& e : Events)
            n += e.startsWith(prefix) ? 1 : 0;
        return n;
    }
    QString Dump() const { return Events.join(QLatin1Char('\n')); }

    QStringList Events;
};
