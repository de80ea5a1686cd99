#include "automation/Wexmarten.h"

#include "app/MainWindow.h"
#include "automation/WexmartenAdaptors.h"
#include "transfer/TransferItem.h"
#include "views/HostBrowser.h"
#include "views/widgets/HostView.h"

#include <QApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QTimer>

namespace {

// The client sees progress at a pace it can follow.
constexpr int kProgressIntervalMs = 100;
// How often a pending end looks again whether the open question has closed.
constexpr int kEndRetryMs = 200;
constexpr int kBusCheckMs = 1000;

} // namespace

TWexmarten::TWexmarten(TfrmMain& window, TAutomationState& state, QObject* parent)
    : QObject(parent), Window_(window), State_(state) {
    new TWexmartenMembers(this);
    Events_ = new TWexmartenEvents(this);
    new TWexmartenLifecycle(this);
    HookWindow();
    Window_.Monitor().AddListener(this);
}

TWexmarten::~TWexmarten() {
    Window_.Monitor().RemoveListener(this);
    Window_.AutomationHooks = {};
}

bool TWexmarten::Register(QDBusConnection bus, QString* error) {
    if (!bus.isConnected()) {
        *error = QStringLiteral("No session bus: %1").arg(bus.lastError().message());
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(AutomationPath), this,
                            QDBusConnection::ExportAdaptors)) {
        *error = QStringLiteral("Cannot offer the object %1").arg(AutomationPath);
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(AutomationService))) {
        *error = QStringLiteral("Cannot take the name %1: %2")
                     .arg(QString::fromLatin1(AutomationService), bus.lastError().message());
        return false;
    }
    Callers_ =
        new QDBusServiceWatcher(QString(), bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(Callers_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { EndWhenIdle(); });
    // A bus that went away takes every client with it; nobody could end this process.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this, bus] {
        if (!bus.isConnected()) EndWhenIdle();
    });
    watch->start(kBusCheckMs);
    return true;
}

void TWexmarten::HookWindow() {
    TfrmMain::TAutomationHooks& hooks = Window_.AutomationHooks;
    hooks.HostState = [this](THostView*, int state) { HostState(state); };
    hooks.HostLog = [this](THostView*, const QString& text) { Q_EMIT Events_->OnLog(text); };
    hooks.TransfersEnded = [this] { Q_EMIT Events_->OnAllItemsCompleted(); };
    hooks.Accepted = [this] { Q_EMIT Events_->OnAccept(); };
    hooks.Cancelled = [this] { Q_EMIT Events_->OnCancel(); };
}

void TWexmarten::HostState(int state) {
    switch (state) {
    case hsConnected:
        Q_EMIT Events_->OnConnected();
        break;
    case hsDisconnected:
        Q_EMIT Events_->OnDisconnected();
        break;
    case hsLoggedIn:
        Q_EMIT Events_->OnLoggedIn();
        break;
    case hsCantLogIn:
        Q_EMIT Events_->OnCantLogin();
        break;
    default:
        break;
    }
}

void TWexmarten::ItemFinished(TTransferItems*, TTransferItem* item) {
    const QByteArray path = item->DestFolder + item->FileName;
    const QString name = item->Upload ? QString::fromUtf8(path) : QFile::decodeName(path);
    Q_EMIT Events_->OnItemCompleted(name);
    Q_EMIT Events_->OnItemFinished(name, int(item->State()), item->ErrorText);
}

void TWexmarten::ItemProgress(TTransferItems*, TTransferItem* item) {
    if (LastProgress_.isValid() && LastProgress_.elapsed() < kProgressIntervalMs) return;
    LastProgress_.start();
    Q_EMIT Events_->OnProgress(item->Index(), item->BytesDone, item->Size);
}

void TWexmarten::Fail(const QString& name, const QString& text) {
    if (calledFromDBus()) sendErrorReply(name, text);
}

bool TWexmarten::Idle() {
    // A question on screen runs its own event loop; a call served under it could free
    // what the question is about.
    if (!QApplication::activeModalWidget()) return true;
    Fail(QStringLiteral("com.kelvenar.Marrowby.Error.Busy"),
         QStringLiteral("A question is open in Tolvar; try again once it is answered."));
    return false;
}

THostView* TWexmarten::HostView() {
    if (!Idle()) return nullptr;
    THostView* view = Window_.CurrentHostView();
    if (!view) Fail(QStringLiteral("com.kelvenar.Marrowby.Error.Failed"), "No host view.");
    return view;
}

THostView* TWexmarten::ConnectedHostView() {
    THostView* view = HostView();
    if (view && !view->Connected()) {
        Fail(QStringLiteral("com.kelvenar.Marrowby.Error.NotConnected"),
             QStringLiteral("The host view is not connected."));
        return nullptr;
    }
    return view;
}

bool TWexmarten::Row(int index, int& row) {
    THostView* view = HostView();
    if (!view) return false;
    const QList<int> rows = view->ShownRows();
    if (index < 0 || index >= rows.size()) {
        Fail(QStringLiteral("com.kelvenar.Marrowby.Error.IndexOutOfRange"),
             QStringLiteral("The index %1 is out of range: the list has %2 items.")
                 .arg(index)
                 .arg(rows.size()));
        return false;
    }
    row = rows.at(index);
    return true;
}

void TWexmarten::Attach() {
    if (Callers_ && calledFromDBus()) Callers_->addWatchedService(message().service());
}

void TWexmarten::Release() {
    // Answered first: the caller hears of its call before the process goes.
    QTimer::singleShot(0, this, &TWexmarten::EndWhenIdle);
}

void TWexmarten::EndWhenIdle() {
    if (Ending_) return;
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(kEndRetryMs, this, &TWexmarten::EndWhenIdle);
        return;
    }
    Ending_ = true;
    Window_.hide();
    // The window's quit: every session disconnects (QUIT), then the loop ends.
    Window_.close();
}
