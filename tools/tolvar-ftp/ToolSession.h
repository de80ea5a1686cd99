#pragma once

#include "ToolContext.h"
#include "ToolOptions.h"

#include "engine/FtpComponent.h"
#include "listing/FtpUtils.h"
#include "listing/RemoteItem.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

// Drives one session the way a window does: log in, queue each step once the one
// before it has completed, then log out. The process exit code comes out of Run().
class TToolSession : public QObject {
public:
    TToolSession(const TToolOptions& options, const TSplitURL& url, const TToolContext& context);
    ~TToolSession() override;
    // Starts the work; the event loop ends with QCoreApplication::exit(code).
    void Start();

private:
    struct TStep {
        TFTPCommand Awaited;
        std::function<void()> Issue;
        // Runs once the awaited command has succeeded; may add steps.
        std::function<void()> Done;
        // A failure only leaves what the command would have given empty.
        bool MayFail = false;
    };

    void AttachHandlers();
    void PlanSteps();
    // get and put: the destination's state, then the transfer the rule allows.
    void PlanTransfer(bool upload);
    void DecideTransfer(bool upload);
    void RunNextStep();
    void Completed(TFTPCommand command, bool success, bool aborted);
    void Fail(const QString& reason);
    void Finish(int exitCode);
    QByteArray RemoteFolder() const { return Url.FolderPath.toUtf8(); }
    QByteArray RemotePath() const;
    int TransferType() const { return Options.Ascii ? 1 : 2; }

    TToolOptions Options;
    TSplitURL Url;
    bool UseFirewall = false;
    TSettings Settings;
    std::unique_ptr<TFTPComponent> Ftp;
    QList<TStep> Steps;
    TFTPCommand Awaited = TFTPCommand::None;
    TRemoteItemList Listing;
    QString LastProblem;
    QString CertificateProblem;
    QString HttpProblem;
    int ExitCode = 0;
    bool Finishing = false;
    bool RestartedFromZero = false;
};
