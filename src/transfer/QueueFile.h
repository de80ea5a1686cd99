#pragma once

#include "transfer/TransferMonitor.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TTransferItems;
struct TQueueSnapshot;
struct TSettings;

// The queue file keeps the pending and running items of every queue, so that a run cut
// short (quit, crash, power cut) can go on at the next start. JSON with a format
// version; passwords only in the site list's scrambled form.

// The queue file beside the settings file.
QString QueueFilePath(const QString& settingsFile);

struct TQueueFileContents {
    enum class TState { Missing, Empty, Pending, Corrupt };
    TState State = TState::Missing;
    // One record per item, in queue order.
    QJsonArray Records;
    // When the file's items were taken (ms since the epoch): a destination changed later
    // belongs to an item that started after that.
    int64_t SavedAt = 0;
};

TQueueFileContents ReadQueueFile(const QString& path);
// Moves an unreadable queue file out of the way (beside it, ".bad" and a number when
// needed) and gives the message that says where; the file is never read again.
QString SetQueueFileAside(const QString& path);

// Adds the records' items to the queue: finished downloads are not redone, and a download
// that had begun goes on from the length of its local file. Returns how many were added.
int RestoreQueueItems(const TQueueFileContents& contents, TTransferItems& queue,
                      const TSettings& settings);

// What the user answers at start to a queue file with pending items.
enum class TSavedQueueChoice { Resume, Discard, Later };

struct TSavedQueueStart {
    // Records to keep writing until a later start resumes or discards them.
    QJsonArray Kept;
    // For the user: the file could not be read and was set aside.
    QString Message;
    int Resumed = 0;
};

// Acts on the queue file at start: an unreadable one is set aside; pending items lead to
// the one question, and are then added to the queue, dropped, or kept for later.
TSavedQueueStart OpenSavedQueue(const QString& path,
                                const std::function<TSavedQueueChoice(int count)>& ask,
                                TTransferItems& queue, const TSettings& settings);

// Writes every change of the queues' items to the queue file: at most a few times a second,
// through a safe replace, on a thread of its own. Records it was given to keep (a question
// answered "later") are written along with the queues' own. The file goes once nothing is
// pending.
class TQueueStore : private ITransferQueueListener {
public:
    TQueueStore(TTransferMonitor& monitor, const QString& path, QJsonArray kept = {});
    // Writes what is still unwritten and waits for it.
    ~TQueueStore() override;
    TQueueStore(const TQueueStore&) = delete;
    TQueueStore& operator=(const TQueueStore&) = delete;

    static constexpr int IntervalMs = 250;
    // Takes the items now and waits until they are on disk.
    void Flush();

private:
    void Changed();
    // Taken on the queues' thread; the writer's thread makes the file of it.
    std::shared_ptr<const TQueueSnapshot> Snapshot() const;
    void WriterLoop();
    void Write(const TQueueSnapshot& snapshot);

    void ItemAdded(TTransferItems*, TTransferItem*) override { Changed(); }
    void ItemRemoved(TTransferItems*, TTransferItem*) override { Changed(); }
    void ItemStateChanged(TTransferItems*, TTransferItem*) override { Changed(); }
    void ItemsMoved(TTransferItems*) override { Changed(); }
    void QueueRemoved(TTransferItems*) override { Changed(); }

    TTransferMonitor& Monitor_;
    const QString Path_;
    const QJsonArray Kept_;
    QTimer Timer_;

    std::mutex Lock_;
    std::condition_variable Wake_;
    std::shared_ptr<const TQueueSnapshot> Next_; // the newest not yet taken by the writer
    bool Writing_ = false;
    bool Stop_ = false;
    std::thread Writer_;
};
