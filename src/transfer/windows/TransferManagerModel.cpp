#include "transfer/windows/TransferManagerModel.h"

#include "listing/FtpUtils.h"
#include "transfer/TransferFigures.h"
#include "transfer/TransferItems.h"
#include "views/widgets/ThemeIcons.h"

#include <QApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QPainter>
#include <QStyle>

namespace {

// The direction picture (a file or folder with an arrow down or up) beside the state's.
QIcon RowIcon(bool folder, bool upload, int state) {
    static const struct {
        const char* Name;
        QStyle::StandardPixmap Fallback;
    } states[] = {{"appointment-soon", QStyle::SP_MediaPause},
                  {"media-playback-start", QStyle::SP_MediaPlay},
                  {"emblem-default", QStyle::SP_DialogApplyButton},
                  {"process-stop", QStyle::SP_MediaStop},
                  {"dialog-error", QStyle::SP_MessageBoxCritical}};
    QPixmap picture(36, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    const QIcon base = folder ? ThemeIcon("folder", QStyle::SP_DirIcon)
                              : ThemeIcon("text-x-generic", QStyle::SP_FileIcon);
    p.drawPixmap(0, 0, base.pixmap(16, 16));
    const QIcon arrow = upload ? ThemeIcon("go-up", QStyle::SP_ArrowUp)
                               : ThemeIcon("go-down", QStyle::SP_ArrowDown);
    p.drawPixmap(8, 6, arrow.pixmap(10, 10));
    p.drawPixmap(20, 0, ThemeIcon(states[state].Name, states[state].Fallback).pixmap(16, 16));
    p.end();
    return QIcon(picture);
}

} // namespace

TTransferManagerModel::TTransferManagerModel(TTransferMonitor& monitor, QObject* parent)
    : QAbstractTableModel(parent), Monitor_(monitor) {
    for (TTransferItems* queue : monitor.Queues())
        for (int i = 0; i < queue->Count(); ++i)
            AddRow(queue, queue->Item(i));
    monitor.AddListener(this);
    Tick_.setInterval(1000);
    connect(&Tick_, &QTimer::timeout, this, &TTransferManagerModel::FlushProgress);
    Tick_.start();
}

TTransferManagerModel::~TTransferManagerModel() {
    Monitor_.RemoveListener(this);
}

int TTransferManagerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Rows_.size());
}

int TTransferManagerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

void TTransferManagerModel::Fill(TRow& row) const {
    const TTransferItem& item = *row.Item;
    row.Size = FormatThousands(QString::number(item.Size));
    const QString source = DisplayText(item.SourceFolder), dest = DisplayText(item.DestFolder);
    row.Local = item.Upload ? source : dest;
    row.Host = item.Upload ? dest : source;
    row.Status = ItemStatusText(item);
    row.State = item.State();
    row.Dirty = false;
}

QVariant TTransferManagerModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const TRow& row = Rows_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case colFile:
            return DisplayText(row.Item->FileName);
        case colSize:
            return row.Size;
        case colLocal:
            return row.Local;
        case colHost:
            return row.Host;
        case colStatus:
            return row.Status;
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == colFile) {
            const int direction = 2 * row.Item->IsFolder + row.Item->Upload;
            QIcon& icon = const_cast<QIcon&>(Icons_[direction][row.State]);
            if (icon.isNull()) icon = RowIcon(row.Item->IsFolder, row.Item->Upload, row.State);
            return icon;
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == colSize) return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case QueueRole:
        return QVariant::fromValue(reinterpret_cast<quintptr>(row.Queue));
    case StateRole:
        return row.State;
    case RawSizeRole:
        return QVariant::fromValue<qint64>(row.Item->Size);
    }
    return QVariant();
}

QVariant TTransferManagerModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (orientation != Qt::Horizontal) return QVariant();
    if (role == Qt::TextAlignmentRole && section == colSize)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return QVariant();
    static const char* const captions[] = {"File", "Size", "Local Directory", "Host Directory",
                                           "Status"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(captions[section])
                                                 : QVariant();
}

Qt::ItemFlags TTransferManagerModel::flags(const QModelIndex& index) const {
    // Rows are dropped onto rows only, never between them or onto empty space.
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
}

QStringList TTransferManagerModel::mimeTypes() const {
    return {QString::fromLatin1(MimeType)};
}

QMimeData* TTransferManagerModel::mimeData(const QModelIndexList& indexes) const {
    // The row's id, not its item: the item may be gone by the time of the drop.
    if (indexes.isEmpty() || !indexes.first().isValid()) return nullptr;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << Rows_.at(indexes.first().row()).Id;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(MimeType), bytes);
    return mime;
}

bool TTransferManagerModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                            int, const QModelIndex& parent) const {
    if (!data || action != Qt::MoveAction || !data->hasFormat(QString::fromLatin1(MimeType)))
        return false;
    return parent.isValid() || (row >= 0 && row < rowCount());
}

