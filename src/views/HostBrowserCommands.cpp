// The host pane's commands on items: create, rename, permissions, the recursive delete,
// the view batch and single sends, and new files recorded in the cache.
#include "views/HostBrowser.h"

#include "listing/FtpUtils.h"
#include "platform/SafeName.h"
#include "settings/Settings.h"
#include "transfer/TransferType.h"

#include <QEventLoop>
#include <QFileInfo>

namespace {
// Deeper than any real tree; a server that nests folders forever stops the walk here.
constexpr int MaxDeleteDepth = 64;
} // namespace

void THostBrowser::CreateFolder(const QString& name) {
    if (name.isEmpty() || !Session_->Connected()) return;
    Session_->CreateFolder(ItemPath(NameCharset.Encode(name)));
    Refresh();
}

void THostBrowser::Rename(const QByteArray& oldName, const QString& newName) {
    if (!Session_->Connected() || newName.isEmpty()) return;
    Q_EMIT FileChanging(ItemURL(oldName));
    // The old name goes back as the server wrote it; the new one is what the user typed,
    // in the site's character set.
    Session_->Rename(ItemPath(oldName), ItemPath(NameCharset.Encode(newName)));
}

void THostBrowser::ChangeAttributes(const QByteArray& name, uint16_t attributes) {
    if (Session_->Connected()) Session_->ChangeAttributes(ItemPath(name), attributes);
}

int THostBrowser::MoveItems(const TRemoteItemList& items, const QByteArray& destination) {
    if (!Session_->Connected() || items.empty() || destination.trimmed().isEmpty()) return 0;
    QByteArray target = destination;
    // A relative folder is taken below the shown one, not wherever the session stands.
    if (!Form_.IsVms() && Form_.Separator == '/' && !target.startsWith('/'))
        target.prepend(ToServerPath(Folder_));
    const QByteArray key = Key(target);
    if (key.isEmpty() || key == Folder_) return 0;
    int moved = 0;
    for (const TRemoteListEntry& entry : items) {
        const QByteArray name =
            (entry.Item.Attributes & raLink) ? LinkName(entry.Name) : entry.Name;
        Q_EMIT FileChanging(ItemURL(name));
        if (Session_->Rename(ItemPath(name), ToServerPath(key) + name) != 0) ++moved;
    }
    if (moved > 0) {
        // What the destination held is known no more; the shown folder is listed after the
        // renames, as commands run in order.
        InvalidateFolder(key);
        Refresh();
    }
    return moved;
}

bool THostBrowser::DeleteItems(const TRemoteItemList& items) {
    if (!Session_->Connected() || Deleting_ || items.empty()) return false;
    Deleting_ = true;
    DeleteStopped_ = false;
    bool complete = true;
    const QByteArray folder = Folder_;
    for (const TRemoteListEntry& entry : items) {
        if (DeleteStopped_ || !Session_->Connected()) {
            complete = false;
            break;
        }
        const bool link = entry.Item.Attributes & raLink;
        const QByteArray name = link ? LinkName(entry.Name) : entry.Name;
        // A link is removed itself, never walked: its target may lie anywhere.
        if (link || !(entry.Item.Attributes & raFolder)) {
            Q_EMIT FileChanging(ItemURL(name));
            Session_->Delete(ToServerPath(folder) + name);
        } else if (!DeleteFolderTree(folder, name, 0)) {
            complete = false;
        }
    }
    Deleting_ = false;
    Q_EMIT TreeChanged();
    if (Session_->Connected()) {
        Folder_ = folder;
        Refresh();
    }
    return complete;
}

bool THostBrowser::ListFolderAndWait(const QByteArray& path, TListingPtr& listing) {
    const QByteArray key = Key(path);
    WalkListDone_ = false;
    WalkListOk_ = false;
    Cache_.erase(key);
    WalkListId_ = Session_->List(key, Settings().ListHidden ? QByteArray("-latr") : QByteArray(),
                                 ToServerPath(key));
    if (WalkListId_ == 0) return false;
    QEventLoop loop;
    const auto wake = connect(this, &THostBrowser::WaitChanged, &loop, &QEventLoop::quit);
    while (!WalkListDone_ && Session_->Connected())
        loop.exec();
    disconnect(wake);
    listing = CachedListing(key);
    return WalkListOk_ && listing != nullptr;
}

