#include "transfer/QueueBuilder.h"

#include "listing/FtpUtils.h"
#include "platform/SafeName.h"
#include "settings/FileNameConversion.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferType.h"
#include "views/ViewFormat.h"

#include <QDir>
#include <QFile>

bool TLocalFolderSource::List(const QByteArray& folder, std::vector<TWalkEntry>& entries) {
    QDir dir(QFile::decodeName(folder));
    if (!dir.exists() || !dir.isReadable()) return false;
    const QFileInfoList infos = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    entries.clear();
    entries.reserve(static_cast<size_t>(infos.size()));
    for (const QFileInfo& info : infos) {
        TWalkEntry entry;
        entry.Name = QFile::encodeName(info.fileName());
        entry.IsLink = info.isSymLink();
        // A link is looked at through: one to a file is that file, one to a folder is
        // never walked.
        entry.IsFolder = info.isDir();
        entry.IsRegular = info.isDir() || info.isFile();
        entry.Size = info.isFile() ? info.size() : 0;
        entry.Date = DayNumberFromDateTime(info.lastModified());
        entries.push_back(entry);
    }
    return true;
}

const TListedFolders::TListing* TListedFolders::Listing(const QByteArray& folder) {
    const auto found = Listed_.constFind(folder);
    if (found != Listed_.constEnd()) return found->get();
    std::shared_ptr<TListing> listing;
    std::vector<TWalkEntry> entries;
    if (Source_.List(folder, entries)) {
        listing = std::make_shared<TListing>();
        listing->Entries = std::move(entries);
        for (size_t i = 0; i < listing->Entries.size(); ++i)
            if (!listing->ByName.contains(listing->Entries[i].Name))
                listing->ByName.insert(listing->Entries[i].Name, i);
    }
    Listed_.insert(folder, listing);
    return listing.get();
}

bool TListedFolders::List(const QByteArray& folder, std::vector<TWalkEntry>& entries) {
    const TListing* listing = Listing(folder);
    if (!listing) return false;
    entries = listing->Entries;
    return true;
}

std::optional<TWalkEntry> TListedFolders::Entry(const QByteArray& folder, const QByteArray& name) {
    const TListing* listing = Listing(folder);
    if (!listing) return std::nullopt;
    const auto found = listing->ByName.constFind(name);
    if (found == listing->ByName.constEnd()) return std::nullopt;
    return listing->Entries[*found];
}

TExistingAction DecideExisting(const TExistingFile& file, const TSettings& settings,
                               TDecisionFlags& flags, ITransferQuestions* questions, QString* why) {
    const auto skip = [why](const char* reason) {
        if (why) *why = QString::fromLatin1(reason);
        return eaSkip;
    };
    const int64_t existing = file.ExistingSize, incoming = file.NewSize;
    if (settings.NoXferOlder && existing == incoming && file.NewDate <= file.ExistingDate)
        return skip("is no newer than the file at the destination");
    // An empty file holds nothing to keep or to go on from.
    if (existing == 0) return eaFromStart;
    // Only a binary transfer on a resuming server can go on where it stopped, and it is
    // offered unasked for only when the user wants resumes tried; any other existing file
    // is a question of overwriting, where "&Recovery" still resumes if it can.
    if (existing >= incoming || !file.CanResume || settings.TryToResume <= 0) {
        if (!settings.ConfirmOverwrites) return eaFromStart;
        if (flags.OverwriteToAll)
            return flags.OverwriteYesToAll ? eaFromStart : skip("exists at the destination");
        if (!questions) return skip("exists at the destination");
        TExistingFile asked = file;
        asked.CanResume = file.CanResume && existing < incoming;
        const int answer = questions->AskOverwrite(asked);
        // Writing over the partial file would lose it; the user asked to keep it.
        if (answer == mrRetry)
            return asked.CanResume ? eaResume : skip("cannot be resumed from this server");
        if (answer == mrYesToAll || answer == mrNoToAll) {
            flags.OverwriteToAll = true;
            flags.OverwriteYesToAll = answer == mrYesToAll;
        }
        return answer == mrYes || answer == mrYesToAll ? eaFromStart
                                                       : skip("exists at the destination");
    }
    if (flags.RestartToAll) return flags.RestartYesToAll ? eaResume : eaFromStart;
    if (!settings.ConfirmRestarts) return eaResume;
    if (!questions) return skip("exists at the destination");
    const int answer = questions->AskRestart(file.Name);
    if (answer == mrYesToAll || answer == mrNoToAll) {
        flags.RestartToAll = true;
        flags.RestartYesToAll = answer == mrYesToAll;
    }
    switch (answer) {
    case mrYes:
    case mrYesToAll:
        return eaResume;
    case mrNo:
    case mrNoToAll:
        return eaFromStart;
    default:
        // Closing the question leaves the file as it is.
        return skip("exists at the destination");
    }
}

