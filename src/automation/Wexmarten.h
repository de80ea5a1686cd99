#pragma once

#include "automation/AutomationState.h"
#include "transfer/TransferMonitor.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QObject>

class QDBusServiceWatcher;
class TfrmMain;
class THostView;
class TWexmartenEvents;

// The automation object at /Wexmarten: a thin layer over the main window's current host
// view, its current local view, the "General" queue and the window itself, offered on the
// session bus through three interfaces (the members, the events, the lifecycle). Every
// call comes on the window thread through the event loop. A call that cannot do its work
// answers with a D-Bus error and changes nothing.
class TWexmarten : public QObject, public QDBusContext, private ITransferQueueListener {
    Q_OBJECT
public:
    TWexmarten(TfrmMain& window, TAutomationState& state, QObject* parent = nullptr);
    ~TWexmarten() override;

    // Offers the object, then takes the bus name; false with the reason when either fails.
    bool Register(QDBusConnection bus, QString* error);

    TfrmMain& Window() const { return Window_; }
    TAutomationState& State() const { return State_; }

    // Checks for the members; each answers the call with an error and returns false (or
    // nothing) when it fails, so the member returns at once.
    bool Idle();
    THostView* HostView();
    THostView* ConnectedHostView();
    // The source row of the host list's row at the index (rows as the list shows them).
    bool Row(int index, int& row);
    void Fail(const QString& name, const QString& text);

    // Lifecycle: the caller's connection keeps the process alive; Release or that
    // caller leaving the bus ends it (after any open question).
    void Attach();
    void Release();

private:
    void HookWindow();
    void HostState(int state);
    void EndWhenIdle();
    void ItemFinished(TTransferItems* queue, TTransferItem* item) override;
    void ItemProgress(TTransferItems* queue, TTransferItem* item) override;

    TfrmMain& Window_;
    TAutomationState& State_;
    TWexmartenEvents* Events_ = nullptr;
    QDBusServiceWatcher* Callers_ = nullptr;
    QElapsedTimer LastProgress_;
    bool Ending_ = false;
};
