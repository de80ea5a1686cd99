#pragma once

// Recording stand-ins for the windows and views the queue talks to.

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferWindows.h"

#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct TRecordingMainWindow : ITransferMainWindow {
    QStringList Messages, StatusTexts, Titles;
    int CommandRefreshes = 0;
    bool ShowTransferInfo = false;
    void ShowMessage(const QString& text) override { Messages << text; }
    void SetStatusText(const QString& text) override { StatusTexts << text; }
    void SetApplicationTitle(const QString& title) override { Titles << title; }
    void RefreshCommandState() override { ++CommandRefreshes; }
    bool ShowTransferInfoChecked() const override { return ShowTransferInfo; }
};

struct TRecordingProgressWindow : ITransferProgressWindow {
    bool Created = false, Visible = false;
    QList<TTransferItems*> Tabs;
    void EnsureExists() override { Created = true; }
    bool Exists() const override { return Created; }
    void ShowQueue(TTransferItems* queue) override {
        if (!Tabs.contains(queue)) Tabs << queue;
    }
    void MakeVisible() override { Visible = true; }
    void SetTabCaption(TTransferItems*, const QString&) override {}
    void RemoveTab(TTransferItems* queue) override { Tabs.removeAll(queue); }
};

struct TRecordingManagerWindow : ITransferManagerWindow {
    QList<TTransferItems*> Tabs;
    QStringList Captions;
    void AddTab(TTransferItems* queue) override { Tabs << queue; }
    void SetTabCaption(TTransferItems*, const QString& caption) override { Captions << caption; }
    void RemoveTab(TTransferItems* queue) override { Tabs.removeAll(queue); }
};

struct TRecordingRow : ITransferManagerRow {
    QString SizeText;
    void SetSizeText(const QString& text) override { SizeText = text; }
};

struct TRecordingView : ITransferView {
    struct TEntry {
        QByteArray Folder, Name;
        int64_t Size;
        uint16_t Attributes;
    };
    QList<TEntry> Added;
    void AddTransferredItem(TTransferItem&, const QByteArray& folder, double, int64_t size,
                            uint16_t attributes, const QByteArray& name) override {
        Added.append({folder, name, size, attributes});
    }
};

// A host view with its own session, carrying handlers of its own.
struct TFakeHostView : ITransferHostView {
    QObject Window;
    TFTPComponent* Session = new TFTPComponent(&Window);
    bool Batch = false;
    QList<bool> BusyFlags;
    QStringList OwnLog;
    QList<TFTPCommand> OwnCompletions;
    int OwnProgress = 0;

    TFakeHostView() {
        Session->OnLog = [this](TFTPComponent*, const QString& m, TColor) { OwnLog << m; };
        Session->OnCommandCompleted = [this](TFTPComponent*, TFTPCommand c, bool, bool) {
            OwnCompletions << c;
        };
        Session->OnProgress = [this](TFTPComponent*, uint8_t, bool, int64_t) { ++OwnProgress; };
    }
    TFTPComponent* OwnSession() override { return Session; }
    bool Queueing() const override { return Batch; }
    void SetTransfersBusy(bool busy) override { BusyFlags << busy; }
};

// The process-wide list wired to recording windows for the length of one test.
struct TWindowsFixture {
    TRecordingMainWindow Main;
    TRecordingProgressWindow Progress;
    TRecordingManagerWindow Manager;
    TWindowsFixture() { TransferItemsList().SetWindows({&Main, &Progress, &Manager}); }
    ~TWindowsFixture() { TransferItemsList().SetWindows({}); }
};

// One queue of the process-wide list per test, with recording windows, a local folder and
// the settings the list reads; for suites whose queues reach servers.
struct TQueueFixture {
    TSettings Settings = DefaultSettings();
    TWindowsFixture* Windows = nullptr;
    std::unique_ptr<QTemporaryDir> Local;
    TTransferItems* Queue = nullptr;

    void SetUpAll() {
        EngineSettings().RetryCount = 1;
        EngineSettings().RetryDelay = 0;
        EngineSettings().KeepAlive = false;
        EngineSettings().TimeOut = 15000;
        TransferItemsList().SetSettings(&Settings);
    }
    void SetUp() {
        Windows = new TWindowsFixture;
        Local = std::make_unique<QTemporaryDir>();
        Queue = TransferItemsList().AddQueue();
    }
    void TearDown() {
        delete Queue;
        delete Windows;
        Local.reset();
        QTest::qWait(50); // sessions freed later go now
    }
    static void TearDownAll() {
        ShutdownTransferQueues();
        TFTPComponent::WaitForWorkers(5000);
    }
    QString LocalPath(const QString& name) const { return Local->filePath(name); }
    // An item between the local folder and remoteFolder on 127.0.0.1:port.
    std::unique_ptr<TTransferItem> Item(quint16 port, const QByteArray& remoteFolder,
                                        const QByteArray& name, int64_t size, bool upload,
                                        const QByteArray& user = "anonymous",
                                        const QByteArray& password = "queue@test") const {
        auto item = std::make_unique<TTransferItem>();
        item->Host = QStringLiteral("127.0.0.1");
        item->Port = port;
        item->User = user;
        item->Password = password;
        item->FileName = name;
        item->Size = size;
        item->Upload = upload;
        const QByteArray local = QFile::encodeName(Local->path()) + '/';
        item->SourceFolder = upload ? local : remoteFolder;
        item->DestFolder = upload ? remoteFolder : local;
        return item;
    }
};

// Waits (bounded) until the queue has neither pending nor busy items.
inline bool WaitIdle(TTransferItems& queue, int timeoutMs = 20000) {
    return QTest::qWaitFor([&] { return queue.Idle(); }, timeoutMs);
}
