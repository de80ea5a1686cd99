// Opening a data connection: passive (PASV, or EPSV over IPv6 and where PASV is refused)
// or active (PORT/EPRT).
#include "engine/FtpThread.h"

#include "engine/DataReplies.h"
#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

socklen_t AddressLength(const sockaddr_storage& address) {
    return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int AddressPort(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

bool SameHost(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
    return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                       &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
}

// "10,0,0,1" for 10.0.0.1; empty for IPv6.
QByteArray CommaAddress(const sockaddr_storage& address) {
    if (address.ss_family != AF_INET) return QByteArray();
    const auto* b = reinterpret_cast<const unsigned char*>(
        &reinterpret_cast<const sockaddr_in&>(address).sin_addr);
    return QByteArray::number(b[0]) + ',' + QByteArray::number(b[1]) + ',' +
           QByteArray::number(b[2]) + ',' + QByteArray::number(b[3]);
}

} // namespace

bool TFTPThread::PreparePassive() {
    sockaddr_storage peer{};
    if (!ControlSocket.PeerAddress(peer)) {
        if (!HostAddressKnown) {
            LastError = WSAENOTCONN_;
            ReportWSAError();
            return false;
        }
        peer = HostAddress;
    }
    int port = 0;
    bool extended = peer.ss_family == AF_INET6 || ExtendedPassive;
    if (!extended) {
        SendCommand("PASV");
        const int replyClass = GetReplyClass();
        // Some servers keep to EPSV even on IPv4; active mode is left for those without.
        if (replyClass == 5 && HasFeature("EPSV")) {
            extended = true;
        } else {
            if (replyClass != 2) return false;
            port = PassiveReplyPort(ReplyText, CommaAddress(peer));
        }
    }
    if (extended) {
        // Also the only one for IPv6 hosts, which PASV cannot name.
        SendCommand("EPSV");
        if (GetReplyClass() != 2) return false;
        port = ExtendedPassiveReplyPort(ReplyText);
        ExtendedPassive = true;
    }
    if (port == 0) {
        LogError(QStringLiteral("Illegal response from server"));
        return false;
    }
    // The reply's address is never used: a hostile server must not be able to make
    // the client connect to another host.
    if (!OpenSocket(DataSocket, peer, port)) {
        CloseSocketGraceful(DataSocket);
        return false;
    }
    return true;
}

bool TFTPThread::PrepareActive() {
    sockaddr_storage local{};
    if (!ControlSocket.LocalAddress(local)) {
        LastError = WSAErrorFromErrno(errno);
        ReportWSAError();
        return false;
    }
    // Listening on the control connection's own address only, not on every interface.
    const int error =
        ListenSocket.Listen(reinterpret_cast<const sockaddr*>(&local), AddressLength(local));
    sockaddr_storage bound{};
    if (error != 0 || !ListenSocket.LocalAddress(bound)) {
        LastError = error != 0 ? error : WSAErrorFromErrno(errno);
        ReportWSAError();
        ListenSocket.Close();
        return false;
    }
    const int port = AddressPort(bound);
    QByteArray command;
    if (local.ss_family == AF_INET)
        command = "PORT " + CommaAddress(local) + ',' + QByteArray::number(port / 256) + ',' +
                  QByteArray::number(port % 256);
    else
        command = "EPRT |2|" + AddressText(local) + '|' + QByteArray::number(port) + '|';
    SendCommand(command);
    if (GetReplyClass() != 2) {
        ListenSocket.Close();
        return false;
    }
    return true;
}

bool TFTPThread::AcceptData() {
    sockaddr_storage server{};
    const bool knowServer = ControlSocket.PeerAddress(server);
    StartTimeOut();
    int error = 0;
    // Bounded by the time-out and abort of the wait inside Accept.
    for (;;) {
        error = DataSocket.Accept(ListenSocket, Wait);
        if (error != 0) break;
        sockaddr_storage peer{};
        // Only the server may deliver the data; anyone else who finds the port is turned away.
        if (!knowServer || (DataSocket.PeerAddress(peer) && SameHost(peer, server))) break;
        DebugHost("Data connection from %s refused", AddressText(peer).constData());
        DataSocket.Close();
    }
    StopTimeOut();
    ListenSocket.Close();
    if (error != 0) {
        LastError = error;
        ReportWSAError();
        DataSocket.Close();
        return false;
    }
    return true;
}
