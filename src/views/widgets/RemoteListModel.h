#pragma once

#include "views/HostBrowser.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QSortFilterProxyModel>

#include <functional>

// The rows of one remote listing: Name, Size, Type, Modified. It holds its own reference
// to the listing it shows, so the cache may drop or replace it meanwhile. Filling is one
// reset: no per-row work beyond decoding the names.
class TRemoteListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colName, colSize, colType, colModified, ColumnCount };
    // The raw value of a cell, for sorting.
    static constexpr int RawRole = Qt::UserRole;

    explicit TRemoteListModel(QObject* parent = nullptr);

    void SetListing(TListingPtr listing);
    void Clear() { SetListing(nullptr); }
    const TRemoteListEntry& Entry(int row) const { return (*Listing_)[static_cast<size_t>(row)]; }
    bool IsFolder(int row) const { return Entry(row).Item.Attributes & raFolder; }
    // The name shown (a link's own name, without its target), as display text.
    const QString& Caption(int row) const { return Captions_[row]; }
    QString TypeText(int row) const;

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
    struct TTypeInfo {
        QString Text;
        QIcon Icon;
    };
    const TTypeInfo& TypeOf(int row) const;

    TListingPtr Listing_;
    QVector<QString> Captions_;
    mutable QHash<QString, TTypeInfo> Types_; // by lower-case extension; no file is touched
};

// Folders first in both directions; files by the column's raw value; files that do not
// match the mask list hidden (folders never).
class TRemoteSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TRemoteSortProxy(QObject* parent = nullptr);
    void SetMasks(const QStringList& masks);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QStringList Masks_;
};
