#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// What both panes' lists show of their model: the files that match one of the masks, and
// every folder. The models answer the same roles for their name column.
class TPaneProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // The item's name as sorted and matched, and whether it is a folder.
    static constexpr int RawRole = Qt::UserRole;
    static constexpr int FolderRole = Qt::UserRole + 1;

    using QSortFilterProxyModel::QSortFilterProxyModel;

    // Empty shows all.
    void SetMasks(const QStringList& masks);
    QStringList Masks() const { return Masks_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QStringList Masks_;
};
