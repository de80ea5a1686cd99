#pragma once

#include "listing/FtpUtils.h"
#include "transfer/QueueBuilder.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TTransferItem;
struct TCommandLine;

using TItemList = std::vector<std::unique_ptr<TTransferItem>>;

// The log-in of the command line: no user means "anonymous", and an anonymous log-in
// without a password gives the e-mail address. The password may still be empty; the
// caller then asks when its settings say so.
TQueueBuilder::TConnection CommandLineConnection(const TCommandLine& commandLine,
                                                 const QString& email);

// A receive name with "*" or "?" is a mask list rather than a file name.
bool HasWildcard(const QString& name);
// What a receive mask list takes of a folder's entries, as the host pane selects them
// after its first listing: masks split at ";", "," or blanks, compared without regard
// to case; folders are taken too.
std::vector<TWalkEntry> EntriesMatching(const std::vector<TWalkEntry>& entries,
                                        const QString& masks);

// Download items: each name (with an optional folder part, "\" read as "/") under
// `remoteFolder` (a name starting with "/" ignores it) into `destFolder`. Names that
// cannot become a local file name are reported in `errors` and left out.
TItemList BuildDownloadItems(const TQueueBuilder::TConnection& connection,
                             const QString& remoteFolder, const QStringList& names,
                             const QString& destFolder, double date, QStringList* errors = nullptr);

// The files a URL names (a comma list under its folder) downloaded into `destFolder`
// through the "General" queue, logged in with `password`, encrypted as the URL says and
// taking the certificates trusted for its host. Returns how many were queued.
int QueueURLDownloads(const TSplitURL& url, const QString& password, const QString& destFolder,
                      QStringList* errors = nullptr,
                      const QList<QByteArray>& trustedFingerprints = {});

// Upload items: each absolute local path into `remoteFolder`, with the file's size and
// modification date. Files that cannot be read are reported in `errors` and left out.
TItemList BuildUploadItems(const TQueueBuilder::TConnection& connection,
                           const QStringList& localPaths, const QString& remoteFolder,
                           QStringList* errors = nullptr);

// What the command line makes the program do once its window is up.
struct TCommandLineRun {
    TQueueBuilder::TConnection Connection;
    // For the "General" queue, downloads first.
    TItemList Items;
    // Receive names with * or ?: the host view fetches what matches after its first
    // listing.
    QStringList ReceiveMasks;
    // Open a browsing connection (with the masks): a host is given and either masks were
    // given or no download was queued.
    bool Browse = false;
    QStringList Errors;
};

// `localFolder` is the local pane's folder, used when -l is not given; `now` dates the
// downloads (0: unknown, so that the server's own time is taken). Builds nothing without
// a host.
TCommandLineRun BuildCommandLineRun(const TCommandLine& commandLine, const QString& email,
                                    const QString& localFolder, double now);
