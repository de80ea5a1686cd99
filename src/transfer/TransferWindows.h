#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class TFTPComponent;
class TTransferItem;
class TTransferItems;

// The queue runs headless: every call it makes to a window or a view goes through
// one of these small interfaces, which the GUI implements (and tests do too). A
// missing implementation (null pointer) means "no such window".

// The main window: message boxes, the status bar, the application title and the
// command state.
class ITransferMainWindow {
public:
    virtual ~ITransferMainWindow() = default;
    virtual void ShowMessage(const QString& text) = 0;
    virtual void SetStatusText(const QString& text) = 0; // panel 1 of the status bar
    virtual void SetApplicationTitle(const QString& title) = 0;
    virtual void RefreshCommandState() = 0;
    // The menu entry that makes the progress window show itself when work is queued.
    virtual bool ShowTransferInfoChecked() const = 0;
};

// The progress window: one tab per queue, created hidden when first needed.
class ITransferProgressWindow {
public:
    virtual ~ITransferProgressWindow() = default;
    virtual void EnsureExists() = 0;
    virtual bool Exists() const = 0;
    // Selects the queue's tab (adding one captioned with the queue's name when it has
    // none) and re-reads it.
    virtual void ShowQueue(TTransferItems* queue) = 0;
    virtual void MakeVisible() = 0;
    virtual void SetTabCaption(TTransferItems* queue, const QString& caption) = 0;
    virtual void RemoveTab(TTransferItems* queue) = 0;
};

// The transfer manager: one tab per queue, created at the latest with the first queue.
class ITransferManagerWindow {
public:
    virtual ~ITransferManagerWindow() = default;
    // Makes sure the window exists, adds a tab carrying the queue, re-reads the tab.
    virtual void AddTab(TTransferItems* queue) = 0;
    virtual void SetTabCaption(TTransferItems* queue, const QString& caption) = 0;
    // Removes the queue's tab and re-reads the current one.
    virtual void RemoveTab(TTransferItems* queue) = 0;
};

// An item's row in the transfer manager's list.
class ITransferManagerRow {
public:
    virtual ~ITransferManagerRow() = default;
    virtual void SetSizeText(const QString& text) = 0;
};

// A file view the queue tells of a new entry at the destination.
class ITransferView {
public:
    // Items of the process's queues that still name the view forget it, so that one
    // ending later never reaches a view that is gone (a closed tab).
    virtual ~ITransferView();
    virtual void AddTransferredItem(TTransferItem& item, const QByteArray& folder, double date,
                                    int64_t size, uint16_t attributes, const QByteArray& name) = 0;
    // An item into the folder ended without success (failed or cancelled): what it left
    // there, and the free space, may have changed all the same.
    virtual void TransferEnded(const QByteArray& folder) { (void)folder; }
};

// A host view that lends its own session to its queue while single connections are
// the rule.
class ITransferHostView {
public:
    virtual ~ITransferHostView() = default;
    virtual TFTPComponent* OwnSession() = 0;
    // True while a command is adding a batch of items to the view's queue.
    virtual bool Queueing() const = 0;
    virtual void SetTransfersBusy(bool busy) = 0;
};

// The windows a queue talks to; each may be missing.
struct TTransferWindows {
    ITransferMainWindow* Main = nullptr;
    ITransferProgressWindow* Progress = nullptr;
    ITransferManagerWindow* Manager = nullptr;
};
