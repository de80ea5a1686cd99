#pragma once

#include <QString>
#include <QStringList>

// What the command line of tolvar-ftp asks for.
struct TToolOptions {
    enum class TAction { None, List, Get, Put, HttpGet, MGet, MPut, Resume };
    TAction Action = TAction::None;
    QString Url;
    QString LocalFile;
    // mget: remote URLs and a local folder; mput: local files (and, with Recursive,
    // folders) and a remote folder URL.
    QStringList Sources;
    QString Target;
    // Connection data from the user's stored files; empty paths find them as the
    // program does.
    QString SettingsFile;
    QString SitesFile;
    QString SiteName;
    bool Passive = false;
    bool Active = false; // PORT even where the settings say passive
    // An existing destination file is skipped unless one of these says otherwise.
    bool Resume = false;
    bool Overwrite = false;
    bool Newer = false;
    // mget and mput walk the folders they are given.
    bool Recursive = false;
    // mget and mput: files transferred at once, each over its own connection (1 to 10).
    int Parallel = 1;
    // mget and mput keep their pending items in this queue file; resume goes on with them.
    QString QueueFile;
    bool Ascii = false;
    bool Log = false;
    bool Debug = false;
    int TimeOutSeconds = -1;
    int Retries = -1;
    int RetryDelaySeconds = -1;
    // Explicit FTPS, required (ftps:// URLs mean implicit FTPS).
    bool Tls = false;
    // Certificates the system's authorities do not vouch for: these fingerprints, or any.
    QStringList TrustFingerprints;
    bool Insecure = false;
};

// Empty on success, else the usage problem.
QString ParseToolOptions(const QStringList& arguments, TToolOptions& options);
QString ToolUsage();
