#pragma once

#include <QString>
#include <QStringList>

// The user's options: one record for the whole run, read from the settings file when
// the main window is made and written back on "OK" of the options window and at close.
// The defaults below are those of a missing key.
struct TSettings {
    // "General"
    QString EMail;      // password of anonymous logins; GuestEMail when none is stored
    QString Viewer;     // external text viewer/editor: DefaultViewer()
    QString LogFile;    // DefaultLogFilePath()
    QString DefaultDir; // empty: the process's current folder
    bool LogToFile = false;
    bool ShowToolTips = true;
    bool PinTransferWindow = false;

    // "Advanced"
    bool NoXferOlder = false;
    bool ASCIIOnView = true;
    bool PreserveTimeStamp = true;
    bool ConfirmOverwrites = true;
    bool ListHidden = false;
    bool ConfirmRestarts = true; // written, never read: every start asks again
    int TryToResume = 1;         // 0 none, 1 binary files, 2 all files
    int LocalDblClk = 3;         // 0 properties, 1 view, 2 upload, 3 open
    int HostDblClk = 2;          // 0 properties, 1 view, 2 download, 3 open

    // "Connection"
    bool ShowManager = true;
    bool PromptForPass = true;
    bool KeepAlive = true; // key "Ping"
    bool UsePASV = true;   // passive by default: clients behind NAT cannot take PORT connections
    bool QuickDisconnect = false;
    int RetryDelay = 5; // seconds
    bool InfiniteRetry = false;
    int Retries = 3;
    int Timeout = 120;    // seconds
    int TransferMode = 0; // 0 auto, 1 ASCII, 2 binary, 3 EBCDIC, 4 local
    bool SingleConnectionsOnly = true;
    // Items of one queue transferred at once, each over its own session: 1 to 10.
    int SimultaneousTransfers = 1;

    // "Conversions"
    bool ConversionUseShortName = false;
    int ConversionCase = 0;   // 0 unchanged, 1 lower, 2 upper
    int ConversionSpaces = 0; // 0 leave, 1 remove, 2 replace with ConversionChar
    QString ConversionChar = QStringLiteral("_");

    // "Firewall"
    bool FirewallEnabled = false;
    int FirewallType = 0; // 0 site, 1 proxy, 2 user with login, 3 user without login
    QString FirewallHost;
    int FirewallPort = 21;
    QString FirewallUser;
    QString FirewallPassword; // stored in plain text

    QStringList Sounds;          // SoundCount wave files in SoundKeys order; empty: none
    QStringList ASCIIExtensions; // with their leading dot
    QStringList URLHistory;      // at most MaxURLHistory are written
};

inline constexpr int SoundCount = 6;
enum TSoundEvent {
    seConnectSuccess,
    seConnectFailure,
    seDisconnect,
    seEndOfFile,
    seEndOfTotal,
    seError
};
inline constexpr int MaxURLHistory = 20;
// The most items one queue transfers at once.
inline constexpr int MaxSimultaneous = 10;

// The anonymous password used while the user has given none.
QString GuestEMail();
// The viewer used while none is stored: the desktop's text editor (see the .cpp).
QString DefaultViewer();
// The ASCII extensions used while the "FileTypes" section holds no key.
QStringList DefaultASCIIExtensions();
// The sound keys of the "Sounds" section, in list order.
QStringList SoundKeys();

// The record as a first start sees it (no settings file).
TSettings DefaultSettings();

// Puts the dot in front when missing and adds the extension unless the list holds it
// (without regard to case). False when nothing was added.
bool AddASCIIExtension(QStringList& extensions, const QString& text);
