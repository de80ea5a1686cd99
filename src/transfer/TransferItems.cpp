#include "transfer/TransferItems.h"

#include "listing/DebugLog.h"
#include "listing/FtpUtils.h"
#include "settings/Settings.h"
#include "transfer/TransferItemsList.h"

#include <QObject>
#include <QTimer>

#include <algorithm>

namespace {

// Everything that makes two items the same transfer, as one key.
QByteArray ItemKey(const TTransferItem& item) {
    QByteArray key;
    const QByteArray separator(1, '\0');
    for (const QByteArray& part :
         {item.FileName, item.SourceFolder, item.DestFolder, item.Host.toUtf8(), item.User,
          item.Password, item.Account, QByteArray::number(item.Size),
          QByteArray::number(item.Date, 'g', 17), QByteArray::number(item.Port),
          QByteArray::number(item.StartOffset), QByteArray::number(int(item.Upload)),
          QByteArray::number(int(item.IsFolder)),
          QByteArray::number(int(item.Security.Encryption))})
        key += part + separator;
    return key;
}

bool Active(TItemState state) {
    return state == isPending || state == isBusy;
}

const QString AppTitle = QStringLiteral("Tolvar");

} // namespace

TTransferItems::TTransferItems(TTransferItemsList* owner)
    : Owner(owner), Context_(std::make_unique<QObject>()) {
    if (ITransferManagerWindow* manager = Windows().Manager) manager->AddTab(this);
    // However it was made, a queue of a list is one of its queues: the windows hear its
    // events through the list, and quitting counts and cancels its transfers.
    if (Owner) Owner->Append(this);
}

TTransferItems::~TTransferItems() {
    if (ITransferManagerWindow* manager = Windows().Manager) manager->RemoveTab(this);
    Clear();
    // Sessions still logging out go with the queue: closing their sockets ends them.
    for (TFTPComponent* session : std::exchange(Retiring_, {})) {
        static_cast<TFTPHandlers&>(*session) = TFTPHandlers();
        delete session;
    }
    if (Owner) Owner->Remove(this);
}

const TSettings& TTransferItems::Settings() const {
    static const TSettings defaults = DefaultSettings();
    return Owner ? Owner->Settings() : defaults;
}

TTransferWindows TTransferItems::Windows() const {
    return Owner ? Owner->Windows() : TTransferWindows();
}

void TTransferItems::SetTitle(const QString& title) const {
    if (ITransferMainWindow* main = Windows().Main) main->SetApplicationTitle(title);
}

void TTransferItems::SetName(const QString& name) {
    if (name == Name_) return;
    Name_ = name;
    const TTransferWindows windows = Windows();
    if (windows.Progress) windows.Progress->SetTabCaption(this, name);
    if (windows.Manager) windows.Manager->SetTabCaption(this, name);
}

int TTransferItems::Add(std::unique_ptr<TTransferItem>& item) {
    DebugLogFmt("Adding Transfer Item. Name = \"%s\"", item->FileName.constData());
    if (item->DestFileName.isEmpty()) item->DestFileName = item->FileName;
    if (Active_.value(ItemKey(*item)) > 0) {
        if (ITransferMainWindow* main = Windows().Main)
            main->ShowMessage(QStringLiteral("\"%1\" is already in the transfer queue")
                                  .arg(DisplayText(item->FileName)));
        return -1;
    }
    if (ITransferProgressWindow* progress = Windows().Progress) progress->EnsureExists();
    TTransferItem* added = item.release();
    Items_.append(added);
    // Taken now, not searched for: a batch of adds would otherwise cost the square.
    const int index = static_cast<int>(Items_.size()) - 1;
    added->Owner = this;
    RestartIfIdle();
    StateCount_[added->State()] += 1;
    CountActive(*added, isDone, added->State());
    BytesDone += added->StartOffset;
    BytesLeft += added->Size - added->StartOffset;
    ShowInProgressWindow();
    if (OnItemAdded) OnItemAdded(this, added);
    ProcessNext();
    return index;
}

bool TTransferItems::ProcessNext() {
    DebugLogFmt("TTransferItems.ProcessNext. StateCount[isBusy] = %d", StateCount_[isBusy]);
    SetTitle(AppTitle);
    const int limit = ParallelLimit();
    if (StateCount_[isBusy] >= limit) return false;
    const bool single = Settings().SingleConnectionsOnly;
    if (HostView && single && HostView->Queueing()) return false;
    const TTransferWindows windows = Windows();
    if (!Idle() && windows.Main && windows.Main->ShowTransferInfoChecked()) {
        ShowInProgressWindow();
        if (windows.Progress) windows.Progress->MakeVisible();
    }
    bool started = false;
    // Each round starts the first pending item or stops: items start in list order.
    while (StateCount_[isBusy] < limit) {
        TTransferItem* item = FindFirst(isPending);
        // Two items never write one file at once: the later waits for the earlier.
        if (!item || (StateCount_[isBusy] > 0 && DestinationBusy(*item))) break;
        TFTPComponent* session = item->IsHTTP ? new TFTPComponent() : ChooseSession(*item);
        if (!session) break;
        item->StartOn(session);
        started = true;
    }
    return started;
}