TQueueBuilder::TQueueBuilder(const TSettings& settings, ITransferQuestions* questions,
                             const TConnection& connection, TTransferItems& queue)
    : Settings_(settings), Questions_(questions), Connection_(connection), Queue_(queue) {}

void TQueueBuilder::Log(const QString& text, bool error) {
    if (OnLog)
        OnLog(text,
              error ? EngineSettings().LogColorError.load() : EngineSettings().LogColorInfo.load());
}

void TQueueBuilder::Upload(const std::vector<TWalkEntry>& selected, const QByteArray& sourceFolder,
                           const QByteArray& destFolder, IFolderSource& local,
                           IFolderSource& remote) {
    Walk(selected, sourceFolder, destFolder, local, remote, true, 0);
}

void TQueueBuilder::Download(const std::vector<TWalkEntry>& selected,
                             const QByteArray& sourceFolder, const QByteArray& destFolder,
                             IFolderSource& remote, IFolderSource& local) {
    Walk(selected, sourceFolder, destFolder, remote, local, false, 0);
}

bool TQueueBuilder::DestinationEntries(IFolderSource& dest, const QByteArray& folder,
                                       QHash<QByteArray, TWalkEntry>& byName) {
    std::vector<TWalkEntry> entries;
    if (!dest.List(folder, entries)) return false;
    for (const TWalkEntry& entry : entries)
        byName.insert(entry.Name, entry);
    return true;
}

bool TQueueBuilder::Decide(const TWalkEntry& source, const TWalkEntry& existing,
                           const QByteArray& destName, bool upload, int64_t& offset) {
    if (NewerOnly_ && source.Date <= existing.Date) {
        ++Skipped_;
        return false;
    }
    TExistingFile file;
    file.Name = upload ? NameCharset.Decode(destName) : DisplayText(destName);
    file.ExistingSize = existing.Size;
    file.NewSize = source.Size;
    file.ExistingDate = existing.Date;
    file.NewDate = source.Date;
    file.CanResume =
        Connection_.ServerResumes && TransferTypeFor(upload ? destName : source.Name, Settings_,
                                                     Connection_.ServerKeepsLF) == ttBinary;
    TExistingAction action;
    QString why = QStringLiteral("exists at the destination");
    if (Questions_) {
        action = DecideExisting(file, Settings_, Flags_, Questions_, &why);
    } else {
        switch (Unattended_) {
        case unOverwrite:
            action = eaFromStart;
            break;
        case unResume:
            action = file.CanResume && existing.Size < source.Size ? eaResume : eaSkip;
            break;
        default:
            action = eaSkip;
            break;
        }
        if (action == eaSkip) ++SkippedExisting_;
    }
    if (action == eaSkip) {
        // Whatever the answer, a file left out is said so.
        Log(QStringLiteral("\"%1\" %2; skipped.").arg(file.Name, why), false);
        ++Skipped_;
        return false;
    }
    offset = action == eaResume ? existing.Size : 0;
    return true;
}

void TQueueBuilder::AddItem(const TWalkEntry& entry, const QByteArray& sourceFolder,
                            const QByteArray& destFolder, const QByteArray& destName,
                            int64_t offset, bool upload, bool folder, IFolderSource& source,
                            IFolderSource& dest) {
    auto item = std::make_unique<TTransferItem>();
    item->Host = Connection_.Host;
    item->Port = Connection_.Port;
    item->User = Connection_.User;
    item->Password = Connection_.Password;
    item->Account = Connection_.Account;
    item->Security = Connection_.Security;
    item->UseFirewall = Connection_.UseFirewall;
    item->ServerKeepsLF = Connection_.ServerKeepsLF;
    item->SourceFolder = source.ItemFolder(sourceFolder);
    item->DestFolder = dest.ItemFolder(destFolder);
    item->FileName = entry.Name;
    item->DestFileName = destName;
    item->Size = folder ? 0 : entry.Size;
    item->Date = entry.Date;
    item->StartOffset = offset;
    item->Upload = upload;
    item->IsFolder = folder;
    item->SourceView = SourceView_;
    item->DestView = DestView_;
    Claimed_.insert(destFolder + destName, entry);
    if (Queue_.Add(item) >= 0)
        ++Queued_;
    else
        ++Skipped_;
}

