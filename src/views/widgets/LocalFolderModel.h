#pragma once

#include "views/widgets/PaneProxy.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QIcon>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

class QFileSystemWatcher;
class QTimer;

// One file or folder of the shown folder.
struct TLocalEntry {
    QString Name;
    QString Path;
    bool IsFolder = false;
    bool IsLink = false;
    int64_t Size = 0; // 0 for folders
    QDateTime Modified;
};

// The items of one local folder, read at once (so a caller may act on them right after
// showing the folder) and read again, keeping unchanged rows, when the folder changes on
// disk. There is no ".." row.
class TLocalFolderModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colName, colSize, colType, colModified, colCount };
    // The cell's value for sorting: name, size, type text, modification time.
    static constexpr int RawRole = TPaneProxy::RawRole;
    static constexpr int FolderRole = TPaneProxy::FolderRole;

    explicit TLocalFolderModel(QObject* parent = nullptr);
    ~TLocalFolderModel() override;

    // Reads the folder (an absolute, clean path). False, keeping the shown one, when it
    // cannot be read.
    bool SetFolder(const QString& path);
    QString FolderPath() const { return Folder_; }
    // Reads the shown folder again; false when it can no longer be read.
    bool Reread();

    // Dot files; hidden at creation.
    void SetShowHidden(bool show);
    bool ShowHidden() const { return ShowHidden_; }

    const TLocalEntry& Entry(int row) const { return Entries_[size_t(row)]; }
    int RowOfName(const QString& name) const;
    QString TypeText(int row) const;
    QIcon Icon(int row) const;

    // Called for an edited name; the rename itself rereads the folder.
    std::function<bool(int row, const QString& name)> RenameHandler;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

Q_SIGNALS:
    // A reread after a change on disk found the folder gone or closed.
    void FolderUnreadable();

private:
    bool ReadFolder(const QString& path, std::vector<TLocalEntry>& entries) const;
    void Merge(std::vector<TLocalEntry>& fresh);
    void Watch(const QString& path);
    void WatchFiles();

    QString Folder_;
    std::vector<TLocalEntry> Entries_;
    bool ShowHidden_ = false;
    QFileSystemWatcher* Watcher_ = nullptr;
    QTimer* RereadTimer_ = nullptr;
};

// Sorts on the raw values, folders first in either direction, names breaking ties; masks
// as both panes do.
class TLocalSortModel : public TPaneProxy {
    Q_OBJECT
public:
    using TPaneProxy::TPaneProxy;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
