#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running program per user: the first start listens on a local socket in the user's
// runtime folder, named after the executable and the user and open to that user only;
// a later start hands its arguments over that socket and ends. A socket file left by a
// killed program (nobody accepts, or nobody answers within a second) is replaced.
//
// Messages: "TLV1", a kind byte ('P' probe, 'A' arguments), a 32-bit big-endian count,
// then per argument a 32-bit big-endian length and its UTF-8 bytes. The answer is one
// byte, 0x06.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // An empty folder means the user's runtime folder; an empty name the executable's
    // file name.
    explicit TSingleInstance(const QString& runtimeFolder = QString(),
                             const QString& programName = QString(), QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this process is the first and now listens. False when another instance
    // answered, or when no socket could be made; SendToRunning then fails as well, so
    // `if (!Claim() && SendToRunning(args)) return 1;` goes on unguarded after an error.
    bool Claim();
    bool Listening() const;
    // Hands the arguments to the running instance; true once it acknowledged them.
    // Blocks for a few seconds at most.
    bool SendToRunning(const QStringList& arguments);
    QString SocketPath() const { return SocketPath_; }

    // How long a peer may take to accept or answer.
    static constexpr int AnswerTimeoutMs = 1000;

Q_SIGNALS:
    // A later start's arguments (without its program name); the window comes forward.
    void Request(const QStringList& arguments);

private:
    bool Exchange(char kind, const QStringList& arguments);
    void Accept();
    void ReadClient(QLocalSocket* socket);

    QString SocketPath_;
    QLocalServer* Server_ = nullptr;
};

// Overwrites an argument's bytes in place (same length), e.g. a password in argv that
// other users could read from the process list.
void BlankArgument(char* argument);
