#pragma once

#include "views/HostBrowser.h"
#include "views/widgets/PaneProxy.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

// The rows of one remote listing: Name, Size, Type, Modified, in sorted order (folders
// first in both directions). It holds its own reference to the listing it shows, so the
// cache may drop or replace it meanwhile. Filling is one reset; the captions and the
// order of the last listings shown are kept, so a revisit neither decodes nor sorts.
class TRemoteListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colName, colSize, colType, colModified, ColumnCount };
    // The raw value of a cell, for sorting; whether the row is a folder.
    static constexpr int RawRole = TPaneProxy::RawRole;
    static constexpr int FolderRole = TPaneProxy::FolderRole;

    explicit TRemoteListModel(QObject* parent = nullptr);

    void SetListing(TListingPtr listing);
    void Clear() { SetListing(nullptr); }
    // How names that are not UTF-8 read; set before the listing it applies to.
    TNameCharset Charset;
    const TRemoteListEntry& Entry(int row) const { return (*Listing_)[Index(row)]; }
    bool IsFolder(int row) const { return Entry(row).Item.Attributes & raFolder; }
    // The name shown (a link's own name, without its target), as display text.
    const QString& Caption(int row) const { return Shown_->Captions[Index(row)]; }
    QString TypeText(int row) const;
    // Reorders the rows (persistent indexes follow them).
    void Sort(int column, Qt::SortOrder order);
    int SortColumn() const { return SortColumn_; }
    Qt::SortOrder SortOrder() const { return SortOrder_; }

    // Renames through the pane; the caption stays until the server confirms.
    std::function<bool(int row, const QString& newName)> OnRename;
    std::function<bool()> CanRename;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // Captions and one sorted order of a listing, kept while it is among the last shown.
    struct TShownListing {
        std::weak_ptr<const TRemoteItemList> Listing;
        QVector<QString> Captions;
        std::vector<int> Order;
        int Column = -1;
        Qt::SortOrder Direction = Qt::AscendingOrder;
    };
    size_t Index(int row) const {
        return static_cast<size_t>(Shown_->Order[static_cast<size_t>(row)]);
    }
    void SortOrderOf(TShownListing& shown) const;

    TListingPtr Listing_;
    std::shared_ptr<TShownListing> Shown_;
    std::deque<std::shared_ptr<TShownListing>> Recent_;
    int SortColumn_ = colName;
    Qt::SortOrder SortOrder_ = Qt::AscendingOrder;
};

// Masks as both panes do (TPaneProxy). Sorting is the model's:
// a sort asked of the proxy (a header click) reorders the model's rows.
class TRemoteSortProxy : public TPaneProxy {
    Q_OBJECT
public:
    explicit TRemoteSortProxy(QObject* parent = nullptr);
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
};
