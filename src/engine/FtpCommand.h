#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <memory>

// The commands a session's worker thread runs, one at a time, in queue order.
enum class TFTPCommand : uint8_t {
    None = 0,
    FirewallLogin = 1,
    Login = 2,
    Logout = 3,
    GetCurrentFolder = 4,
    SetCurrentFolder = 5,
    List = 6,
    Download = 7,
    Upload = 8,
    ResumeDownload = 9,
    ResumeUpload = 10,
    Delete = 11,
    Rename = 12,
    CreateFolder = 13,
    RemoveFolder = 14,
    NoOp = 15,
    SetType = 16,
    ChangeAttributes = 17,
    GetHTTP = 18,
};

constexpr int FTPCommandCount = 19;

const char* CommandDisplayName(TFTPCommand command);

// One queued command. Parameters are bytes: remote names travel exactly as the
// server wrote them.
struct TCommandItem {
    TFTPCommand Command = TFTPCommand::None;
    // Given by AddCommand, counting from 1 per session; reported back on completion.
    uint64_t Id = 0;
    bool KeepItem = false;
    // Dropped by an abort: the worker reports it as aborted instead of running it.
    bool Dropped = false;
    QList<QByteArray> Params;

    // A position beyond the list reads as empty text (1-based, as commands number them).
    QByteArray Param(int position) const;
    // Empty or non-numeric text reads as 0.
    int64_t NumberParam(int position) const;
};

using TCommandItemPtr = std::unique_ptr<TCommandItem>;
