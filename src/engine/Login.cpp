#include "engine/FtpThread.h"

#include "engine/SocketErrors.h"
#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"
#include "listing/ServerTypes.h"

#include <QByteArrayList>

#include <algorithm>

#include <cerrno>

#include <poll.h>

namespace {

struct TServerTypeXRef {
    const char* Pattern;
    uint8_t Type;
};

// Greeting lines, as received.
const TServerTypeXRef GreetingTypes[] = {
    {"WAR-FTPD", 48},
    {" MUSIC/SP", 50},
    {"Spartacus KNET", 30},
    {"- qnx -", 47},
    {"(UniTree", 46},
    {"NetWare v4", 36},
    {"Serv-U FTP", 34},
    {" WFTPD ", 35},
    {"HellSoft", 42},
    {"Novell LAN W", 9},
    {"(EXOS", 10},
    {"(XElink", 44},
    {"VersaTerm ", 41},
    {"KNET/MVS", 25},
    {"RSX", 20},
    {"N1BEE", 6},
    {"IBM OS/2 TCP/IP", 4},
    {" OS-9 ", 22},
    {"GCOS", 24},
    {"BULL", 24},
    {"Amiga ", 26},
    {"JNOS", 6},
    {"Rational FTP", 28},
    {"CP-6 FTP", 29},
    {"DOS FTP Server 3.", 39},
    {"IBM TCP/IP for OS/2 - FTP", 49},
};

// SYST reply lines: the first nine as received, the rest against the lower-case line. z/OS,
// IBM i and OS/2 name themselves in words that come before the older rows for them.
constexpr int SystCaseSensitiveRows = 9;
const TServerTypeXRef SystTypes[] = {
    {"215 MPE/iX", 33},
    {" MUSIC/SP", 50},
    {"WAR-FTPD", 48},
    {"RSX", 20},
    {"UniTree", 46},
    {"NetWare v4", 36},
    {" PRIMOS ", 44},
    {"VersaTerm ", 41},
    {"HellSoft", 42},
    {"windows_nt", 17},
    {" pc ", 23},
    {"macos peter", 16},
    {"os/2", 55},
    {"os/2 operating", 4},
    {"ultrix", 11},
    {"unix", 11},
    {"mvs is the operating system", 53},
    {"mvs", 19},
    {"qvt/net 4", 40},
    {"qvt", 14},
    {"ncsa", 7},
    {"chameleon", 2},
    {"netmanage", 2},
    {"windows [multinet", 38},
    {"vms", 13},
    {"multinet", 12},
    {"os/400 is the remote operating system", 54},
    {"os/400", 18},
    {" mts sys", 4},
    {" vm ", 5},
    {" vm/esa", 5},
    {" vm/cms", 5},
    {"vos", 32},
    {"m28", 32},
    {"tandem", 31},
    {"dos ftp server 3.", 39},
};

// HELP reply lines, as received.
const TServerTypeXRef HelpTypes[] = {
    {"NCSA", 7}, {"CUTCP", 7}, {"MACB", 15}, {"HellSoft", 42}, {"214-PC FTP server", 14},
    {"QVT", 14},
};

template <size_t N>
int MatchType(const QByteArray& line, const TServerTypeXRef (&table)[N], int caseSensitiveRows) {
    const QByteArray lower = line.toLower();
    for (size_t row = 0; row < N; ++row) {
        const QByteArray& text = static_cast<int>(row) < caseSensitiveRows ? line : lower;
        if (text.contains(table[row].Pattern)) {
            // "VMS" servers that also say "MultiNet" are MultiNet's.
            if (table[row].Type == 13 && row + 1 < N && text.contains(table[row + 1].Pattern))
                return 12;
            return table[row].Type;
        }
    }
    return 0;
}

struct TFirewallData {
    bool LoginFirst;
    const char* FirstCommand; // with the target, or none
    bool UserAtTarget;        // "USER user@target" rather than "USER user"
};

const TFirewallData FirewallKinds[4] = {
    {true, "SITE ", false},
    {false, "OPEN ", false},
    {true, nullptr, true},
    {false, nullptr, true},
};

// Refusals that ask for TLS: "530 Must use encryption", "534 Policy requires SSL",
// "530 Non-anonymous sessions must use encryption".
bool AsksForEncryption(const QByteArray& reply) {
    const QByteArray text = reply.toLower();
    for (const char* word : {"tls", "ssl", "encrypt", "secure"})
        if (text.contains(word)) return true;
    return false;
}

} // namespace

