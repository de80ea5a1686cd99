#pragma once

#include <QByteArray>
#include <QStringList>

// A program run to its end with both outputs captured; killed after the time-out.
struct TProgramRun {
    int ExitCode = -1; // -1: it did not start or did not end in time
    QByteArray Out;
    QByteArray Err;
};

// The input, written before the outputs are read, must fit a pipe (64 KiB). posix_spawn
// rather than QProcess: ThreadSanitizer's runtime trips over QProcess's clone.
TProgramRun RunProgram(const QString& program, const QStringList& arguments,
                       const QByteArray& input = {}, int timeoutMs = 60000);
