#pragma once

#include "transfer/QueueBuilder.h"

class THostBrowser;

// A server as a walk lists it: cached listings when the pane has them (exact and
// unfiltered), else a fresh listing, awaited. Links that look like folders are folders
// here too, so walks can refuse to follow them.
class THostFolderSource : public IFolderSource {
public:
    explicit THostFolderSource(THostBrowser& browser) : Browser_(browser) {}
    bool List(const QByteArray& folder, std::vector<TWalkEntry>& entries) override;
    char Separator() const override;
    QByteArray ItemFolder(const QByteArray& folder) const override;

private:
    THostBrowser& Browser_;
};
