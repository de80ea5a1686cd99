#include "ToolSession.h"

#include "JsonEntryWriter.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

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
    : Options(options), Url(url), UseFirewall(context.UseFirewall),
      Ftp(std::make_unique<TFTPComponent>(TransferSession(options) ? nullptr : this)) {
    Ftp->Host = Url.Host;
    Ftp->Port = Url.Port;
    Ftp->User = Url.User.toUtf8();
    Ftp->Password = Url.Password.toUtf8();
    if (UseFirewall) {
        const TSettings& s = context.Settings;
        Ftp->FirewallType = static_cast<uint8_t>(s.FirewallType);
        Ftp->FirewallHost = s.FirewallHost;
        Ftp->FirewallPort = s.FirewallPort;
        Ftp->FirewallUser = s.FirewallUser.toUtf8();
        Ftp->FirewallPassword = s.FirewallPassword.toUtf8();
    }
    Ftp->SetPassive(Options.Passive);
    Ftp->SetServerType(0);
    AttachHandlers();
}

TToolSession::~TToolSession() = default;

void TToolSession::AttachHandlers() {
    const TColor errorColor = EngineSettings().LogColorError;
    Ftp->OnLog = [this, errorColor](TFTPComponent*, const QString& message, TColor color) {
        if (Options.Log)
            PrintLogLine(message);
        if (color == errorColor && !message.trimmed().isEmpty())
            LastProblem = message.trimmed();
    };
    Ftp->OnError = [this](TFTPComponent*, int code, const QString& description) {
        LastProblem = QStringLiteral("%1 [%2]").arg(description).arg(code);
        if (Options.Action == TToolOptions::TAction::HttpGet && code >= 400)
            HttpProblem = QStringLiteral("HTTP %1 %2").arg(code).arg(description);
    };
    Ftp->OnProcessList = [this](TFTPComponent*, const QByteArray&, TRemoteItemList items) {
        Listing = std::move(items);
    };
    Ftp->OnCommandCompleted = [this](TFTPComponent*, TFTPCommand command, bool success,
                                     bool aborted) { Completed(command, success, aborted); };
    Ftp->OnDisconnect = [this](TFTPComponent*) {
        if (Finishing)
            QCoreApplication::exit(ExitCode);
    };
}

QByteArray TToolSession::RemotePath() const {
    QString name = Url.FileName;
    if (name.isEmpty())
        name = QFileInfo(Options.LocalFile).fileName();
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
            Steps.append({TFTPCommand::SetCurrentFolder, [this, folder] { Ftp->SetCurrentFolder(folder); },
                          nullptr});
        Steps.append({TFTPCommand::List, [this, folder] { Ftp->List(folder, QByteArray()); }, nullptr});
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
        if (Options.Resume) {
            const int64_t have = QFileInfo(Options.LocalFile).size();
            Steps.append({TFTPCommand::ResumeDownload, [this, folder, have] {
                              Ftp->ResumeDownload(folder, RemotePath(), Options.LocalFile,
                                                  TransferType(), 0, have);
                          }, nullptr});
        } else {
            Steps.append({TFTPCommand::Download, [this, folder] {
                              Ftp->Download(folder, RemotePath(), Options.LocalFile, TransferType());
                          }, nullptr});
        }
        break;
    case A::Put:
        if (!Options.Resume) {
            Steps.append({TFTPCommand::Upload, [this, folder] {
                              Ftp->Upload(Options.LocalFile, folder, RemotePath(), TransferType(), 0);
                          }, nullptr});
            break;
        }
        // The remote size comes from the folder's listing, as a window knows it.
        listFolder();
        Steps.last().Done = [this, folder] {
            const QByteArray path = RemotePath();
            const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
            int64_t size = 0;
            for (const TRemoteListEntry& entry : Listing)
                if (entry.Name == name && !(entry.Item.Attributes & raFolder))
                    size = entry.Item.Size;
            Steps.append({TFTPCommand::ResumeUpload, [this, folder, size] {
                              Ftp->ResumeUpload(Options.LocalFile, folder, RemotePath(),
                                                TransferType(), size);
                          }, nullptr});
        };
        break;
    default:
        break;
    }
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
        if (command == TFTPCommand::Logout)
            QCoreApplication::exit(ExitCode);
        return;
    }
    if (command != Awaited) {
        // A TYPE the server refuses ends the work; repeated completions (the folder
        // fall-back's second run) are not awaited any more.
        if (!success && command == TFTPCommand::SetType)
            Fail(QStringLiteral("the server refused the transfer type"));
        return;
    }
    if (!success || aborted) {
        QString reason = QString::fromLatin1(CommandDisplayName(command)) +
                         QStringLiteral(" failed");
        if (!LastProblem.isEmpty())
            reason += QStringLiteral(": ") + LastProblem;
        Fail(reason);
        return;
    }
    if (command == TFTPCommand::GetHTTP && !HttpProblem.isEmpty()) {
        Fail(HttpProblem);
        return;
    }
    const TStep step = Steps.takeFirst();
    if (step.Done)
        step.Done();
    RunNextStep();
}

void TToolSession::Fail(const QString& reason) {
    PrintError(reason);
    Finish(1);
}

void TToolSession::Finish(int exitCode) {
    if (Finishing)
        return;
    Finishing = true;
    ExitCode = exitCode;
    Steps.clear();
    if (Ftp->LoggedIn()) {
        Ftp->Disconnect();
        return;
    }
    QCoreApplication::exit(ExitCode);
}
