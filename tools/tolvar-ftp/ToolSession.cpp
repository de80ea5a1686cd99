#include "ToolSession.h"

#include "ExistingRule.h"
#include "JsonEntryWriter.h"
#include "RemoteFolderSource.h"

#include "settings/SessionLogIn.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace {

void PrintError(const QString& text) {
    std::fprintf(stderr, "tolvar-ftp: %s\n", qUtf8Printable(text));
}

// The log pane's text: its line breaks as they are, one entry per line.
void PrintLogLine(const QString& message) {
    QString text = message;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

} // namespace

namespace {
// Files move on sessions without an owner, as the transfer queue's do (they take resume
// for granted and leave without QUIT); listing is a browsing session's work.
bool TransferSession(const TToolOptions& options) {
    using A = TToolOptions::TAction;
    return options.Action == A::Get || options.Action == A::Put || options.Action == A::HttpGet;
}
} // namespace

TToolSession::TToolSession(const TToolOptions& options, const TSplitURL& url,
                           const TToolContext& context)
    : Options(options), Url(url), UseFirewall(context.UseFirewall), Settings(context.Settings),
      Ftp(std::make_unique<TFTPComponent>(TransferSession(options) ? nullptr : this)) {
    Ftp->Host = Url.Host;
    Ftp->Port = Url.Port;
    Ftp->User = Url.User.toUtf8();
    Ftp->Password = Url.Password.toUtf8();
    Ftp->Security = ToolSecurity(options, url);
    if (UseFirewall) SetFirewallFields(*Ftp, context.Settings);
    Ftp->SetPassive(Options.Passive);
    Ftp->SetServerType(0);
    Settings.TransferMode = TransferType();
    AttachHandlers();
}

TToolSession::~TToolSession() = default;

void TToolSession::AttachHandlers() {
    const TColor errorColor = EngineSettings().LogColorError;
    Ftp->OnLog = [this, errorColor](TFTPComponent*, const QString& message, TColor color) {
        if (Options.Log) PrintLogLine(message);
        if (color == errorColor && !message.trimmed().isEmpty()) LastProblem = message.trimmed();
    };
    Ftp->OnError = [this](TFTPComponent*, int code, const QString& description) {
        LastProblem = QStringLiteral("%1 [%2]").arg(description).arg(code);
        if (Options.Action == TToolOptions::TAction::HttpGet && code >= 400)
            HttpProblem = QStringLiteral("HTTP %1 %2").arg(code).arg(description);
    };
    Ftp->OnProcessList = [this](TFTPComponent*, const QByteArray&, TRemoteItemList items,
                                const TNotUnderstoodLines&) { Listing = std::move(items); };
    Ftp->OnUntrustedCertificate = [this](TFTPComponent*, const TCertificateInfo& certificate) {
        CertificateProblem = UntrustedCertificateText(certificate);
    };
    Ftp->OnCommandCompleted = [this](TFTPComponent*, TFTPCommand command, bool success,
                                     bool aborted) { Completed(command, success, aborted); };
    Ftp->OnDisconnect = [this](TFTPComponent*) {
        if (Finishing) QCoreApplication::exit(ExitCode);
    };
}

QByteArray TToolSession::RemotePath() const {
    QString name = Url.FileName;
    if (name.isEmpty()) name = QFileInfo(Options.LocalFile).fileName();
    return (Url.FolderPath + name).toUtf8();
}

void TToolSession::Start() {
    using A = TToolOptions::TAction;
    if (Options.Action == A::HttpGet) {
        Steps.append({TFTPCommand::GetHTTP,
                      [this] { Ftp->GetHTTP(Options.Url, Options.LocalFile); }, nullptr});
    } else {
        if (UseFirewall)
            Steps.append({TFTPCommand::FirewallLogin, [this] { Ftp->FirewallLogin(); },
                          [this] { PlanSteps(); }});
        else
            Steps.append({TFTPCommand::Login, [this] { Ftp->Login(); }, [this] { PlanSteps(); }});
    }
    RunNextStep();
}

void TToolSession::PlanSteps() {
    using A = TToolOptions::TAction;
    const QByteArray folder = RemoteFolder();
    const auto listFolder = [this, folder] {
        if (!folder.isEmpty())
            Steps.append({TFTPCommand::SetCurrentFolder,
                          [this, folder] { Ftp->SetCurrentFolder(folder); }, nullptr});
        Steps.append(
            {TFTPCommand::List, [this, folder] { Ftp->List(folder, QByteArray()); }, nullptr});
    };
    switch (Options.Action) {
    case A::List:
        listFolder();
        Steps.last().Done = [this] {
            TJsonEntryWriter writer(stdout);
            for (const TRemoteListEntry& entry : Listing)
                writer.Write(entry);
        };
        break;
    case A::Get:
        PlanTransfer(false);
        break;
    case A::Put:
        PlanTransfer(true);
        break;
    default:
        break;
    }
}

void TToolSession::PlanTransfer(bool upload) {
    // A download to a new local file has nothing to decide.
    if (!upload && !QFileInfo::exists(Options.LocalFile)) {
        const QByteArray folder = RemoteFolder();
        Steps.append({TFTPCommand::Download,
                      [this, folder] {
                          Ftp->Download(folder, RemotePath(), Options.LocalFile, TransferType());
                      },
                      nullptr});
        return;
    }
    // The folder's listing, as a pane knows it: the remote file's size and date. A
    // folder that cannot be listed leaves them unknown.
    const QByteArray folder = RemoteFolder();
    const QByteArray argument = Settings.ListHidden ? QByteArray("-latr") : QByteArray();
    Steps.append({TFTPCommand::List,
                  [this, folder, argument] {
                      Listing.clear();
                      Ftp->List(folder, argument, folder);
                  },
                  [this, upload] { DecideTransfer(upload); }, true});
}