bool THostBrowser::DeleteFolderTree(const QByteArray& parentKey, const QByteArray& name,
                                    int depth) {
    const TColor red = EngineSettings().LogColorError;
    const QByteArray key = parentKey + name + Form_.Separator;
    if (depth >= MaxDeleteDepth) {
        AppendLog(QStringLiteral("Folder \"%1\" lies too deep; not removed.").arg(PathText(key)),
                  red);
        return false;
    }
    TListingPtr listing;
    // A snapshot of exactly this folder's listing; without one nothing in it is touched.
    if (!ListFolderAndWait(key, listing)) {
        AppendLog(QStringLiteral("Could not list \"%1\"; it was not removed.").arg(PathText(key)),
                  red);
        return false;
    }
    bool complete = true;
    for (const TRemoteListEntry& entry : *listing) {
        if (DeleteStopped_ || !Session_->Connected()) return false;
        const bool link = entry.Item.Attributes & raLink;
        const QByteArray entryName = link ? LinkName(entry.Name) : entry.Name;
        // A name that is a path of its own would reach outside the folder being removed.
        if (entryName.isEmpty() || entryName == "." || entryName == ".." ||
            entryName.contains(Form_.Separator) || entryName.contains('/')) {
            AppendLog(QStringLiteral("Skipped the entry \"%1\" in \"%2\".")
                          .arg(PathText(entryName), PathText(key)),
                      red);
            complete = false;
            continue;
        }
        if (link || !(entry.Item.Attributes & raFolder)) {
            Q_EMIT FileChanging(ServerPathURL(ToServerPath(key) + entryName));
            Session_->Delete(ToServerPath(key) + entryName);
        } else if (!DeleteFolderTree(key, entryName, depth + 1)) {
            complete = false;
        }
    }
    if (!complete) return false;
    // Some servers refuse to remove the folder they are in.
    Session_->SetCurrentFolder(ToServerPath(parentKey));
    Session_->RemoveFolder(ToServerPath(parentKey) + name);
    return true;
}

void THostBrowser::ViewFiles(int reason, const QString& destinationFolder,
                             const TRemoteItemList& items) {
    if (!Session_->Connected() || items.empty()) return;
    const bool temporary = reason != trDownloadNow;
    if (!temporary && destinationFolder.isEmpty()) return; // never the root of the disk
    QString destination = destinationFolder;
    if (!destination.endsWith(QLatin1Char('/'))) destination += QLatin1Char('/');
    BatchFiles_.clear();
    BatchQueue_.clear();
    BatchReason_ = reason;
    const TColor red = EngineSettings().LogColorError;
    for (const TRemoteListEntry& entry : items) {
        if ((entry.Item.Attributes & raFolder)) continue;
        const QByteArray name =
            (entry.Item.Attributes & raLink) ? LinkName(entry.Name) : entry.Name;
        QString local, why;
        if (!SafeLocalName(name, local, &why)) {
            AppendLog(QStringLiteral("Not downloaded: %1.").arg(why), red);
            continue;
        }
        // Files for local programs go only into the private folder, each into one of its own.
        const QString folder = temporary ? NewPrivateTempFolder() : destination;
        if (folder.isEmpty()) {
            AppendLog(QStringLiteral("Not downloaded: no temporary folder for \"%1\".").arg(local),
                      red);
            continue;
        }
        // Downloaded at once, without the queue's overwrite question: nothing is replaced.
        const QFileInfo existing(folder + local);
        if (!temporary && (existing.exists() || existing.isSymLink())) {
            AppendLog(QStringLiteral("Not downloaded: \"%1\" is already in %2; Download asks "
                                     "before replacing it.")
                          .arg(local, destinationFolder),
                      red);
            continue;
        }
        BatchQueue_.push_back(
            {ToServerPath(Folder_), name, folder + local,
             TransferTypeFor(name, Settings(), ServerKeepsLF(Session_->ServerType()))});
    }
    Q_EMIT ListEnabled(false);
    StartNextBatchFile();
}

void THostBrowser::StartNextBatchFile() {
    BatchId_ = 0;
    while (!BatchQueue_.empty() && BatchId_ == 0) {
        const TBatchFile file = BatchQueue_.front();
        BatchQueue_.pop_front();
        BatchLocal_ = file.LocalPath;
        BatchId_ = Session_->Download(file.ServerFolder, file.ServerFolder + file.Name,
                                      file.LocalPath, file.Type);
    }
    if (BatchId_ != 0) return;
    Q_EMIT ListEnabled(true);
    const int reason = BatchReason_;
    BatchReason_ = trNone;
    if (!BatchFiles_.isEmpty()) Q_EMIT Transferred(BatchFiles_, reason);
}

void THostBrowser::BatchFileDone(bool success) {
    BatchId_ = 0;
    // Only files that really arrived are handed to the local program.
    if (success) {
        BatchFiles_ << BatchLocal_;
        SetState(hsFileArrived);
    }
    StartNextBatchFile();
}

void THostBrowser::SendFile(const QString& localFile) {
    const QFileInfo info(localFile);
    if (!Session_->Connected() || !info.isFile()) return;
    BatchReason_ = trSendFile;
    const QByteArray name = QFile::encodeName(info.fileName());
    const QByteArray folder = ToServerPath(Folder_);
    const uint64_t id = Session_->Upload(
        localFile, folder, folder + name,
        TransferTypeFor(name, Settings(), ServerKeepsLF(Session_->ServerType())), 0);
    if (id != 0) Sent_[id] = {Folder_, name, localFile};
}

void THostBrowser::AddTransferredItem(const QByteArray& folder, double date, int64_t size,
                                      uint16_t attributes, const QByteArray& name) {
    const QByteArray key = Key(folder);
    if (name.isEmpty()) return;
    std::shared_ptr<TRemoteItemList> list = EditableListing(key);
    if (!list) return;
    TRemoteListEntry record{name, {}};
    for (auto it = list->begin(); it != list->end(); ++it) {
        if (it->Name == name) {
            record = *it;
            list->erase(it);
            break;
        }
    }
    record.Item.Attributes = attributes;
    record.Item.Size = size;
    record.Item.Date = date;
    list->push_back(record);
    Cache_[key] = list;
    if (key == Folder_ || (attributes & raFolder)) ShowFolder(key);
}
