#include "startup/CommandLineItems.h"

#include "platform/SafeName.h"
#include "startup/CommandLine.h"
#include "transfer/TransferItem.h"
#include "transfer/TransferItemsList.h"
#include "views/HostBrowser.h"
#include "views/ViewFormat.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::unique_ptr<TTransferItem> NewItem(const TQueueBuilder::TConnection& connection) {
    auto item = std::make_unique<TTransferItem>();
    item->Host = connection.Host;
    item->Port = connection.Port;
    item->User = connection.User;
    item->Password = connection.Password;
    item->Account = connection.Account;
    item->UseFirewall = connection.UseFirewall;
    return item;
}

QString WithSlash(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith(u'/')) folder += u'/';
    return folder;
}

} // namespace

bool HasWildcard(const QString& name) {
    return name.contains(u'*') || name.contains(u'?');
}

std::vector<TWalkEntry> EntriesMatching(const std::vector<TWalkEntry>& entries,
                                        const QString& masks) {
    const QStringList split = THostBrowser::SplitMasks(masks);
    std::vector<TWalkEntry> matching;
    for (const TWalkEntry& entry : entries)
        if (MatchesMaskList(DisplayText(entry.Name).toLower(), split)) matching.push_back(entry);
    return matching;
}

TQueueBuilder::TConnection CommandLineConnection(const TCommandLine& commandLine,
                                                 const QString& email) {
    TQueueBuilder::TConnection connection;
    connection.Host = commandLine.Host;
    connection.Port = commandLine.Port;
    const QString user =
        commandLine.User.isEmpty() ? QStringLiteral("anonymous") : commandLine.User;
    connection.User = user.toUtf8();
    connection.Password = commandLine.Password.toUtf8();
    if (connection.Password.isEmpty() && user == u"anonymous") connection.Password = email.toUtf8();
    connection.Account = commandLine.Account.toUtf8();
    return connection;
}

TItemList BuildDownloadItems(const TQueueBuilder::TConnection& connection,
                             const QString& remoteFolder, const QStringList& names,
                             const QString& destFolder, double date, QStringList* errors) {
    TItemList items;
    const QString base = WithSlash(QString(remoteFolder).replace(u'\\', u'/'));
    const QByteArray dest = QFile::encodeName(WithSlash(destFolder));
    for (const QString& raw : names) {
        const QString name = QString(raw).replace(u'\\', u'/');
        const qsizetype slash = name.lastIndexOf(u'/');
        const QString fileName = name.mid(slash + 1);
        QString localName, reason;
        if (fileName.isEmpty()) reason = QStringLiteral("it names a folder, not a file");
        if (!reason.isEmpty() || !SafeLocalName(fileName.toUtf8(), localName, &reason)) {
            if (errors)
                errors->append(QStringLiteral("Cannot receive \"%1\": %2.").arg(raw, reason));
            continue;
        }
        auto item = NewItem(connection);
        item->SourceFolder =
            ((name.startsWith(u'/') ? QString() : base) + name.left(slash + 1)).toUtf8();
        item->DestFolder = dest;
        item->FileName = fileName.toUtf8();
        item->Date = date;
        items.push_back(std::move(item));
    }
    return items;
}

TItemList BuildUploadItems(const TQueueBuilder::TConnection& connection,
                           const QStringList& localPaths, const QString& remoteFolder,
                           QStringList* errors) {
    TItemList items;
    const QByteArray dest = WithSlash(remoteFolder).toUtf8();
    for (const QString& path : localPaths) {
        const QFileInfo info(path);
        QFile file(path);
        // Only regular files get here, so opening cannot block on a FIFO.
        if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
            if (errors)
                errors->append(QStringLiteral("Cannot send \"%1\": it cannot be read.").arg(path));
            continue;
        }
        auto item = NewItem(connection);
        item->Upload = true;
        item->SourceFolder = QFile::encodeName(WithSlash(info.absolutePath()));
        item->DestFolder = dest;
        item->FileName = QFile::encodeName(info.fileName());
        item->Size = file.size();
        item->Date = DayNumberFromDateTime(info.lastModified());
        items.push_back(std::move(item));
    }
    return items;
}

TCommandLineRun BuildCommandLineRun(const TCommandLine& commandLine, const QString& email,
                                    const QString& localFolder, double now) {
    TCommandLineRun run;
    if (commandLine.Host.isEmpty()) return run;
    run.Connection = CommandLineConnection(commandLine, email);
    QStringList names;
    for (const QString& item : commandLine.Receive)
        (HasWildcard(item) ? run.ReceiveMasks : names).append(item);
    const QString local = commandLine.LocalFolder.isEmpty() ? localFolder : commandLine.LocalFolder;
    run.Items =
        BuildDownloadItems(run.Connection, commandLine.HostFolder, names, local, now, &run.Errors);
    const bool queuedDownloads = !run.Items.empty();
    for (auto& item :
         BuildUploadItems(run.Connection, commandLine.Send, commandLine.HostFolder, &run.Errors))
        run.Items.push_back(std::move(item));
    run.Browse = !run.ReceiveMasks.isEmpty() || !queuedDownloads;
    return run;
}

int QueueURLDownloads(const TSplitURL& url, const QString& password, const QString& destFolder,
                      QStringList* errors, const QList<QByteArray>& trustedFingerprints) {
    TQueueBuilder::TConnection connection;
    connection.Security = {url.Encryption, trustedFingerprints, false};
    connection.Host = url.Host;
    connection.Port = url.Port;
    connection.User = url.User.toUtf8();
    connection.Password = password.toUtf8();
    connection.UseFirewall = true;
    TItemList items = BuildDownloadItems(
        connection, url.FolderPath, url.FileName.split(QLatin1Char(',')), destFolder, 0, errors);
    int queued = 0;
    for (auto& item : items)
        if (GeneralQueue().Add(item) >= 0) ++queued;
    return queued;
}
