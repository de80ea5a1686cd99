#include "startup/CommandLine.h"

#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

// Letters that take a value.
bool TakesValue(QChar letter) {
    return QStringLiteral("cinuaplhrs").contains(letter);
}

// The switch letter of an argument, or a null char when it is none. Sets `joined` when
// the value follows in the same argument.
QChar SwitchLetter(const QString& arg, bool& joined) {
    joined = false;
    if (arg.size() < 2 || (arg[0] != u'-' && arg[0] != u'/')) return {};
    // The host switch is lower case only; "-C" is no switch at all.
    const QChar letter = arg[1] == u'C' ? QChar() : arg[1].toLower();
    if (letter.isNull() || !QStringLiteral("?icnduaplhrsx").contains(letter)) return {};
    if (arg.size() > 2) {
        // A joined "/..." is a path, not a switch.
        if (arg[0] == u'/') return {};
        joined = TakesValue(letter);
    }
    return letter;
}

bool IsServerSwitch(const QString& arg) {
    if (arg.size() < 2 || (arg[0] != u'-' && arg[0] != u'/')) return false;
    const QString word = arg.mid(1).toLower();
    return word == u"automation" || word == u"embedding" || word == u"regserver" ||
           word == u"unregserver";
}

QStringList SplitList(const QString& value) {
    QStringList items;
    for (const QString& item : value.split(u';'))
        if (!item.trimmed().isEmpty()) items.append(item);
    return items;
}

QString Absolute(const QString& base, const QString& path) {
    return QDir::cleanPath(QDir(base).absoluteFilePath(path));
}

// Only regular files are sent: reading a FIFO or a device would hang or never end.
bool CheckSendable(const QString& path, QString& error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        error = QStringLiteral("Cannot send \"%1\": no such file.").arg(path);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = QStringLiteral("Cannot send \"%1\": it is a folder.").arg(path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = QStringLiteral("Cannot send \"%1\": it is not a regular file.").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool TCommandLine::HasTransferSwitches() const {
    return !Host.isEmpty() || !User.isEmpty() || HasPassword || !Account.isEmpty() ||
           !LocalFolder.isEmpty() || !HostFolder.isEmpty() || !Receive.isEmpty() ||
           !Send.isEmpty() || ExitWhenDone || !Urls.isEmpty();
}

bool SplitHostPort(const QString& text, QString& host, int& port, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error) *error = reason;
        return false;
    };
    QString portText;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return fail(QStringLiteral("The host \"%1\" lacks its closing \"]\".").arg(text));
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return fail(QStringLiteral("Unexpected text after \"]\" in \"%1\".").arg(text));
        if (rest.isEmpty()) {
            port = 21;
            return true;
        }
        portText = rest.mid(1);
    } else {
        const qsizetype colon = text.indexOf(u':');
        // Two colons or more without brackets: an IPv6 address alone.
        if (colon < 0 || text.indexOf(u':', colon + 1) >= 0) {
            host = text;
            port = 21;
            return true;
        }
        host = text.left(colon);
        portText = text.mid(colon + 1);
    }
    bool ok = false;
    const int value = portText.toInt(&ok);
    if (!ok || value < 1 || value > 65535)
        return fail(QStringLiteral("The port \"%1\" of \"%2\" is not a number from 1 to 65535.")
                        .arg(portText, text));
    port = value;
    return true;
}