bool TTransferManagerModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                         int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    QDataStream in(data->data(QString::fromLatin1(MimeType)));
    quint64 id = 0;
    in >> id;
    const auto dragged =
        std::find_if(Rows_.cbegin(), Rows_.cend(), [id](const TRow& r) { return r.Id == id; });
    if (dragged == Rows_.cend()) return false;
    const TRow& target = Rows_.at(parent.isValid() ? parent.row() : row);
    if (target.Queue != dragged->Queue) return false;
    TTransferItems* queue = target.Queue;
    return MoveItem(queue, queue->IndexOf(dragged->Item), queue->IndexOf(target.Item));
}

TTransferItem* TTransferManagerModel::ItemAt(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? Rows_.at(index.row()).Item : nullptr;
}

TTransferItems* TTransferManagerModel::QueueAt(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? Rows_.at(index.row()).Queue : nullptr;
}

int TTransferManagerModel::RowOf(const TTransferItem* item) const {
    // Progress comes for the same row many times in a row, and the queue goes on with
    // the row after it.
    if (Hint_ < Rows_.size() && Rows_.at(Hint_).Item == item) return Hint_;
    if (Hint_ + 1 < Rows_.size() && Rows_.at(Hint_ + 1).Item == item) return ++Hint_;
    for (int i = 0; i < Rows_.size(); ++i)
        if (Rows_.at(i).Item == item) return Hint_ = i;
    return -1;
}

QModelIndex TTransferManagerModel::IndexOf(const TTransferItem* item, int column) const {
    const int row = RowOf(item);
    return row < 0 ? QModelIndex() : index(row, column);
}

bool TTransferManagerModel::MoveItem(TTransferItems* queue, int from, int to) {
    if (!queue || from < 0 || to < 0 || from >= queue->Count() || to >= queue->Count() ||
        from == to)
        return false;
    const int source = RowOf(queue->Item(from)), target = RowOf(queue->Item(to));
    if (source < 0 || target < 0) return false;
    // The row goes just before the target's row when moving up, just after it when
    // moving down; rows of other queues in between keep their places.
    const int destination = to < from ? target : target + 1;
    if (!beginMoveRows(QModelIndex(), source, source, QModelIndex(), destination)) return false;
    queue->Move(from, to);
    Rows_.move(source, destination > source ? destination - 1 : destination);
    endMoveRows();
    return true;
}

void TTransferManagerModel::FlushProgress() {
    for (int i = 0; i < Rows_.size(); ++i)
        if (Rows_.at(i).Dirty) Refresh(i);
}

void TTransferManagerModel::Refresh(int i) {
    TRow& row = Rows_[i];
    const TRow before = row;
    Fill(row);
    if (row.Size == before.Size && row.Status == before.Status && row.State == before.State) return;
    Q_EMIT dataChanged(index(i, 0), index(i, ColumnCount - 1));
}

void TTransferManagerModel::AddRow(TTransferItems* queue, TTransferItem* item) {
    TRow row;
    row.Queue = queue;
    row.Item = item;
    row.Id = NextId_++;
    Fill(row);
    Rows_.append(row);
}

void TTransferManagerModel::QueueAdded(TTransferItems* queue) {
    if (queue->Count() == 0) return;
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + queue->Count() - 1);
    for (int i = 0; i < queue->Count(); ++i)
        AddRow(queue, queue->Item(i));
    endInsertRows();
}

void TTransferManagerModel::QueueRemoved(TTransferItems* queue) {
    for (int i = static_cast<int>(Rows_.size()) - 1; i >= 0; --i) {
        if (Rows_.at(i).Queue != queue) continue;
        beginRemoveRows(QModelIndex(), i, i);
        Rows_.removeAt(i);
        endRemoveRows();
    }
}

void TTransferManagerModel::ItemAdded(TTransferItems* queue, TTransferItem* item) {
    beginInsertRows(QModelIndex(), rowCount(), rowCount());
    AddRow(queue, item);
    endInsertRows();
}

void TTransferManagerModel::ItemRemoved(TTransferItems*, TTransferItem* item) {
    const int row = RowOf(item);
    if (row < 0) return;
    beginRemoveRows(QModelIndex(), row, row);
    Rows_.removeAt(row);
    endRemoveRows();
}

void TTransferManagerModel::ItemStateChanged(TTransferItems*, TTransferItem* item) {
    if (const int row = RowOf(item); row >= 0) Refresh(row);
}

void TTransferManagerModel::ItemStarted(TTransferItems* queue, TTransferItem* item) {
    ItemStateChanged(queue, item);
}

void TTransferManagerModel::ItemFinished(TTransferItems* queue, TTransferItem* item) {
    ItemStateChanged(queue, item);
}

void TTransferManagerModel::ItemProgress(TTransferItems*, TTransferItem* item) {
    if (const int row = RowOf(item); row >= 0) Rows_[row].Dirty = true;
}

void TTransferQueueFilter::SetQueue(TTransferItems* queue) {
    if (queue == Queue_) return;
    Queue_ = queue;
    invalidateFilter();
}

bool TTransferQueueFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return Queue_ && index.data(TTransferManagerModel::QueueRole).value<quintptr>() ==
                         reinterpret_cast<quintptr>(Queue_);
}