void TFTPThread::SendPassword(const QByteArray& password) {
    Quiet = true;
    try {
        SendCommand("PASS " + password);
    } catch (...) {
        Quiet = false;
        throw;
    }
    Quiet = false;
    Log(QStringLiteral("PASS xxxxx"), EngineSettings().LogColorCommand);
}

bool TFTPThread::HostLogin(const QByteArray& user, const QByteArray& password,
                           const QByteArray& account, bool readGreeting) {
    DebugHost("Logging in...");
    if (readGreeting) {
        if (user.isEmpty())
            throw EControlSocketException(QStringLiteral("Failed to Log in to Host"), 0);
        CapturedLines.emplace();
        RepliesNeeded = 1;
        try {
            if (GetReplyClass() != 2)
                throw EControlSocketException(QStringLiteral("Failed to Connect"), 0);
            if (Shared->ServerType == 0) {
                for (const QByteArray& line : *CapturedLines) {
                    const int type = MatchType(line, GreetingTypes, std::size(GreetingTypes));
                    if (type != 0) {
                        Shared->ServerType = static_cast<uint8_t>(type);
                        break;
                    }
                }
            }
        } catch (...) {
            CapturedLines.reset();
            throw;
        }
        CapturedLines.reset();
        Notify(TNotificationCode::Connect);
        if (Encryption == TEncryption::ExplicitIfOffered ||
            Encryption == TEncryption::ExplicitRequired)
            NegotiateExplicitTls();
        SendCommand("USER " + user);
    } else {
        Notify(TNotificationCode::Connect);
    }
    int replyClass = GetReplyClass();
    if (replyClass == 3 && ReplyCode == 332) {
        SendCommand("ACCT " + account);
        replyClass = GetReplyClass();
    }
    if (replyClass == 3 && ReplyCode == 331) {
        SendPassword(password);
        replyClass = GetReplyClass();
    }
    if (replyClass == 3 && ReplyCode == 332) {
        SendCommand("ACCT " + account);
        replyClass = GetReplyClass();
    }
    if (replyClass == 2) return true;
    throw EControlSocketException(QStringLiteral("Failed to Log in to Host"), 0);
}

bool TFTPThread::FirewallLoginSteps(int firewallType, const QByteArray& firewallUser,
                                    const QByteArray& firewallPassword, const QByteArray& host,
                                    const QByteArray& portText, const QByteArray& user,
                                    const QByteArray& password, const QByteArray& account) {
    DebugHost("Logging in to Firewall...");
    RepliesNeeded = 1;
    if (GetReplyClass() != 2) throw EControlSocketException(QStringLiteral("Failed to Connect"), 0);

    const TFirewallData& row =
        FirewallKinds[firewallType >= 0 && firewallType <= 3 ? firewallType : 0];
    bool ok = false;
    const int port = portText.trimmed().toInt(&ok);
    const QByteArray target = !ok || port == 21 ? host : host + ':' + portText;

    if (row.LoginFirst) {
        SendCommand("USER " + firewallUser);
        int replyClass = GetReplyClass();
        if (replyClass == 3) {
            SendPassword(firewallPassword);
            replyClass = GetReplyClass();
        }
        if (replyClass != 2)
            throw EControlSocketException(QStringLiteral("Failed to Log in to Firewall"), 0);
    }
    if (row.FirstCommand) {
        SendCommand(row.FirstCommand + target);
        if (GetReplyClass() != 2)
            throw EControlSocketException(QStringLiteral("Failed to Log in to Firewall"), 0);
    }
    SendCommand(row.UserAtTarget ? "USER " + user + '@' + target : "USER " + user);
    return HostLogin(QByteArray(), password, account, false);
}

