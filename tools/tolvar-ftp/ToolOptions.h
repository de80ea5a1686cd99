#pragma once

#include <QString>
#include <QStringList>

// What the command line of tolvar-ftp asks for.
struct TToolOptions {
    enum class TAction { None, List, Get, Put, HttpGet };
    TAction Action = TAction::None;
    QString Url;
    QString LocalFile;
    bool Passive = false;
    bool Resume = false;
    bool Ascii = false;
    bool Log = false;
    bool Debug = false;
    int TimeOutSeconds = -1;
    int Retries = -1;
    int RetryDelaySeconds = -1;
};

// Empty on success, else the usage problem.
QString ParseToolOptions(const QStringList& arguments, TToolOptions& options);
QString ToolUsage();
