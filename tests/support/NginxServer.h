#pragma once

#include "LoopbackServerProcess.h"

// nginx (Debian's nginx-light) serving rootPath() on 127.0.0.1: started as the current user
// in the foreground (no daemon, no master process) with a generated configuration whose
// every path lies in workPath(). Keep-alive stays on, as on a real site.
class TNginxServer : public TLoopbackServerProcess {
public:
    static constexpr const char* Program = "/usr/sbin/nginx";

    // Extra lines for the server block ("location /x { ... }"); set before start().
    void setServerConfig(const QString& lines) { m_serverConfig = lines; }
    // "http://127.0.0.1:<port><path>"
    QString url(const QString& path) const;
    // Why start() failed, with what nginx wrote, for failure messages.
    QString diagnostics() {
        return errorText() + QLatin1Char('\n') + QString::fromLocal8Bit(output());
    }

protected:
    bool command(quint16 port, QString& program, QStringList& arguments) override;

private:
    QString m_serverConfig;
};
