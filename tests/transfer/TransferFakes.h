#pragma once

// Recording stand-ins for the windows and views the queue talks to.

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "settings/Settings.h"
#include "transfer/TransferItems.h"
#include "transfer/TransferItemsList.h"
#include "transfer/TransferQuestions.h"
#include "transfer/TransferWindows.h"

#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

struct TRecordingMainWindow : ITransferMainWindow {
    QStringList Messages, StatusTexts, Titles;
    void ShowMessage(const QString& text) override { Messages << text; }
    void SetStatusText(const QString& text) override { StatusTexts << text; }
    void SetApplicationTitle(const QString& title) override { Titles << title; }
    void RefreshCommandState() override {}
    bool ShowTransferInfoChecked() const override { return false; }
};

struct TRecordingProgressWindow : ITransferProgressWindow {
    bool Created = false;
    void EnsureExists() override { Created = true; }
    bool Exists() const override { return Created; }
    void ShowQueue(TTransferItems*) override {}
    void MakeVisible() override {}
    void SetTabCaption(TTransferItems*, const QString&) override {}
    void RemoveTab(TTransferItems*) override {}
};

struct TRecordingManagerWindow : ITransferManagerWindow {
    QList<TTransferItems*> Tabs;
    void AddTab(TTransferItems* queue) override { Tabs << queue; }
    void SetTabCaption(TTransferItems*, const QString&) override {}
    void RemoveTab(TTransferItems* queue) override { Tabs.removeAll(queue); }
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

// Transfer questions answered in order, Cancel once the answers run out; which came is kept
// ("O" overwrite, "R" restart), and the files the overwrite questions were about.
struct TScriptedTransferQuestions : ITransferQuestions {
    QList<int> Answers;
    QString Asked;
    QList<TExistingFile> Files;
    int AskOverwrite(const TExistingFile& file) override {
        Files << file;
        return Next('O');
    }
    int AskRestart(const QString&) override { return Next('R'); }
    int Next(char kind) {
        Asked += QLatin1Char(kind);
        return Answers.isEmpty() ? mrCancel : Answers.takeFirst();
    }
};

// The process-wide list wired to recording windows for the length of one test.
struct TWindowsFixture {
    TRecordingMainWindow Main;
    TRecordingProgressWindow Progress;
    TRecordingManagerWindow Manager;
    TWindowsFixture() { TransferItemsList().SetWindows({&Main, &Progress, &Manager}); }
    ~TWindowsFixture() { TransferItemsList().SetWindows({}); }
};

// Waits (bounded) until the queue has neither pending nor busy items.
inline bool WaitIdle(TTransferItems& queue, int timeoutMs = 20000) {
    return QTest::qWaitFor([&] { return queue.Idle(); }, timeoutMs);
}

// Every item is counted in exactly one state.
inline bool StatesAddUp(const TTransferItems& queue) {
    int sum = 0;
    for (int s = 0; s < ItemStateCount; ++s)
        sum += queue.StateCount(TItemState(s));
    return sum == queue.Count();
}

// How many of the queue's log lines, from the index on, start so (in the colour, if given).
inline qsizetype LogCount(const TTransferItems& queue, const QString& start,
                          std::optional<TColor> color = {}, qsizetype from = 0) {
    return std::count_if(queue.LogLines.begin() + from, queue.LogLines.end(), [&](const auto& l) {
        return l.Message.startsWith(start) && (!color || l.Color == *color);
    });
}

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
                                        const QByteArray& name, int64_t size, bool upload = false,
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
    // Adds the item, waits until the queue is idle and gives the item's state then; pending
    // when it was refused or the queue never came to rest.
    TItemState Run(std::unique_ptr<TTransferItem> item, int timeoutMs = 20000) {
        TTransferItem* added = item.get();
        return Queue->Add(item) >= 0 && WaitIdle(*Queue, timeoutMs) ? added->State() : isPending;
    }
};
