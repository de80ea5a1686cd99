#include "ToolOptions.h"

#include "engine/Tls.h"
#include "settings/Settings.h"

namespace {

bool ReadText(const QStringList& args, qsizetype& i, const QString& name, QString& value,
              QString& problem) {
    if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) {
        problem = name + QStringLiteral(" needs a value");
        return false;
    }
    value = args.at(++i);
    return true;
}

bool ReadCount(const QStringList& args, qsizetype& i, const QString& name, int& value,
               QString& problem) {
    if (i + 1 >= args.size()) {
        problem = name + QStringLiteral(" needs a number");
        return false;
    }
    bool ok = false;
    value = args.at(++i).toInt(&ok);
    if (!ok || value < 0) {
        problem = name + QStringLiteral(" needs a number of 0 or more");
        return false;
    }
    return true;
}

} // namespace

QString ToolUsage() {
    return QStringLiteral(
        "usage: tolvar-ftp [options] ls URL\n"
        "       tolvar-ftp [options] get URL LOCALFILE\n"
        "       tolvar-ftp [options] put LOCALFILE URL\n"
        "       tolvar-ftp [options] http-get URL LOCALFILE\n"
        "       tolvar-ftp [options] mget [-r] URL... LOCALDIR\n"
        "       tolvar-ftp [options] mput [-r] LOCALFILE... URL/\n"
        "       tolvar-ftp --queue FILE [options] resume\n"
        "  URL: ftp://[user[:password]@]host[:port]/path (anonymous without a user);\n"
        "       with --site, a plain path on that site's server (\"/pub/\")\n"
        "options:\n"
        "  -r, --recursive        mget: folder URLs (ending in /) and mput: local folders\n"
        "                         are copied with all they hold into the target folder;\n"
        "                         links to folders are not followed, and only regular\n"
        "                         files are sent\n"
        "  --parallel N           mget and mput: transfer N files at once, each over its\n"
        "                         own connection (1 to 10, default 1)\n"
        "  --queue FILE           mget and mput keep their pending files in FILE while\n"
        "                         they run; after an interruption, resume goes on with\n"
        "                         them (downloads from the length already received)\n"
        "  --overwrite            replace existing destination files\n"
        "  --resume               go on from an existing destination file's length when\n"
        "                         the source is longer (binary, a server that resumes)\n"
        "  --newer                replace an existing file only from a newer source\n"
        "                         (with --resume: resume it only then)\n"
        "                         Without these, get, put, mget and mput skip existing\n"
        "                         destination files with a message.\n"
        "  --passive              passive data connections (PASV)\n"
        "  --active               active data connections (PORT), whatever the\n"
        "                         settings say\n"
        "  --timeout SECONDS      limit of one wait without progress (default 120)\n"
        "  --retries N            connection attempts, 0 = no limit (default 3)\n"
        "  --retry-delay SECONDS  pause between attempts (default 5)\n"
        "  --ascii                ASCII transfer type (default binary)\n"
        "  --tls                  explicit FTPS (AUTH TLS), required; ftps:// URLs are\n"
        "                         implicit FTPS (port 990)\n"
        "  --trust-fingerprint FP take the server certificate with this SHA-256\n"
        "                         fingerprint (as openssl x509 -fingerprint -sha256\n"
        "                         prints it; colons and case optional) even when no\n"
        "                         trusted authority vouches for it\n"
        "  --insecure             take any server certificate (never the default)\n"
        "  --log                  the session's log lines on standard error\n"
        "  --debug                write the debug log\n"
        "  --settings FILE        the settings file (default: the program's)\n"
        "  --sites FILE           the site list (default: the program's Sites.ini)\n"
        "  --site NAME            connect with that site's host, log-in and folder\n"
        "exit status: 0 all done; 1 a failure; 2 an existing file was skipped, or a\n"
        "usage error\n");
}