void TFTPThread::DetectServerType() {
    CapturedLines.emplace();
    try {
        SendCommand("SYST");
        if (GetReplyClass() == 2) {
            for (const QByteArray& line : *CapturedLines) {
                if (Shared->ServerType != 0) break;
                Shared->ServerType =
                    static_cast<uint8_t>(MatchType(line, SystTypes, SystCaseSensitiveRows));
            }
        }
        if (Shared->ServerType == 0) {
            Quiet = true;
            SendCommand("HELP");
            if (GetReplyClass() == 2) {
                for (const QByteArray& line : *CapturedLines) {
                    if (Shared->ServerType != 0) break;
                    Shared->ServerType =
                        static_cast<uint8_t>(MatchType(line, HelpTypes, std::size(HelpTypes)));
                }
            }
            Quiet = false;
        }
    } catch (...) {
        Quiet = false;
        CapturedLines.reset();
        throw;
    }
    if (Shared->ServerType == 0) Shared->ServerType = 11;
    CapturedLines.reset();
}

void TFTPThread::LoggedInSteps() {
    if (Shared->ServerType > 1)
        LogInfo(QStringLiteral("\r\nServer Type: ") + ServerTypeText(Shared->ServerType));
    if (Shared->HasOwner) {
        Quiet = true;
        try {
            // Servers refuse REST in ASCII mode (ProFTPD, pyftpdlib), and resuming is only
            // ever done in binary: the probe asks in that mode, then gives the session back
            // the server's default type.
            SendCommand("TYPE I");
            const bool binary = GetReplyClass() == 2;
            SendCommand("REST 1");
            Shared->ResumeSupported = GetReplyClass() == 3;
            SendCommand("REST 0");
            GetReplyClass();
            TypeLetter = binary ? 'I' : 0;
            if (binary) {
                SendCommand("TYPE A");
                TypeLetter = GetReplyClass() == 2 ? 'A' : 0;
            }
        } catch (...) {
            Quiet = false;
            throw;
        }
        Quiet = false;
        LogInfo(Shared->ResumeSupported
                    ? QStringLiteral("\r\nServer can resume broken downloads\r\n")
                    : QStringLiteral("\r\nServer unable to resume broken downloads\r\n"));
    } else {
        Shared->ResumeSupported = true;
    }
    Notify(TNotificationCode::LoggedIn);
}

