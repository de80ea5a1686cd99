#include "PyftpdlibServer.h"

bool TPyftpdlibServer::command(quint16 port, QString& program, QStringList& arguments) {
    program = QString::fromLatin1(Python);
    arguments = {QStringLiteral("-m"), QStringLiteral("pyftpdlib"),
                 QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                 QStringLiteral("-p"), QString::number(port),
                 QStringLiteral("-d"), rootPath()};
    if (m_writable) arguments << QStringLiteral("-w");
    return true;
}