void TToolSession::DecideTransfer(bool upload) {
    const QByteArray path = RemotePath();
    const QByteArray remoteName = path.mid(path.lastIndexOf('/') + 1);
    std::optional<TWalkEntry> remote;
    for (const TRemoteListEntry& item : Listing) {
        const TWalkEntry entry = WalkEntryFromListing(item);
        if (entry.Name == remoteName) remote = entry;
    }
    std::optional<TWalkEntry> local;
    const QFileInfo localInfo(Options.LocalFile);
    TLocalFolderSource localSource;
    std::vector<TWalkEntry> entries;
    const QByteArray localName = QFile::encodeName(localInfo.fileName());
    if (localSource.List(QFile::encodeName(localInfo.absolutePath()) + '/', entries))
        for (const TWalkEntry& entry : entries)
            if (entry.Name == localName) local = entry;

    const QByteArray folder = RemoteFolder();
    int64_t offset = 0;
    // A missing local file is the upload's own failure to report.
    if (!upload || local) {
        // Both ends under the destination's name, which the command line gave.
        TWalkEntry source;
        if (upload)
            source = *local;
        else if (remote)
            source = *remote;
        source.Name = upload ? remoteName : localName;
        std::optional<TWalkEntry> existing = upload ? remote : local;
        if (existing) existing->Name = source.Name;
        const TOneFileDecision decision =
            DecideOneFile(Options, Settings, upload, Ftp->ResumeSupported(), source, existing);
        if (!decision.Transfer) {
            Finish(decision.SkippedExisting ? 2 : 1);
            return;
        }
        offset = decision.Offset;
    }
    if (upload && offset > 0)
        Steps.append({TFTPCommand::ResumeUpload,
                      [this, folder, offset] {
                          Ftp->ResumeUpload(Options.LocalFile, folder, RemotePath(), TransferType(),
                                            offset);
                      },
                      nullptr});
    else if (upload)
        Steps.append({TFTPCommand::Upload,
                      [this, folder] {
                          Ftp->Upload(Options.LocalFile, folder, RemotePath(), TransferType(), 0);
                      },
                      nullptr});
    else if (offset > 0)
        Steps.append({TFTPCommand::ResumeDownload,
                      [this, folder, offset] {
                          Ftp->ResumeDownload(folder, RemotePath(), Options.LocalFile,
                                              TransferType(), 0, offset);
                      },
                      nullptr});
    else
        Steps.append({TFTPCommand::Download,
                      [this, folder] {
                          Ftp->Download(folder, RemotePath(), Options.LocalFile, TransferType());
                      },
                      nullptr});
}

void TToolSession::RunNextStep() {
    if (Steps.isEmpty()) {
        Finish(0);
        return;
    }
    Awaited = Steps.first().Awaited;
    Steps.first().Issue();
}

void TToolSession::Completed(TFTPCommand command, bool success, bool aborted) {
    if (Finishing) {
        if (command == TFTPCommand::Logout) QCoreApplication::exit(ExitCode);
        return;
    }
    if (command != Awaited) {
        // A TYPE the server refuses ends the work; repeated completions (the folder
        // fall-back's second run) are not awaited any more.
        if (!success && command == TFTPCommand::SetType)
            Fail(QStringLiteral("the server refused the transfer type"));
        return;
    }
    // The engine found that the server ignored the restart and cut the file back: the
    // file comes once more, from its start.
    if (command == TFTPCommand::ResumeDownload && !success && !aborted && !Ftp->ResumeSupported() &&
        !RestartedFromZero && !Steps.isEmpty()) {
        RestartedFromZero = true;
        PrintError(QStringLiteral("the server ignored the restart; the file will be fetched from "
                                  "the start"));
        const QByteArray folder = RemoteFolder();
        Steps.first() = {TFTPCommand::Download,
                         [this, folder] {
                             Ftp->Download(folder, RemotePath(), Options.LocalFile, TransferType());
                         },
                         nullptr};
        RunNextStep();
        return;
    }
    if ((!success || aborted) && !(!Steps.isEmpty() && Steps.first().MayFail && !aborted)) {
        QString reason =
            QString::fromLatin1(CommandDisplayName(command)) + QStringLiteral(" failed");
        if (!CertificateProblem.isEmpty())
            reason += QStringLiteral(": ") + CertificateProblem;
        else if (!LastProblem.isEmpty())
            reason += QStringLiteral(": ") + LastProblem;
        Fail(reason);
        return;
    }
    if (command == TFTPCommand::GetHTTP && !HttpProblem.isEmpty()) {
        Fail(HttpProblem);
        return;
    }
    const TStep step = Steps.takeFirst();
    if (step.Done) step.Done();
    RunNextStep();
}

void TToolSession::Fail(const QString& reason) {
    PrintError(reason);
    Finish(1);
}

void TToolSession::Finish(int exitCode) {
    if (Finishing) return;
    Finishing = true;
    ExitCode = exitCode;
    Steps.clear();
    if (Ftp->LoggedIn()) {
        Ftp->Disconnect();
        return;
    }
    QCoreApplication::exit(ExitCode);
}