void TQueueBuilder::Walk(const std::vector<TWalkEntry>& selected, const QByteArray& sourceFolder,
                         const QByteArray& destFolder, IFolderSource& source, IFolderSource& dest,
                         bool upload, int depth) {
    if (depth > MaxDepth) {
        Log(QStringLiteral("\"%1\" lies too deep; not transferred.").arg(DisplayText(sourceFolder)),
            true);
        ++Failed_;
        return;
    }
    // Every destination folder of the walk is looked at, not only the one a pane shows.
    QHash<QByteArray, TWalkEntry> existing;
    DestinationEntries(dest, destFolder, existing);

    std::vector<const TWalkEntry*> folders;
    for (const TWalkEntry& entry : selected) {
        // The control connection ends a command at a line break: such a name would reach
        // the server cut short (or as a second command), so it is refused here, visibly.
        if (NameBreaksCommand(entry.Name)) {
            Log(QStringLiteral("\"%1\" holds a line break, which no FTP command can carry; "
                               "not transferred.")
                    .arg(NameText(entry.Name)),
                true);
            ++Failed_;
            continue;
        }
        if (entry.IsFolder) {
            if (entry.IsLink)
                Log(QStringLiteral("\"%1\" is a link to a folder; not followed.")
                        .arg(DisplayText(entry.Name)),
                    false);
            else
                folders.push_back(&entry);
            continue;
        }
        if (!entry.IsRegular) {
            Log(QStringLiteral("\"%1\" is not a regular file; not sent.")
                    .arg(DisplayText(entry.Name)),
                true);
            ++Skipped_;
            continue;
        }
        QByteArray destName;
        if (upload) {
            const QString converted = ConvertFileName(QFile::decodeName(sourceFolder + entry.Name),
                                                      NameConversion(Settings_));
            destName =
                converted.isEmpty() ? entry.Name : converted.section(QLatin1Char('/'), -1).toUtf8();
        } else {
            QString local, why;
            if (!SafeLocalName(entry.Name, local, &why)) {
                Log(QStringLiteral("Not downloaded: %1.").arg(why), true);
                ++Skipped_;
                continue;
            }
            destName = QFile::encodeName(local);
        }
        int64_t offset = 0;
        const QByteArray claimKey = destFolder + destName;
        const auto found = existing.constFind(destName);
        const TWalkEntry* there = found != existing.constEnd() ? &*found : nullptr;
        const auto claimed = Claimed_.constFind(claimKey);
        if (claimed != Claimed_.constEnd()) there = &*claimed;
        if (there && (there->IsFolder || there->IsLink)) {
            Log(QStringLiteral("\"%1\" is a folder or link at the destination; not replaced.")
                    .arg(DisplayText(destName)),
                true);
            ++Skipped_;
            continue;
        }
        if (there && !Decide(entry, *there, destName, upload, offset)) continue;
        AddItem(entry, sourceFolder, destFolder, destName, offset, upload, false, source, dest);
    }

    for (const TWalkEntry* folder : folders) {
        QByteArray destName = folder->Name;
        if (upload) {
            // A folder whose short form cannot be had keeps its own name.
            const QString converted = ConvertFileName(
                QFile::decodeName(sourceFolder + folder->Name), NameConversion(Settings_));
            if (!converted.isEmpty()) destName = converted.section(QLatin1Char('/'), -1).toUtf8();
        } else {
            QString local, why;
            if (!SafeLocalName(folder->Name, local, &why)) {
                Log(QStringLiteral("Not downloaded: %1.").arg(why), true);
                ++Skipped_;
                continue;
            }
            destName = QFile::encodeName(local);
        }
        const QByteArray childSource = sourceFolder + folder->Name + source.Separator();
        std::vector<TWalkEntry> children;
        if (!source.List(childSource, children)) {
            Log(QStringLiteral("Could not list \"%1\"; its files were not queued.")
                    .arg(DisplayText(childSource)),
                true);
            ++Failed_;
            continue;
        }
        // A folder the server already has needs no folder item: its MKD would only fail.
        const auto there = existing.constFind(destName);
        const bool exists = there != existing.constEnd() && there->IsFolder;
        if (upload && !exists)
            AddItem(*folder, sourceFolder, destFolder, destName, 0, true, true, source, dest);
        Walk(children, childSource, destFolder + destName + dest.Separator(), source, dest, upload,
             depth + 1);
    }
}
