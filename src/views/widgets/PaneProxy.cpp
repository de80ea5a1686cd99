#include "views/widgets/PaneProxy.h"

#include "listing/FtpUtils.h"

void TPaneProxy::SetMasks(const QStringList& masks) {
    if (masks == Masks_) return;
    Masks_ = masks;
    invalidateFilter();
}

bool TPaneProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (Masks_.isEmpty()) return true;
    const QModelIndex name = sourceModel()->index(sourceRow, 0, sourceParent);
    return name.data(FolderRole).toBool() || MatchesMaskList(name.data(RawRole).toString(), Masks_);
}
