#include "views/widgets/RemoteListModel.h"

#include "views/PaneOrder.h"

#include "listing/FtpUtils.h"
#include "listing/ListingParser.h"
#include "views/ViewFormat.h"
#include "views/widgets/ThemeIcons.h"

#include <QApplication>
#include <QLocale>
#include <QStyle>

namespace {
QString DateText(double date) {
    return ModifiedText(DateTimeFromDayNumber(date));
}

} // namespace

TRemoteListModel::TRemoteListModel(QObject* parent) : QAbstractTableModel(parent) {}

namespace {
// Listings whose captions and order are kept for a revisit.
constexpr size_t RecentListings = 8;
} // namespace

void TRemoteListModel::SetListing(TListingPtr listing) {
    beginResetModel();
    Listing_ = std::move(listing);
    Shown_.reset();
    if (Listing_) {
        for (auto it = Recent_.begin(); it != Recent_.end(); ++it) {
            if ((*it)->Listing.lock() == Listing_) {
                Shown_ = *it;
                Recent_.erase(it);
                break;
            }
        }
        if (!Shown_) {
            Shown_ = std::make_shared<TShownListing>();
            Shown_->Listing = Listing_;
            Shown_->Captions.reserve(static_cast<qsizetype>(Listing_->size()));
            for (const TRemoteListEntry& entry : *Listing_)
                Shown_->Captions.push_back(NameText(
                    (entry.Item.Attributes & raLink) ? LinkName(entry.Name) : entry.Name, Charset));
        }
        Recent_.push_front(Shown_);
        if (Recent_.size() > RecentListings) Recent_.pop_back();
        if (Shown_->Column != SortColumn_ || Shown_->Direction != SortOrder_) SortOrderOf(*Shown_);
    }
    endResetModel();
}

void TRemoteListModel::SortOrderOf(TShownListing& shown) const {
    const TRemoteItemList& list = *Listing_;
    std::vector<int>& order = shown.Order;
    order.resize(list.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    const int column = SortColumn_;
    const bool descending = SortOrder_ == Qt::DescendingOrder;
    // The rows as the shared order sees them, made once rather than per comparison.
    std::vector<TPaneRow> rows(list.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const TRemoteItem& item = list[i].Item;
        TPaneRow& row = rows[i];
        row.Folder = item.Attributes & raFolder;
        row.Name = shown.Captions[static_cast<qsizetype>(i)];
        row.Size = item.Size;
        row.Date = item.Date;
        if (column == colType && !row.Folder) row.Type = FileTypeText(row.Name);
    }
    auto less = [&](int a, int b) {
        return PaneRowBefore(rows[size_t(a)], rows[size_t(b)], column, descending);
    };
    std::stable_sort(order.begin(), order.end(), less);
    shown.Column = SortColumn_;
    shown.Direction = SortOrder_;
}

void TRemoteListModel::Sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) return;
    SortColumn_ = column;
    SortOrder_ = order;
    if (!Shown_ || (Shown_->Column == column && Shown_->Direction == order)) return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> entryOf;
    entryOf.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before)
        entryOf.push_back(static_cast<int>(Index(index.row())));
    SortOrderOf(*Shown_);
    std::vector<int> rowOf(Shown_->Order.size());
    for (size_t row = 0; row < Shown_->Order.size(); ++row)
        rowOf[size_t(Shown_->Order[row])] = static_cast<int>(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOf[size_t(entryOf[size_t(i)])], before[i].column());
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TRemoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !Shown_ ? 0 : static_cast<int>(Shown_->Order.size());
}

int TRemoteListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString TRemoteListModel::TypeText(int row) const {
    const TRemoteListEntry& entry = Entry(row);
    if (entry.Item.Attributes & raLink)
        return QStringLiteral("Shortcut to ") + Charset.Decode(LinkTarget(entry.Name));
    return (Entry(row).Item.Attributes & raFolder) ? QStringLiteral("File Folder")
                                                   : FileTypeText(Caption(row));
}

QVariant TRemoteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return QVariant();
    const int row = index.row();
    const TRemoteItem& item = Entry(row).Item;
    const bool folder = item.Attributes & raFolder;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case colName:
            return Caption(row);
        case colSize:
            return folder ? QString() : KilobyteText(item.Size);
        case colType:
            return TypeText(row);
        case colModified:
            return DateText(item.Date);
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == colName) {
            if (item.Attributes & raLink) {
                static const QIcon link =
                    ThemeIcon(QStringLiteral("emblem-symbolic-link"), QStyle::SP_FileLinkIcon);
                static const QIcon folderLink =
                    ThemeIcon(QStringLiteral("folder-remote"), QStyle::SP_DirLinkIcon);
                return folder ? folderLink : link;
            }
            return folder ? FolderIcon() : FileTypeIcon(Caption(row));
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == colSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case FolderRole:
        return IsFolder(row);
    case RawRole:
        switch (index.column()) {
        case colName:
            return Caption(row);
        case colSize:
            return QVariant::fromValue<qlonglong>(item.Size);
        case colType:
            return TypeText(row);
        case colModified:
            return item.Date;
        }
        break;
    default:
        break;
    }
    return QVariant();
}

bool TRemoteListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != colName || !OnRename) return false;
    OnRename(index.row(), value.toString());
    // The caption changes when the server has renamed the file, not before.
    return false;
}

QVariant TRemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QVariant();
    if (role == Qt::DisplayRole) {
        static const char* const Titles[ColumnCount] = {"Name", "Size", "Type", "Modified"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(Titles[section])
                                                     : QVariant();
    }
    if (role == Qt::TextAlignmentRole && section == colSize)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags TRemoteListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == colName && (!CanRename || CanRename()))
        f |= Qt::ItemIsEditable;
    return f;
}

TRemoteSortProxy::TRemoteSortProxy(QObject* parent) : TPaneProxy(parent) {
    // The model's own order shows through: the proxy only filters.
    setDynamicSortFilter(false);
}

void TRemoteSortProxy::sort(int column, Qt::SortOrder order) {
    if (auto* model = qobject_cast<TRemoteListModel*>(sourceModel())) model->Sort(column, order);
}
