#include "views/widgets/RemoteListModel.h"

#include "listing/FtpUtils.h"
#include "listing/ListingParser.h"
#include "views/ViewFormat.h"

#include <QApplication>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

namespace {
QIcon ThemeIcon(const QString& name, QStyle::StandardPixmap fallback) {
    QIcon icon = QIcon::fromTheme(name);
    return icon.isNull() ? QApplication::style()->standardIcon(fallback) : icon;
}

QString Extension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}
} // namespace

TRemoteListModel::TRemoteListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TRemoteListModel::SetListing(TListingPtr listing) {
    beginResetModel();
    Listing_ = std::move(listing);
    Captions_.clear();
    if (Listing_) {
        Captions_.reserve(static_cast<qsizetype>(Listing_->size()));
        for (const TRemoteListEntry& entry : *Listing_)
            Captions_.push_back(DisplayText((entry.Item.Attributes & raLink) ? LinkName(entry.Name)
                                                                              : entry.Name));
    }
    endResetModel();
}

int TRemoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Captions_.size());
}

int TRemoteListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const TRemoteListModel::TTypeInfo& TRemoteListModel::TypeOf(int row) const {
    const TRemoteListEntry& entry = Entry(row);
    if (entry.Item.Attributes & raFolder) {
        static const TTypeInfo folder{QStringLiteral("File Folder"),
                                      ThemeIcon(QStringLiteral("folder"), QStyle::SP_DirIcon)};
        return folder;
    }
    const QString extension = Extension(Captions_[row]);
    const QString key = extension.toLower();
    auto it = Types_.find(key);
    if (it == Types_.end()) {
        static const QMimeDatabase mimes;
        const QMimeType mime =
            mimes.mimeTypeForFile(QStringLiteral("x.") + key, QMimeDatabase::MatchExtension);
        TTypeInfo info;
        if (!extension.isEmpty() && !mime.isDefault()) {
            info.Text = mime.comment();
            info.Icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        }
        if (info.Text.isEmpty())
            info.Text = extension.isEmpty() ? QStringLiteral("File") : extension + QStringLiteral(" File");
        if (info.Icon.isNull())
            info.Icon = ThemeIcon(QStringLiteral("text-x-generic"), QStyle::SP_FileIcon);
        it = Types_.insert(key, info);
    }
    return *it;
}

QString TRemoteListModel::TypeText(int row) const {
    const TRemoteListEntry& entry = Entry(row);
    if (entry.Item.Attributes & raLink)
        return QStringLiteral("Shortcut to ") + DisplayText(LinkTarget(entry.Name));
    return TypeOf(row).Text;
}

QVariant TRemoteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const int row = index.row();
    const TRemoteItem& item = Entry(row).Item;
    const bool folder = item.Attributes & raFolder;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case colName:
            return Captions_[row];
        case colSize:
            return folder ? QString() : KilobyteText(item.Size);
        case colType:
            return TypeText(row);
        case colModified:
            return QLocale().toString(DateTimeFromDayNumber(item.Date), QLocale::ShortFormat);
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == colName) {
            if (item.Attributes & raLink) {
                static const QIcon link = ThemeIcon(QStringLiteral("emblem-symbolic-link"),
                                                    QStyle::SP_FileLinkIcon);
                static const QIcon folderLink =
                    ThemeIcon(QStringLiteral("folder-remote"), QStyle::SP_DirLinkIcon);
                return folder ? folderLink : link;
            }
            return TypeOf(row).Icon;
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == colSize)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case RawRole:
        switch (index.column()) {
        case colName:
            return Captions_[row];
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
    if (role != Qt::EditRole || index.column() != colName || !OnRename)
        return false;
    OnRename(index.row(), value.toString());
    // The caption changes when the server has renamed the file, not before.
    return false;
}

QVariant TRemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        static const char* const Titles[ColumnCount] = {"Name", "Size", "Type", "Modified"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(Titles[section]) : QVariant();
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

TRemoteSortProxy::TRemoteSortProxy(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(TRemoteListModel::RawRole);
}

void TRemoteSortProxy::SetMasks(const QStringList& masks) {
    if (masks == Masks_)
        return;
    Masks_ = masks;
    invalidateFilter();
}

bool TRemoteSortProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (Masks_.isEmpty())
        return true;
    const auto* model = static_cast<const TRemoteListModel*>(sourceModel());
    return model->IsFolder(sourceRow) || MatchesMaskList(model->Caption(sourceRow), Masks_);
}

bool TRemoteSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const auto* model = static_cast<const TRemoteListModel*>(sourceModel());
    const int a = left.row(), b = right.row();
    const bool folderA = model->IsFolder(a), folderB = model->IsFolder(b);
    // Folders come first whichever way the list is sorted; the proxy reverses the result
    // for a descending sort, so the folder rule is reversed here to survive that.
    if (folderA != folderB)
        return sortOrder() == Qt::AscendingOrder ? folderA : folderB;
    const TRemoteItem& x = model->Entry(a).Item;
    const TRemoteItem& y = model->Entry(b).Item;
    const int column = left.column();
    if (column == TRemoteListModel::colModified)
        return x.Date < y.Date;
    if (!folderA && column == TRemoteListModel::colSize)
        return x.Size < y.Size;
    if (!folderA && column == TRemoteListModel::colType)
        return model->TypeText(a).compare(model->TypeText(b), Qt::CaseInsensitive) < 0;
    return model->Caption(a).compare(model->Caption(b), Qt::CaseInsensitive) < 0;
}