QString ParseToolOptions(const QStringList& args, TToolOptions& options) {
    QStringList words;
    QString problem;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--passive"))
            options.Passive = true;
        else if (a == QLatin1String("--active"))
            options.Active = true;
        else if (a == QLatin1String("--resume"))
            options.Resume = true;
        else if (a == QLatin1String("--overwrite"))
            options.Overwrite = true;
        else if (a == QLatin1String("--newer"))
            options.Newer = true;
        else if (a == QLatin1String("-r") || a == QLatin1String("--recursive"))
            options.Recursive = true;
        else if (a == QLatin1String("--ascii"))
            options.Ascii = true;
        else if (a == QLatin1String("--log"))
            options.Log = true;
        else if (a == QLatin1String("--debug"))
            options.Debug = true;
        else if (a == QLatin1String("--tls"))
            options.Tls = true;
        else if (a == QLatin1String("--insecure"))
            options.Insecure = true;
        else if (a == QLatin1String("--trust-fingerprint")) {
            QString fingerprint;
            if (!ReadText(args, i, a, fingerprint, problem)) return problem;
            if (NormalizedFingerprint(fingerprint.toLatin1()).isEmpty())
                return a +
                       QStringLiteral(" needs a SHA-256 fingerprint (64 hex digits, colons "
                                      "optional): ") +
                       fingerprint;
            options.TrustFingerprints.append(fingerprint);
        } else if (a == QLatin1String("--timeout")) {
            if (!ReadCount(args, i, a, options.TimeOutSeconds, problem)) return problem;
        } else if (a == QLatin1String("--queue")) {
            if (!ReadText(args, i, a, options.QueueFile, problem)) return problem;
        } else if (a == QLatin1String("--parallel")) {
            if (!ReadCount(args, i, a, options.Parallel, problem)) return problem;
            if (options.Parallel < 1 || options.Parallel > MaxSimultaneous)
                return a + QStringLiteral(" needs a number from 1 to %1").arg(MaxSimultaneous);
        } else if (a == QLatin1String("--retries")) {
            if (!ReadCount(args, i, a, options.Retries, problem)) return problem;
        } else if (a == QLatin1String("--retry-delay")) {
            if (!ReadCount(args, i, a, options.RetryDelaySeconds, problem)) return problem;
        } else if (a == QLatin1String("--settings")) {
            if (!ReadText(args, i, a, options.SettingsFile, problem)) return problem;
        } else if (a == QLatin1String("--sites")) {
            if (!ReadText(args, i, a, options.SitesFile, problem)) return problem;
        } else if (a == QLatin1String("--site")) {
            if (!ReadText(args, i, a, options.SiteName, problem)) return problem;
        } else if (a.startsWith(QLatin1String("--")))
            return QStringLiteral("unknown option ") + a;
        else
            words.append(a);
    }
    if (words.isEmpty()) return QStringLiteral("no command given");
    if (options.Overwrite && options.Resume)
        return QStringLiteral("--overwrite and --resume exclude each other");
    const QString command = words.takeFirst();
    using A = TToolOptions::TAction;
    if (command == QLatin1String("ls") && words.size() == 1) {
        options.Action = A::List;
        options.Url = words.at(0);
    } else if ((command == QLatin1String("get") || command == QLatin1String("http-get")) &&
               words.size() == 2) {
        options.Action = command == QLatin1String("get") ? A::Get : A::HttpGet;
        options.Url = words.at(0);
        options.LocalFile = words.at(1);
    } else if (command == QLatin1String("put") && words.size() == 2) {
        options.Action = A::Put;
        options.LocalFile = words.at(0);
        options.Url = words.at(1);
    } else if (command == QLatin1String("resume") && words.isEmpty()) {
        options.Action = A::Resume;
        if (options.QueueFile.isEmpty()) return QStringLiteral("resume needs --queue FILE");
    } else if ((command == QLatin1String("mget") || command == QLatin1String("mput")) &&
               words.size() >= 2) {
        options.Action = command == QLatin1String("mget") ? A::MGet : A::MPut;
        options.Target = words.takeLast();
        options.Sources = words;
    } else {
        return QStringLiteral("unknown command or wrong number of arguments: ") + command;
    }
    if (options.Recursive && options.Action != A::MGet && options.Action != A::MPut)
        return QStringLiteral("-r is for mget and mput");
    if (options.Parallel != 1 && options.Action != A::MGet && options.Action != A::MPut &&
        options.Action != A::Resume)
        return QStringLiteral("--parallel is for mget and mput");
    return QString();
}
