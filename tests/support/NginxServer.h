#pragma once

#include "LoopbackServerProcess.h"

// nginx (Debian's nginx-light) serving rootPath() on 127.0.0.1: started as the current user
// in the foreground (no daemon, no master process) with a generated configuration whose
// every path lies in workPath(). Keep-alive stays on, as on a real site.
class TNginxServer : public TLoopbackServerProcess {
public:
    static constexpr const char* Program = "/usr/sbin/nginx";

    // "http://127.0.0.1:<port><path>"
    QString url(const QString& path) const;

protected:
    bool command(quint16 port, QString& program, QStringList& arguments) override;
};
