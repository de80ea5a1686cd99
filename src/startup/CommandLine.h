#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The program's switches as read from its arguments. Every switch is one letter after
// "-"; "/" works too, but only as the exact two characters (`/c host`), since a joined
// "/chost" could as well be a path. A value follows the letter in the same argument
// (`-csomehost:2121`, "-" only) or is the whole next argument, which is then consumed
// and never read as a switch itself (`-p -uber` is the password "-uber"). The host
// switch is "-c" in lower case only; every other letter is read in either case.
struct TCommandLine {
    bool Usage = false;   // -? or --help
    QString SettingsPath; // -i
    QString SitesPath;    // -n
    bool Debug = false;   // -d
    QString Host;         // -c host[:port]; [v6-address]:port for IPv6
    int Port = 21;
    QString User;     // -u; empty when not given
    QString Password; // -p
    bool HasPassword = false;
    QString Account;           // -a
    QString LocalFolder;       // -l, absolute; empty when not given
    QString HostFolder;        // -h, as the server names it
    QStringList Receive;       // -r, ";" separated; names or masks (with * or ?)
    QStringList Send;          // -s, ";" separated; absolute paths of regular files
    bool ExitWhenDone = false; // -x
    // Arguments that are no switch but ftp:// URLs (a desktop link hands one over).
    QStringList Urls;
    // The start switches of the automation server ("-Automation", ...), left to it.
    QStringList ServerSwitches;
    // Indexes (in the parsed list) of the arguments that hold a password.
    QList<int> PasswordArguments;
    // One line each for the log: bad ports and refused files.
    QStringList Errors;
    // Unknown arguments and switches without their value: the start that got them says so
    // on standard error and ends, handing nothing to a running window.
    QStringList SwitchErrors;

    // -c, -u, -p, -a, -l, -h, -r, -s or -x, or a URL: something to run, not only start up.
    bool HasTransferSwitches() const;
};

// Parses the arguments without the program name. Relative paths of -l and -s are made
// absolute against `currentFolder`: a name without a folder part given to -s is looked
// for in the -l folder when there is one, like the local pane would show it. -s takes
// regular files (or links to them) only; anything else is reported in Errors and left out.
TCommandLine ParseCommandLine(const QStringList& arguments, const QString& currentFolder);

// Splits "host", "host:port", "[v6]:port" or a bare IPv6 address. False, with the
// reason, when the port is not 1..65535 or the brackets are unbalanced.
bool SplitHostPort(const QString& text, QString& host, int& port, QString* error = nullptr);

// The usage text (-?, --help): every switch with its value and meaning.
QString CommandLineUsageText();

// Overwrites the password given with -p in the process's own argument memory, so that
// other local users listing processes no longer see it. Call after the arguments were
// copied (QCoreApplication::arguments()).
void BlankPasswordArguments(int argc, char** argv);