TCommandLine ParseCommandLine(const QStringList& arguments, const QString& currentFolder) {
    TCommandLine result;
    QStringList send;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments[i].trimmed();
        if (arg.isEmpty()) continue;
        if (arg == u"--help") {
            result.Usage = true;
            continue;
        }
        if (IsServerSwitch(arg)) {
            result.ServerSwitches.append(arg);
            continue;
        }
        bool joined = false;
        const QChar letter = SwitchLetter(arg, joined);
        if (letter.isNull()) {
            if (arg.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
                result.Urls.append(arg);
            else
                result.SwitchErrors.append(QStringLiteral("Unknown argument \"%1\".").arg(arg));
            continue;
        }
        QString value;
        int valueIndex = i;
        if (joined) {
            value = arg.mid(2).trimmed();
        } else if (TakesValue(letter)) {
            if (i + 1 >= arguments.size()) {
                result.SwitchErrors.append(QStringLiteral("The switch %1 needs a value.").arg(arg));
                continue;
            }
            valueIndex = ++i;
            value = arguments[i].trimmed();
        }
        switch (letter.unicode()) {
        case u'?':
            result.Usage = true;
            break;
        case u'd':
            result.Debug = true;
            break;
        case u'x':
            result.ExitWhenDone = true;
            break;
        case u'i':
            result.SettingsPath = value.isEmpty() ? value : Absolute(currentFolder, value);
            break;
        case u'n':
            result.SitesPath = value.isEmpty() ? value : Absolute(currentFolder, value);
            break;
        case u'u':
            result.User = value;
            break;
        case u'p':
            result.Password = value;
            result.HasPassword = true;
            result.PasswordArguments.append(valueIndex);
            break;
        case u'a':
            result.Account = value;
            break;
        case u'l':
            result.LocalFolder = value.isEmpty() ? value : Absolute(currentFolder, value);
            break;
        case u'h':
            result.HostFolder = value;
            break;
        case u'r':
            result.Receive += SplitList(value);
            break;
        case u's':
            send += SplitList(value);
            break;
        case u'c': {
            QString host, error;
            int port = 21;
            if (!SplitHostPort(value, host, port, &error)) {
                result.Errors.append(error);
            } else {
                result.Host = host;
                result.Port = port;
            }
            break;
        }
        default:
            break;
        }
    }
    // Resolved after the walk, since -l may follow -s.
    for (const QString& item : send) {
        const QString base = !item.contains(u'/') && !result.LocalFolder.isEmpty()
                                 ? result.LocalFolder
                                 : currentFolder;
        const QString path = Absolute(base, item);
        QString error;
        if (CheckSendable(path, error))
            result.Send.append(path);
        else
            result.Errors.append(error);
    }
    return result;
}

QString CommandLineUsageText() {
    return QStringLiteral(
        "tolvar [-c host[:port]]\n"
        "       [-u user name]\n"
        "       [-p password]\n"
        "       [-a account]\n"
        "       [-l [folder]]\n"
        "       [-h [folder]]\n"
        "       [-r [folder/]filename[;[folder/]filename...]]\n"
        "       [-s [folder/]filename[;[folder/]filename...]]\n"
        "       [-x]\n"
        "       [-i [folder/]filename]\n"
        "       [-n [folder/]filename]\n"
        "       [ftp://URL]\n"
        "\n"
        "-c - Host name or IP address ([address]:port for IPv6)\n"
        "-u - User name (anonymous when none is given)\n"
        "-p - Password\n"
        "-a - Account\n"
        "-l - Local folder\n"
        "-h - Host folder\n"
        "-r - Files to receive (names with * or ? are chosen after listing)\n"
        "-s - Files to send\n"
        "-x - Exit when done transferring\n"
        "-i - Path to settings (.ini) file\n"
        "-n - Path to sites listing (.ini) file\n"
        "\n"
        "A value follows its switch directly (-csomehost:2121) or as the next argument.\n"
        "\"/\" can replace \"-\" when the switch stands alone (/c somehost).\n"
        "Other local users can see -p for a moment while the program starts;\n"
        "a site with a stored password is safer.");
}

void BlankPasswordArguments(int argc, char** argv) {
    if (argc < 2 || !argv) return;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Found the way the program reads them; the folder only matters to -s and -l.
    for (int index : ParseCommandLine(arguments, QDir::currentPath()).PasswordArguments)
        BlankArgument(argv[index + 1]);
}