int TTransferItems::ParallelLimit() const {
    const TSettings& settings = Settings();
    if (HostView && settings.SingleConnectionsOnly) return 1;
    const int wanted = std::clamp(settings.SimultaneousTransfers, 1, MaxSimultaneous);
    return SessionCap_ > 0 ? std::min(wanted, SessionCap_) : wanted;
}

bool TTransferItems::DestinationBusy(const TTransferItem& item) const {
    for (const TTransferItem* busy : BusyOn_) {
        if (busy->Upload != item.Upload) continue;
        if (item.Upload
                ? busy->Host == item.Host && busy->Port == item.Port &&
                      busy->DestFolder + busy->DestFileName == item.DestFolder + item.DestFileName
                : busy->LocalPath() == item.LocalPath())
            return true;
    }
    return false;
}

int TTransferItems::IndexOf(const TTransferItem* item) const {
    return static_cast<int>(Items_.indexOf(const_cast<TTransferItem*>(item)));
}

TTransferItem* TTransferItems::FindFirst(TItemState state) const {
    // Pending items are looked for once per item started: from where the last one was,
    // or a long queue would cost the square of its length.
    const qsizetype from = state == isPending ? std::min(PendingFrom_, Items_.size()) : 0;
    for (qsizetype i = from; i < Items_.size(); ++i) {
        if (Items_.at(i)->State() != state) continue;
        if (state == isPending) PendingFrom_ = i;
        return Items_.at(i);
    }
    if (state == isPending) PendingFrom_ = Items_.size();
    return nullptr;
}

uint64_t TTransferItems::ElapsedTicks() const {
    return TickCount() - StartTick;
}

int TTransferItems::PercentDone() const {
    return static_cast<int>(
        std::clamp<int64_t>(MulDiv(100, BytesDone, BytesDone + BytesLeft), 0, 100));
}

void TTransferItems::Move(int from, int to) {
    if (from < 0 || from >= Count() || to < 0 || to >= Count()) return;
    Items_.move(from, to);
    PendingFrom_ = 0;
    if (OnItemsMoved) OnItemsMoved(this);
}

void TTransferItems::Clear() {
    // The items go with the sessions: none is ended first.
    while (!Sessions_.isEmpty())
        RetireSession(Sessions_.takeLast());
    while (!Items_.isEmpty())
        delete Items_.last(); // leaves the list by itself
    StateCount_.fill(0);
    Active_.clear();
    BytesDone = BytesLeft = BytesMoved = 0;
    CompletedCount = FailedCount = 0;
    SetTitle(AppTitle);
}

void TTransferItems::RestartIfIdle() {
    if (!Idle()) return;
    SessionCap_ = 0; // a new run tries the setting again
    StartTick = TickCount();
    BytesDone = BytesLeft = BytesMoved = 0;
    CompletedCount = FailedCount = 0;
}

void TTransferItems::Forget(TTransferItem* item) {
    if (OnItemRemoved) OnItemRemoved(this, item);
    Items_.removeOne(item);
    PendingFrom_ = 0;
    BusyOn_.removeIf([item](const auto& entry) { return entry.value() == item; });
    StateCount_[item->State()] -= 1;
    CountActive(*item, item->State(), isDone);
    item->Owner = nullptr;
}

void TTransferItems::CountActive(TTransferItem& item, TItemState from, TItemState to) {
    if (Active(from) == Active(to)) return;
    if (Active(to)) {
        item.ActiveKey_ = ItemKey(item);
        Active_[item.ActiveKey_] += 1;
    } else {
        if (auto it = Active_.find(item.ActiveKey_); it != Active_.end() && --it.value() <= 0)
            Active_.erase(it);
        // Only active items are looked up: a long finished queue need not hold its keys.
        item.ActiveKey_ = QByteArray();
    }
}

void TTransferItems::ShowInProgressWindow() {
    ITransferProgressWindow* progress = Windows().Progress;
    if (progress && progress->Exists()) progress->ShowQueue(this);
}

void TTransferItems::RemoveProgressTab() {
    if (ITransferProgressWindow* progress = Windows().Progress) progress->RemoveTab(this);
}

void TTransferItems::ScheduleProcessNext() {
    // Queued rather than called: the finishing session's handler is still running, and
    // the user may cancel or re-submit before the next item starts.
    QTimer::singleShot(0, Context_.get(), [this] { ProcessNext(); });
}
