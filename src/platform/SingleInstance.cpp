#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <pwd.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr char Magic[] = "TLV1";
constexpr char Ack = 0x06;
// A peer is the same user, but a broken one must not make us hold gigabytes.
constexpr quint32 MaxArguments = 4096;
constexpr quint32 MaxMessageBytes = 4u << 20;
constexpr int ClientTimeoutMs = 5000;

QString UserName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(::getuid());
}

void AppendU32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

QByteArray Encode(char kind, const QStringList& arguments) {
    QByteArray out(Magic, 4);
    out.append(kind);
    AppendU32(out, static_cast<quint32>(arguments.size()));
    for (const QString& arg : arguments) {
        const QByteArray bytes = arg.toUtf8();
        AppendU32(out, static_cast<quint32>(bytes.size()));
        out.append(bytes);
    }
    return out;
}

enum TDecode { dcIncomplete, dcDone, dcBad };

TDecode Decode(const QByteArray& in, char& kind, QStringList& arguments) {
    if (in.size() > qsizetype(MaxMessageBytes)) return dcBad;
    if (in.size() < 9)
        return in.startsWith(QByteArray(Magic, 4).left(in.size())) ? dcIncomplete : dcBad;
    if (!in.startsWith(Magic) || (in[4] != 'P' && in[4] != 'A')) return dcBad;
    kind = in[4];
    const quint32 count = qFromBigEndian<quint32>(in.constData() + 5);
    if (count > MaxArguments) return dcBad;
    arguments.clear();
    qsizetype at = 9;
    for (quint32 i = 0; i < count; ++i) {
        if (in.size() - at < 4) return dcIncomplete;
        const quint32 length = qFromBigEndian<quint32>(in.constData() + at);
        at += 4;
        if (length > MaxMessageBytes) return dcBad;
        if (in.size() - at < qsizetype(length)) return dcIncomplete;
        arguments.append(QString::fromUtf8(in.constData() + at, length));
        at += length;
    }
    return at == in.size() ? dcDone : dcBad;
}

} // namespace

TSingleInstance::TSingleInstance(const QString& runtimeFolder, const QString& programName,
                                 QObject* parent)
    : QObject(parent) {
    QString folder = runtimeFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    QString name = programName;
    if (name.isEmpty()) name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty()) name = QStringLiteral("tolvar");
    SocketPath_ = QDir(folder).filePath(QStringLiteral("%1-%2.socket").arg(name, UserName()));
}

TSingleInstance::~TSingleInstance() {
    // Closing removes the socket file, so the next start does not need to probe.
    if (Server_) Server_->close();
}

bool TSingleInstance::Listening() const {
    return Server_ && Server_->isListening();
}

bool TSingleInstance::Claim() {
    if (Listening()) return true;
    if (!Server_) {
        Server_ = new QLocalServer(this);
        Server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(Server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
    }
    // Listening with access options renames the new socket over an existing file, so
    // whoever holds that file is asked first.
    if (QFileInfo::exists(SocketPath_) || QFileInfo(SocketPath_).isSymLink()) {
        if (Exchange('P', {})) return false;
        // Nobody answers on the socket: a dead instance left it behind.
        QLocalServer::removeServer(SocketPath_);
    }
    return Server_->listen(SocketPath_);
}

bool TSingleInstance::SendToRunning(const QStringList& arguments) {
    return Exchange('A', arguments);
}

bool TSingleInstance::Exchange(char kind, const QStringList& arguments) {
    QLocalSocket socket;
    socket.connectToServer(SocketPath_);
    if (!socket.waitForConnected(AnswerTimeoutMs)) return false;
    socket.write(Encode(kind, arguments));
    const QDeadlineTimer deadline(AnswerTimeoutMs);
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
        if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) break;
    while (socket.bytesAvailable() < 1 && !deadline.hasExpired())
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) break;
    char answer = 0;
    const bool ok = socket.read(&answer, 1) == 1 && answer == Ack;
    socket.abort();
    return ok;
}

void TSingleInstance::Accept() {
    while (QLocalSocket* socket = Server_->nextPendingConnection()) {
        socket->setParent(this);
        // A client that never finishes its message must not stay forever.
        QTimer::singleShot(ClientTimeoutMs, socket, &QLocalSocket::abort);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadClient(socket); });
        if (socket->bytesAvailable() > 0) ReadClient(socket);
    }
}

void TSingleInstance::ReadClient(QLocalSocket* socket) {
    QByteArray buffer = socket->property("tolvarBuffer").toByteArray();
    buffer += socket->readAll();
    char kind = 0;
    QStringList arguments;
    switch (Decode(buffer, kind, arguments)) {
    case dcIncomplete:
        socket->setProperty("tolvarBuffer", buffer);
        return;
    case dcBad:
        socket->abort();
        return;
    case dcDone:
        break;
    }
    socket->setProperty("tolvarBuffer", QByteArray());
    socket->write(&Ack, 1);
    socket->flush();
    socket->disconnectFromServer();
    if (kind == 'A') Q_EMIT Request(arguments);
}

void BlankArgument(char* argument) {
    if (argument) std::memset(argument, 'x', std::strlen(argument));
}
