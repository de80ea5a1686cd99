#pragma once

#include <QString>

#include <stdexcept>

// Error numbers keep the classic WinSock values: log lines, error notifications and
// stored expectations of users all speak them.
enum : int {
    WSAEINTR_ = 10004,
    WSAEBADF_ = 10009,
    WSAEACCES_ = 10013,
    WSAEINVAL_ = 10022,
    WSAEMFILE_ = 10024,
    WSAENOTSOCK_ = 10038,
    WSAEADDRINUSE_ = 10048,
    WSAEADDRNOTAVAIL_ = 10049,
    WSAENETDOWN_ = 10050,
    WSAENETUNREACH_ = 10051,
    WSAECONNABORTED_ = 10053,
    WSAECONNRESET_ = 10054,
    WSAENOBUFS_ = 10055,
    WSAENOTCONN_ = 10057,
    WSAETIMEDOUT_ = 10060,
    WSAECONNREFUSED_ = 10061,
    WSAEHOSTDOWN_ = 10064,
    WSAEHOSTUNREACH_ = 10065,
    WSAHOST_NOT_FOUND_ = 11001,
    WSATRY_AGAIN_ = 11002,
    WSANO_RECOVERY_ = 11003,
    WSANO_DATA_ = 11004,
};

QString WSAErrorText(int code);
int WSAErrorFromErrno(int err);
int WSAErrorFromAddrInfo(int gaiError);

class ESocketException : public std::runtime_error {
public:
    ESocketException(const QString& message, int errorCode)
        : std::runtime_error(message.toStdString()), ErrorCode(errorCode), Message(message) {}
    int ErrorCode;
    QString Message;
};

class EControlSocketException : public ESocketException {
public:
    using ESocketException::ESocketException;
};

class EDataSocketException : public ESocketException {
public:
    using ESocketException::ESocketException;
};

// A local file that cannot be created, read or written.
class EStreamError : public std::runtime_error {
public:
    explicit EStreamError(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    QString Message;
};
