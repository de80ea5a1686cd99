#include "transfer/QueueFile.h"

#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferType.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr int FormatVersion = 1;
const QString Format = QStringLiteral("tolvar-transfer-queue");

// Names and folders are bytes: percent-encoded, they read back exactly whatever they hold.
QString Bytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toPercentEncoding("/ "));
}
QByteArray FromBytes(const QJsonValue& value) {
    return QByteArray::fromPercentEncoding(value.toString().toLatin1());
}
// Never in clear: the site list's scrambled form, as hexadecimal digits.
QString Secret(const QByteArray& text) {
    return QString::fromLatin1(ScrambleText(text).toHex());
}
QByteArray FromSecret(const QJsonValue& value) {
    return ScrambleText(QByteArray::fromHex(value.toString().toLatin1()));
}

} // namespace

// An item as the queue holds it at the moment of the snapshot: values only, so that the
// writer's thread turns it into its record while the queue goes on.
struct TSavedItem {
    QString Host;
    int32_t Port = 0;
    QByteArray User, Password, Account;
    TSessionSecurity Security;
    QByteArray SourceFolder, DestFolder, FileName, DestFileName;
    int64_t Size = 0;
    double Date = 0;
    int64_t StartOffset = 0;
    bool Upload = false, IsFolder = false, IsHTTP = false, UseFirewall = false, Started = false;
    QString URL;
    bool ServerKeepsLF = false;
};

struct TQueueSnapshot {
    std::vector<TSavedItem> Items;
    int64_t SavedAt = 0;
};

namespace {

TSavedItem Saved(const TTransferItem& item) {
    return {item.Host,         item.Port,         item.User,
            item.Password,     item.Account,      item.Security,
            item.SourceFolder, item.DestFolder,   item.FileName,
            item.DestFileName, item.Size,         item.Date,
            item.StartOffset,  item.Upload,       item.IsFolder,
            item.IsHTTP,       item.UseFirewall,  item.State() == isBusy,
            item.URL,          item.ServerKeepsLF};
}

// Only what differs from a new item is written: a record stays well under a kilobyte.
QJsonObject Record(const TSavedItem& item) {
    QJsonObject r;
    const auto put = [&r](const char* key, const QJsonValue& value, bool keep) {
        if (keep) r.insert(QLatin1String(key), value);
    };
    put("host", item.Host, true);
    put("port", item.Port, true);
    put("user", Bytes(item.User), !item.User.isEmpty());
    put("password", Secret(item.Password), !item.Password.isEmpty());
    put("account", Secret(item.Account), !item.Account.isEmpty());
    put("encryption", int(item.Security.Encryption), item.Security.Encryption != TEncryption::None);
    QJsonArray trusted;
    for (const QByteArray& fingerprint : item.Security.TrustedFingerprints)
        trusted.append(QString::fromLatin1(fingerprint));
    put("trusted", trusted, !trusted.isEmpty());
    put("anyCertificate", true, item.Security.AcceptAnyCertificate);
    put("from", Bytes(item.SourceFolder), true);
    put("to", Bytes(item.DestFolder), true);
    put("name", Bytes(item.FileName), true);
    put("destName", Bytes(item.DestFileName), item.DestFileName != item.FileName);
    put("size", double(item.Size), true);
    put("date", item.Date, item.Date != 0);
    put("offset", double(item.StartOffset), item.StartOffset != 0);
    put("upload", true, item.Upload);
    put("folder", true, item.IsFolder);
    put("url", item.URL, item.IsHTTP);
    put("firewall", true, item.UseFirewall);
    put("started", true, item.Started);
    put("lf", true, item.ServerKeepsLF);
    return r;
}

std::unique_ptr<TTransferItem> ItemFrom(const QJsonObject& r) {
    auto item = std::make_unique<TTransferItem>();
    item->Host = r.value(QLatin1String("host")).toString();
    item->Port = r.value(QLatin1String("port")).toInt();
    item->User = FromBytes(r.value(QLatin1String("user")));
    item->Password = FromSecret(r.value(QLatin1String("password")));
    item->Account = FromSecret(r.value(QLatin1String("account")));
    item->Security.Encryption =
        static_cast<TEncryption>(std::clamp(r.value(QLatin1String("encryption")).toInt(), 0, 3));
    for (const QJsonValue& fingerprint : r.value(QLatin1String("trusted")).toArray())
        item->Security.TrustedFingerprints.append(fingerprint.toString().toLatin1());
    item->Security.AcceptAnyCertificate = r.value(QLatin1String("anyCertificate")).toBool();
    item->SourceFolder = FromBytes(r.value(QLatin1String("from")));
    item->DestFolder = FromBytes(r.value(QLatin1String("to")));
    item->FileName = FromBytes(r.value(QLatin1String("name")));
    item->DestFileName = FromBytes(r.value(QLatin1String("destName")));
    item->Size = static_cast<int64_t>(r.value(QLatin1String("size")).toDouble());
    item->Date = r.value(QLatin1String("date")).toDouble();
    item->StartOffset = static_cast<int64_t>(r.value(QLatin1String("offset")).toDouble());
    item->Upload = r.value(QLatin1String("upload")).toBool();
    item->IsFolder = r.value(QLatin1String("folder")).toBool();
    item->URL = r.value(QLatin1String("url")).toString();
    item->IsHTTP = !item->URL.isEmpty();
    item->UseFirewall = r.value(QLatin1String("firewall")).toBool();
    item->ServerKeepsLF = r.value(QLatin1String("lf")).toBool();
    if (item->DestFileName.isEmpty()) item->DestFileName = item->FileName;
    return item;
}

bool Readable(const QJsonObject& r) {
    return r.value(QLatin1String("host")).isString() && r.value(QLatin1String("name")).isString() &&
           !r.value(QLatin1String("name")).toString().isEmpty() &&
           r.value(QLatin1String("to")).isString() && r.value(QLatin1String("size")).isDouble();
}

} // namespace

