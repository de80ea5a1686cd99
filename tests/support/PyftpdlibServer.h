#pragma once

#include "LoopbackServerProcess.h"

// pyftpdlib (Debian's python3-pyftpdlib) serving rootPath() to anonymous users on
// 127.0.0.1. Debian's own interpreter is used: the one on PATH may lack the package.
class TPyftpdlibServer : public TLoopbackServerProcess {
public:
    static constexpr const char* Python = "/usr/bin/python3";

    // Lets anonymous users upload, create folders, rename and delete.
    void setWritable(bool on) { m_writable = on; }

protected:
    bool command(quint16 port, QString& program, QStringList& arguments) override;

private:
    bool m_writable = false;
};