bool TFTPThread::ConnectionStep(TCommandItem& item, bool again) {
    const bool firewall = item.Command == TFTPCommand::FirewallLogin;
    // Parameters 1 and 2 are where the connection goes: the server, or the firewall.
    const QByteArray connectHost = item.Param(1);
    const QByteArray connectPort = item.Param(2);
    const auto& settings = EngineSettings();
    // Assigned rather than cleared: the folder's bytes may be shared with the window
    // thread, and clear() releases them inside Qt, where ThreadSanitizer cannot see it.
    CurrentFolder = QByteArray();
    TypeLetter = 0;
    LoginHost = connectHost;
    LoginPort = connectPort;
    Encryption =
        static_cast<TEncryption>(std::clamp<int64_t>(item.NumberParam(firewall ? 11 : 6), 0, 3));
    // The firewall's own log-in steps are spoken in clear: a site that requires
    // encryption is not connected through it, rather than sending its password openly.
    if (firewall && Encryption != TEncryption::None) {
        if (Encryption != TEncryption::ExplicitIfOffered) {
            LogError(QStringLiteral("Encrypted connections cannot go through the firewall: "
                                    "turn the firewall off for this site"));
            NotifyDisconnect();
            Notify(TNotificationCode::CantLogIn);
            return false;
        }
        Encryption = TEncryption::None;
    }
    TrustedFingerprints.clear();
    for (const QByteArray& fingerprint : item.Param(7).split(' '))
        if (!NormalizedFingerprint(fingerprint).isEmpty())
            TrustedFingerprints.append(NormalizedFingerprint(fingerprint));
    AcceptAnyCertificate = !firewall && item.Param(8) == "1";

    int attempt = 1;
    bool succeeded = false;
    for (;;) {
        Reader.Clear();
        LogInfo(QStringLiteral("Attempting to connect to %1, attempt %2\r\n")
                    .arg(QString::fromUtf8(connectHost))
                    .arg(attempt));
        bool final = false;
        bool failed = true;
        LoginFinal = false;
        DataTls = false;
        Features.clear();
        if (!ConnectControl(connectHost, connectPort, false)) {
            final = LastError == WSAHOST_NOT_FOUND_ || LastError == WSANO_RECOVERY_ ||
                    LastError == WSAEINVAL_;
        } else if (!Aborted()) {
            try {
                if (firewall) {
                    bool ok = false;
                    int type = item.Param(3).trimmed().toInt(&ok);
                    if (!ok) type = 0;
                    FirewallLoginSteps(type, item.Param(4), item.Param(5), item.Param(6),
                                       item.Param(7), item.Param(8), item.Param(9), item.Param(10));
                } else {
                    if (Encryption == TEncryption::Implicit) StartControlTls();
                    HostLogin(item.Param(3), item.Param(4), item.Param(5), true);
                    if (ControlSocket.Tls()) ProtectDataConnections();
                }
                ReadFeatures();
                failed = false;
            } catch (const EControlSocketException& e) {
                if (!e.Message.isEmpty() && e.ErrorCode != WSAENOTSOCK_) LogError(e.Message);
                // A permanent refusal (530 and the rest of class 5) answers the same every
                // time: only a busy server (421), a time-out or a broken connection is
                // worth another attempt. A plain log-in refused for want of TLS is final
                // too, whether as 5xx or as the 421 and hang-up of pure-ftpd.
                const bool refusal = e.ErrorCode == 0 && ReplyCode >= 500 && ReplyCode < 600;
                const bool wantsTls = e.ErrorCode == 0 && (refusal || ReplyCode == 421) &&
                                      AsksForEncryption(ReplyText) && !ControlSocket.Tls();
                if (LoginFinal || refusal || wantsTls) final = true;
                if (!LoginFinal && wantsTls)
                    LogError(QStringLiteral("The server requires an encrypted connection: choose "
                                            "FTPS (\"Explicit TLS\") for this site"));
            }
        }
        ++attempt;
        const int delay = settings.RetryDelay;
        const int count = settings.RetryCount;
        if (failed && !Aborted() && !final && delay > 0 && (count == 0 || attempt <= count)) {
            LogInfo(QStringLiteral("%1 seconds delay before retrying...").arg(delay));
            for (int sleeps = 0; sleeps < 4 * delay + 1; ++sleeps)
                if (Wait.SleepAbortable(250)) break;
        }
        if (!failed) {
            succeeded = true;
            break;
        }
        if (final || Aborted() || (count > 0 && attempt > count)) break;
    }

    if (succeeded && !Aborted()) {
        LastLogin = item;
        if (again) {
            // The server starts the new connection in its default type.
            if (LastTypeLetter != 0) {
                SendCommand(QByteArray("TYPE ") + LastTypeLetter);
                GetReplyClass();
            }
            return true;
        }
        LastTypeLetter = 0;
        if (Shared->ServerType == 0) DetectServerType();
        LoggedInSteps();
        return true;
    }
    NotifyDisconnect();
    Notify(TNotificationCode::CantLogIn);
    return false;
}

bool TFTPThread::ControlClosedByPeer() {
    // A reply still owed is read first; lines nobody asked for (a "421 Timeout." before
    // the close) are logged and dropped.
    if (RepliesNeeded > 0 || !ControlSocket.IsOpen()) return false;
    for (int chunks = 0; chunks < 16; ++chunks) {
        pollfd check = {ControlSocket.Fd(), POLLIN, 0};
        if (!ControlSocket.HasPending() && ::poll(&check, 1, 0) <= 0) return false;
        char chunk[512];
        const ssize_t received = ControlSocket.Receive(chunk, sizeof chunk);
        if (received == 0) return true;
        if (received < 0) return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
        Reader.Append(chunk, received);
        while (Reader.HasLine())
            Log(DisplayText(Reader.TakeLine()), EngineSettings().LogColorReply);
    }
    return false;
}

bool TFTPThread::ReopenDeadControl() {
    if (!LastLogin || !ControlClosedByPeer()) return false;
    LogInfo(QStringLiteral("The server closed the connection; logging on again."));
    CloseControl();
    Reader.Clear();
    RepliesNeeded = 0;
    TCommandItem login = *LastLogin;
    return ConnectionStep(login, true);
}
