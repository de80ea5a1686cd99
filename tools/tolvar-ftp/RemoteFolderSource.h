#pragma once

#include "ToolContext.h"

#include "engine/FtpComponent.h"
#include "listing/RemoteItem.h"
#include "transfer/QueueBuilder.h"

#include <QHash>

#include <functional>
#include <memory>
#include <vector>

// A server entry as a walk sees it: a link is named without its target, and one whose
// target looks like a folder is a folder (so that walks refuse to follow it).
TWalkEntry WalkEntryFromListing(const TRemoteListEntry& entry);

// A server as the command line walks it: a browsing session of its own, each folder
// listed afresh and awaited in a nested event loop, never longer than the time-out.
class TRemoteFolderSource : public IFolderSource {
public:
    TRemoteFolderSource(const TSplitURL& url, const TToolContext& context,
                        const TSessionSecurity& security, bool passive, bool listHidden);
    ~TRemoteFolderSource() override;

    // Logs in and waits; empty on success, else why not.
    QString LogIn();
    bool ResumeSupported() const { return Ftp_->ResumeSupported(); }

    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override;
    char Separator() const override { return '/'; }

    // The session's log lines, for --log.
    std::function<void(const QString& line)> OnLog;

private:
    // Runs until `done` is set, the session drops or the time-out passes.
    void Wait(const bool& done);
    void LogOut();

    QObject Owner_;
    std::unique_ptr<TFTPComponent> Ftp_;
    bool UseFirewall_ = false;
    QByteArray ListArgument_;
    // The command being awaited and what came of it.
    TFTPCommand AwaitedCommand_ = TFTPCommand::None;
    uint64_t AwaitedId_ = 0;
    bool Done_ = false;
    bool Ok_ = false;
    TRemoteItemList Items_;
    QString Problem_;
    QString CertificateProblem_;
};