QString QueueFilePath(const QString& settingsFile) {
    return QFileInfo(settingsFile).absolutePath() + QStringLiteral("/TransferQueue.json");
}

TQueueFileContents ReadQueueFile(const QString& path) {
    TQueueFileContents contents;
    QFile file(path);
    if (!file.exists()) return contents;
    contents.State = TQueueFileContents::TState::Corrupt;
    // Far beyond any real queue: a file this big is not ours.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 256 * 1024 * 1024) return contents;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject top = document.object();
    if (error.error != QJsonParseError::NoError || top.value(QLatin1String("format")) != Format ||
        top.value(QLatin1String("version")).toInt() != FormatVersion ||
        !top.value(QLatin1String("items")).isArray())
        return contents;
    contents.Records = top.value(QLatin1String("items")).toArray();
    for (const QJsonValue& record : std::as_const(contents.Records))
        if (!record.isObject() || !Readable(record.toObject())) return contents;
    contents.SavedAt = static_cast<int64_t>(top.value(QLatin1String("saved")).toDouble());
    contents.State = contents.Records.isEmpty() ? TQueueFileContents::TState::Empty
                                                : TQueueFileContents::TState::Pending;
    return contents;
}

QString SetQueueFileAside(const QString& path) {
    QString aside = path + QStringLiteral(".bad");
    for (int n = 2; QFile::exists(aside) && n < 1000; ++n)
        aside = path + QStringLiteral(".bad") + QString::number(n);
    if (!QFile::rename(path, aside)) {
        QFile::remove(path);
        return QStringLiteral("The saved transfer queue %1 could not be read and was removed.")
            .arg(path);
    }
    return QStringLiteral("The saved transfer queue could not be read; it was set aside as %1.")
        .arg(aside);
}

int RestoreQueueItems(const TQueueFileContents& contents, TTransferItems& queue,
                      const TSettings& settings) {
    const QDateTime savedAt = QDateTime::fromMSecsSinceEpoch(contents.SavedAt);
    int added = 0;
    for (const QJsonValue& value : contents.Records) {
        const QJsonObject record = value.toObject();
        std::unique_ptr<TTransferItem> item = ItemFrom(record);
        if (!item->Upload && !item->IsFolder) {
            const QFileInfo local(item->LocalPath());
            // Begun before the file was written, or since (its change time says so): the
            // local file is the item's own work. A file not touched since is one the item
            // was queued to replace or resume, as decided then.
            const bool begun = record.value(QLatin1String("started")).toBool() ||
                               (local.exists() && local.metadataChangeTime() > savedAt);
            if (begun && local.exists()) {
                if (item->Size > 0 && local.size() >= item->Size) continue; // done already
                const bool resumes =
                    !item->IsHTTP && settings.TryToResume > 0 &&
                    TransferTypeFor(item->FileName, settings, item->ServerKeepsLF) == ttBinary;
                item->StartOffset = resumes ? local.size() : 0;
            }
        } else if (item->Upload && !item->IsFolder &&
                   record.value(QLatin1String("started")).toBool()) {
            // How much reached the server is asked when the item starts again.
            item->StartOffset = 0;
            item->ResumeAtServer =
                settings.TryToResume > 0 &&
                TransferTypeFor(item->FileName, settings, item->ServerKeepsLF) == ttBinary;
        }
        if (queue.Add(item) >= 0) ++added;
    }
    return added;
}

