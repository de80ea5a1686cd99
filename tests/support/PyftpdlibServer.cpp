#include "PyftpdlibServer.h"

namespace {

// The module's command line has no TLS switches: the server is put together here.
// Arguments: port, root, permissions, certificate, key, "1" when TLS is required.
constexpr const char* TlsServer = R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer
port, root, perm, certificate, key, required = sys.argv[1:]
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root, perm=perm)
TLS_FTPHandler.authorizer = authorizer
TLS_FTPHandler.certfile = certificate
TLS_FTPHandler.keyfile = key
TLS_FTPHandler.tls_control_required = TLS_FTPHandler.tls_data_required = required == "1"
FTPServer(("127.0.0.1", int(port)), TLS_FTPHandler).serve_forever()
)";

} // namespace

bool TPyftpdlibServer::command(quint16 port, QString& program, QStringList& arguments) {
    program = QString::fromLatin1(Python);
    if (m_tls == TTls::Implicit) {
        setErrorText(QStringLiteral("pyftpdlib offers no implicit TLS"));
        return false;
    }
    if (m_tls != TTls::Off) {
        // The module's own choice of rights for -w and without it.
        arguments = {QStringLiteral("-c"),
                     QString::fromLatin1(TlsServer),
                     QString::number(port),
                     rootPath(),
                     m_writable ? QStringLiteral("elradfmwMT") : QStringLiteral("elr"),
                     m_certificate,
                     m_key,
                     m_tls == TTls::Required ? QStringLiteral("1") : QStringLiteral("0")};
        return true;
    }
    arguments = {QStringLiteral("-m"), QStringLiteral("pyftpdlib"),
                 QStringLiteral("-i"), QStringLiteral("127.0.0.1"),
                 QStringLiteral("-p"), QString::number(port),
                 QStringLiteral("-d"), rootPath()};
    if (m_writable) arguments << QStringLiteral("-w");
    return true;
}
