#include "engine/FtpCommand.h"

namespace {
const char* const DisplayNames[FTPCommandCount] = {
    "None",           "FirewallLogin",    "Login",
    "Logout",         "GetCurrentFolder", "SetCurrentFolder",
    "List",           "Download",         "Upload",
    "ResumeDownload", "ResumeUpload",     "Delete",
    "Rename",         "CreateFolder",     "RemoveFolder",
    "NoOp",           "SetType",          "ChangeAttributes",
    "Get HTTP",
};
} // namespace

const char* CommandDisplayName(TFTPCommand command) {
    const auto index = static_cast<unsigned>(command);
    return index < FTPCommandCount ? DisplayNames[index] : "Unknown";
}

QByteArray TCommandItem::Param(int position) const {
    return position >= 1 && position <= Params.size() ? Params.at(position - 1) : QByteArray();
}

int64_t TCommandItem::NumberParam(int position) const {
    bool ok = false;
    const qlonglong value = Param(position).trimmed().toLongLong(&ok);
    return ok ? value : 0;
}