TSavedQueueStart OpenSavedQueue(const QString& path,
                                const std::function<TSavedQueueChoice(int count)>& ask,
                                TTransferItems& queue, const TSettings& settings) {
    TSavedQueueStart start;
    const TQueueFileContents contents = ReadQueueFile(path);
    using S = TQueueFileContents::TState;
    if (contents.State == S::Corrupt) {
        start.Message = SetQueueFileAside(path);
    } else if (contents.State == S::Empty) {
        QFile::remove(path);
    } else if (contents.State == S::Pending) {
        switch (ask(static_cast<int>(contents.Records.size()))) {
        case TSavedQueueChoice::Resume:
            start.Resumed = RestoreQueueItems(contents, queue, settings);
            break;
        case TSavedQueueChoice::Discard:
            QFile::remove(path);
            break;
        case TSavedQueueChoice::Later:
            start.Kept = contents.Records;
            break;
        }
    }
    return start;
}

TQueueStore::TQueueStore(TTransferMonitor& monitor, const QString& path, QJsonArray kept)
    : Monitor_(monitor), Path_(path), Kept_(std::move(kept)) {
    Timer_.setSingleShot(true);
    Timer_.setInterval(IntervalMs);
    QObject::connect(&Timer_, &QTimer::timeout, [this] {
        auto snapshot = Snapshot();
        {
            const std::lock_guard lock(Lock_);
            Next_ = std::move(snapshot);
        }
        Wake_.notify_one();
    });
    Writer_ = std::thread([this] { WriterLoop(); });
    monitor.AddListener(this);
}

TQueueStore::~TQueueStore() {
    Monitor_.RemoveListener(this);
    if (Timer_.isActive()) Flush();
    {
        const std::lock_guard lock(Lock_);
        Stop_ = true;
    }
    Wake_.notify_one();
    Writer_.join();
}

void TQueueStore::Changed() {
    // Throttled: a burst of changes (a thousand small files a second) is one write.
    if (!Timer_.isActive()) Timer_.start();
}

void TQueueStore::Flush() {
    Timer_.stop();
    auto snapshot = Snapshot();
    std::unique_lock lock(Lock_);
    Next_ = std::move(snapshot);
    Wake_.notify_one();
    Wake_.wait(lock, [this] { return !Next_ && !Writing_; });
}

std::shared_ptr<const TQueueSnapshot> TQueueStore::Snapshot() const {
    auto snapshot = std::make_shared<TQueueSnapshot>();
    snapshot->SavedAt = QDateTime::currentMSecsSinceEpoch();
    for (const TTransferItems* queue : Monitor_.Queues())
        for (int i = 0; i < queue->Count(); ++i)
            if (const TTransferItem* item = queue->Item(i); item->State() <= isBusy)
                snapshot->Items.push_back(Saved(*item));
    return snapshot;
}

void TQueueStore::WriterLoop() {
    std::unique_lock lock(Lock_);
    for (;;) {
        Wake_.wait(lock, [this] { return Next_ || Stop_; });
        if (!Next_) return;
        const std::shared_ptr<const TQueueSnapshot> snapshot = std::move(Next_);
        Next_.reset();
        Writing_ = true;
        lock.unlock();
        Write(*snapshot);
        lock.lock();
        Writing_ = false;
        Wake_.notify_all();
    }
}

void TQueueStore::Write(const TQueueSnapshot& snapshot) {
    QJsonArray items = Kept_;
    for (const TSavedItem& item : snapshot.Items)
        items.append(Record(item));
    if (items.isEmpty()) {
        QFile::remove(Path_); // nothing pending: no file
        return;
    }
    QJsonObject top;
    top.insert(QLatin1String("format"), Format);
    top.insert(QLatin1String("version"), FormatVersion);
    top.insert(QLatin1String("saved"), double(snapshot.SavedAt));
    top.insert(QLatin1String("items"), items);
    // Written whole beside the old one and then renamed over it: a crash leaves one or
    // the other, never half a file.
    QSaveFile file(Path_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(top).toJson(QJsonDocument::Compact));
        file.commit();
    }
}
