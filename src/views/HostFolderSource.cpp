#include "views/HostFolderSource.h"

#include "listing/FtpUtils.h"
#include "views/HostBrowser.h"

bool THostFolderSource::List(const QByteArray& folder, std::vector<TWalkEntry>& entries) {
    TListingPtr listing = Browser_.CachedListing(folder);
    if (!listing && !Browser_.ListFolderAndWait(folder, listing)) return false;
    entries.clear();
    entries.reserve(listing->size());
    for (const TRemoteListEntry& e : *listing) {
        TWalkEntry entry;
        entry.IsLink = e.Item.Attributes & raLink;
        entry.Name = entry.IsLink ? LinkName(e.Name) : e.Name;
        entry.IsFolder = e.Item.Attributes & raFolder;
        entry.Size = e.Item.Size;
        entry.Date = e.Item.Date;
        entries.push_back(entry);
    }
    return true;
}

char THostFolderSource::Separator() const {
    return Browser_.PathForm().Separator;
}

QByteArray THostFolderSource::ItemFolder(const QByteArray& folder) const {
    return Browser_.ToServerPath(folder);
}
