#include "views/widgets/LocalFolderModel.h"

#include "views/PaneOrder.h"

#include "views/ViewFormat.h"
#include "views/widgets/ThemeIcons.h"

#include <QDirIterator>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QSet>
#include <QTimer>

namespace {
// Changes on disk come in bursts (a copy writes many times); one reread follows them.
constexpr int RereadDelayMs = 150;
// A folder's own watch tells of names that come and go, not of writes to the files in
// it; those files are watched one by one, up to this many (each is a kernel watch).
constexpr int MaxWatchedFiles = 1000;

bool SameEntry(const TLocalEntry& a, const TLocalEntry& b) {
    return a.Path == b.Path && a.IsFolder == b.IsFolder && a.IsLink == b.IsLink &&
           a.Size == b.Size && a.Modified == b.Modified;
}

} // namespace

TLocalFolderModel::TLocalFolderModel(QObject* parent)
    : QAbstractTableModel(parent), Watcher_(new QFileSystemWatcher(this)),
      RereadTimer_(new QTimer(this)) {
    RereadTimer_->setSingleShot(true);
    RereadTimer_->setInterval(RereadDelayMs);
    // Not restarted by every event: a file written without pause would otherwise never
    // show its new size.
    const auto changed = [this] {
        if (!RereadTimer_->isActive()) RereadTimer_->start();
    };
    connect(Watcher_, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(Watcher_, &QFileSystemWatcher::fileChanged, this, changed);
    connect(RereadTimer_, &QTimer::timeout, this, [this] {
        if (!Reread()) Q_EMIT FolderUnreadable();
    });
}

TLocalFolderModel::~TLocalFolderModel() = default;

bool TLocalFolderModel::ReadFolder(const QString& path, std::vector<TLocalEntry>& entries) const {
    // Listing a folder needs read permission, and its items' details need search permission.
    const QFileInfo folder(path);
    if (!folder.isDir() || !folder.isReadable() || !folder.isExecutable()) return false;
    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (ShowHidden_) filters |= QDir::Hidden;
    QDirIterator it(path, filters);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        TLocalEntry entry;
        entry.Name = info.fileName();
        entry.IsFolder = info.isDir();
        entry.Path = info.absoluteFilePath();
        entry.IsLink = info.isSymLink();
        entry.Size = entry.IsFolder ? 0 : info.size();
        entry.Modified = info.lastModified();
        entries.push_back(std::move(entry));
    }
    return true;
}

bool TLocalFolderModel::SetFolder(const QString& path) {
    if (path == Folder_) return Reread();
    std::vector<TLocalEntry> fresh;
    if (!ReadFolder(path, fresh)) return false;
    beginResetModel();
    Folder_ = path;
    Entries_ = std::move(fresh);
    endResetModel();
    Watch(path);
    return true;
}

bool TLocalFolderModel::Reread() {
    if (Folder_.isEmpty()) return false;
    std::vector<TLocalEntry> fresh;
    if (!ReadFolder(Folder_, fresh)) return false;
    Merge(fresh);
    WatchFiles();
    return true;
}

// Rows whose names stay keep their place (and so the selection); vanished ones go,
// new ones come at the end (the proxy sorts).
void TLocalFolderModel::Merge(std::vector<TLocalEntry>& fresh) {
    QHash<QString, size_t> byName;
    byName.reserve(qsizetype(fresh.size()));
    for (size_t i = 0; i < fresh.size(); ++i)
        byName.insert(fresh[i].Name, i);

    int row = rowCount() - 1;
    while (row >= 0) {
        if (byName.contains(Entries_[size_t(row)].Name)) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !byName.contains(Entries_[size_t(first - 1)].Name))
            --first;
        beginRemoveRows({}, first, row);
        Entries_.erase(Entries_.begin() + first, Entries_.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }

    std::vector<bool> shown(fresh.size(), false);
    for (int r = 0; r < rowCount(); ++r) {
        const size_t i = byName.value(Entries_[size_t(r)].Name);
        shown[i] = true;
        if (!SameEntry(Entries_[size_t(r)], fresh[i])) {
            Entries_[size_t(r)] = std::move(fresh[i]);
            Q_EMIT dataChanged(index(r, 0), index(r, colCount - 1));
        }
    }

    const auto added = std::count(shown.begin(), shown.end(), false);
    if (added == 0) return;
    beginInsertRows({}, rowCount(), rowCount() + int(added) - 1);
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (!shown[i]) Entries_.push_back(std::move(fresh[i]));
    }
    endInsertRows();
}

void TLocalFolderModel::Watch(const QString& path) {
    const QStringList watched = Watcher_->directories() + Watcher_->files();
    if (!watched.isEmpty()) Watcher_->removePaths(watched);
    Watcher_->addPath(path);
    WatchFiles();
}

void TLocalFolderModel::WatchFiles() {
    QSet<QString> wanted;
    for (const TLocalEntry& entry : Entries_) {
        if (wanted.size() >= MaxWatchedFiles) break;
        if (!entry.IsFolder) wanted.insert(entry.Path);
    }
    QStringList gone;
    for (const QString& path : Watcher_->files())
        if (!wanted.remove(path)) gone << path;
    if (!gone.isEmpty()) Watcher_->removePaths(gone);
    if (!wanted.isEmpty()) Watcher_->addPaths(QStringList(wanted.cbegin(), wanted.cend()));
}

void TLocalFolderModel::SetShowHidden(bool show) {
    if (show == ShowHidden_) return;
    ShowHidden_ = show;
    Reread();
}

int TLocalFolderModel::RowOfName(const QString& name) const {
    for (size_t row = 0; row < Entries_.size(); ++row) {
        if (Entries_[row].Name == name) return int(row);
    }
    return -1;
}

QString TLocalFolderModel::TypeText(int row) const {
    const TLocalEntry& entry = Entry(row);
    if (entry.IsFolder) return QStringLiteral("File Folder");
    return FileTypeText(entry.Name);
}

QIcon TLocalFolderModel::Icon(int row) const {
    const TLocalEntry& entry = Entry(row);
    return entry.IsFolder ? FolderIcon() : FileTypeIcon(entry.Name);
}

int TLocalFolderModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(Entries_.size());
}

int TLocalFolderModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : colCount;
}

QVariant TLocalFolderModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TLocalEntry& entry = Entry(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (column) {
        case colName:
            return entry.Name;
        case colSize:
            return entry.IsFolder ? QString() : KilobyteText(entry.Size);
        case colType:
            return TypeText(index.row());
        case colModified:
            return ModifiedText(entry.Modified);
        }
        break;
    case Qt::DecorationRole:
        if (column == colName) return Icon(index.row());
        break;
    case Qt::TextAlignmentRole:
        if (column == colSize) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case RawRole:
        switch (column) {
        case colName:
            return entry.Name;
        case colSize:
            return qint64(entry.Size);
        case colType:
            return TypeText(index.row());
        case colModified:
            return entry.Modified;
        }
        break;
    case FolderRole:
        return entry.IsFolder;
    default:
        break;
    }
    return {};
}

bool TLocalFolderModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != colName ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    if (RenameHandler) RenameHandler(index.row(), value.toString());
    // The folder's reread shows the new name; nothing here changes.
    return false;
}

QVariant TLocalFolderModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case colName:
        return QStringLiteral("Name");
    case colSize:
        return QStringLiteral("Size");
    case colType:
        return QStringLiteral("Type");
    case colModified:
        return QStringLiteral("Modified");
    }
    return {};
}

Qt::ItemFlags TLocalFolderModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == colName) flags |= Qt::ItemIsEditable;
    return flags;
}

bool TLocalSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const auto row = [](const QModelIndex& index) {
        const auto raw = [&](int column) {
            return index.siblingAtColumn(column).data(TLocalFolderModel::RawRole);
        };
        TPaneRow r;
        r.Folder = index.data(TLocalFolderModel::FolderRole).toBool();
        r.Name = raw(TLocalFolderModel::colName).toString();
        const int column = index.column();
        if (column == TLocalFolderModel::colSize) r.Size = raw(column).toLongLong();
        if (column == TLocalFolderModel::colType) r.Type = raw(column).toString();
        if (column == TLocalFolderModel::colModified)
            r.Date = static_cast<double>(raw(column).toDateTime().toMSecsSinceEpoch());
        return r;
    };
    // Descending, the proxy asks the other way round: the shared order, so turned that
    // folders stay first.
    if (sortOrder() == Qt::DescendingOrder)
        return PaneRowBefore(row(right), row(left), left.column(), true);
    return PaneRowBefore(row(left), row(right), left.column(), false);
}
