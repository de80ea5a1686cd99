// What the main window keeps between runs, showing and hiding its log, and the options.
#include "app/LogPane.h"
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "platform/Registry.h"
#include "settings/windows/OptionsWindow.h"
#include "transfer/QueueFile.h"
#include "transfer/TransferItemsList.h"
#include "transfer/windows/TransferProgressWindow.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <cstdio>

namespace {

const QString kLocalViewStyle = QStringLiteral("LocalViewStyle");
const QString kHostViewStyle = QStringLiteral("HostViewStyle");
const QString kLogHeight = QStringLiteral("LogHeight");
const QString kToolBarMin = QStringLiteral("ToolBarMin");
const QString kState = QStringLiteral("State");
const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
constexpr int kSmallToolbar = 34;
constexpr int kLargeToolbar = 62;
// Columns past these (if a list ever has more) keep their own widths.
constexpr int kStoredColumns = 4;

// The available areas of the screens, the primary first.
QList<QRect> ScreenAreas() {
    QList<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen()) areas << screen->availableGeometry();
    return areas;
}

} // namespace

void TfrmMain::ReadStoredState() {
    TRegistry& reg = *Registry_;
    const QString main = QString::fromLatin1(RegWindowsMain);
    LastConnections_ = reg.ReadLastConnections();
    bool any = false;
    for (const QString& name : LastConnections_)
        any = any || !name.isEmpty();
    LastMenu_->setEnabled(any);

    for (const bool host : {false, true}) {
        TCustomView* view =
            host ? static_cast<TCustomView*>(CurrentHostView()) : CurrentLocalView();
        const int present = view ? int(view->ViewStyle()) : int(TCustomView::vsReport);
        const int stored = reg.ReadInteger(main, host ? kHostViewStyle : kLocalViewStyle, present);
        SetViewStyle(host, CheckedViewStyle(stored, present));
    }

    const TLogShape log =
        CheckedLogHeight(reg.ReadInteger(main, kLogHeight, SavedLogHeight_), SavedLogHeight_);
    SavedLogHeight_ = log.Height;
    {
        const QSignalBlocker blocker(Actions_.ShowLog);
        Actions_.ShowLog->setChecked(log.Shown);
    }
    SetToolbarLarge(reg.ReadInteger(QString::fromLatin1(RegOptions), kToolBarMin,
                                    ToolbarLarge_ ? kLargeToolbar : kSmallToolbar) >= 60);

    const QList<QRect> screens = ScreenAreas();
    // A first start has no bounds of its own yet: a share of the screen, not a small box.
    const QRect first = FirstWindowBounds(screens.value(0));
    const bool storedBounds = reg.ValueExists(main, kWidth) && reg.ValueExists(main, kHeight);
    const QRect stored = storedBounds ? QRect(reg.ReadInteger(main, kLeft, DefaultWindowLeft),
                                              reg.ReadInteger(main, kTop, DefaultWindowTop),
                                              reg.ReadInteger(main, kWidth, DefaultWindowWidth),
                                              reg.ReadInteger(main, kHeight, DefaultWindowHeight))
                                      : first;
    const TWindowPlacement placement =
        CheckedPlacement(reg.ReadInteger(main, kState, wsNormal), stored, screens);
    StoredState_ = placement.State;
    resize(placement.Bounds.size());
    move(placement.Bounds.topLeft());
}

void TfrmMain::WriteStoredState() {
    if (Settings_.LogToFile && !Log_->WriteTo(Settings_.LogFile))
        std::fprintf(stderr, "tolvar: Unable to write to %s\n", qPrintable(Settings_.LogFile));
    TRegistry& reg = *Registry_;
    const QString main = QString::fromLatin1(RegWindowsMain);
    reg.WriteLastConnections(LastConnections_);
    reg.WriteInteger(QString::fromLatin1(RegOptions), kToolBarMin,
                     ToolbarLarge_ ? kLargeToolbar : kSmallToolbar);
    const int state = isMaximized() ? wsMaximized : isMinimized() ? wsMinimized : wsNormal;
    reg.WriteInteger(main, kState, state);
    // A maximised or minimised window keeps the normal bounds of an earlier run.
    if (state == wsNormal) {
        reg.WriteInteger(main, kLeft, x());
        reg.WriteInteger(main, kTop, y());
        reg.WriteInteger(main, kWidth, width());
        reg.WriteInteger(main, kHeight, height());
    }
    if (TLocalView* local = CurrentLocalView())
        reg.WriteInteger(main, kLocalViewStyle, int(local->ViewStyle()));
    if (THostView* host = CurrentHostView())
        reg.WriteInteger(main, kHostViewStyle, int(host->ViewStyle()));
    const bool shown = Actions_.ShowLog->isChecked();
    const int height = Vertical_->sizes().value(0);
    reg.WriteInteger(main, kLogHeight,
                     !shown                   ? 0
                     : height >= MinLogHeight ? height
                                              : SavedLogHeight_);
    WriteColumnWidths(false, CurrentLocalView());
    WriteColumnWidths(true, CurrentHostView());
    if (!reg.Flush()) std::fprintf(stderr, "tolvar: Unable to write the window's placement\n");
}

void TfrmMain::WriteColumnWidths(bool host, TCustomView* view) {
    // A dialog run for another program leaves the stored widths alone.
    if (!view || !Registry_ || Dialog_) return;
    const QHeaderView* header = view->DetailsList()->header();
    const QString format = host ? QStringLiteral("HostCol%1") : QStringLiteral("LocalCol%1");
    for (int column = 0; column < kStoredColumns && column < header->count(); ++column)
        Registry_->WriteInteger(QString::fromLatin1(RegColumnWidths), format.arg(column),
                                header->sectionSize(column));
}

void TfrmMain::ReadColumnWidths(bool host, TCustomView* view) {
    if (!view || !Registry_) return;
    QHeaderView* header = view->DetailsList()->header();
    const QString format = host ? QStringLiteral("HostCol%1") : QStringLiteral("LocalCol%1");
    for (int column = 0; column < kStoredColumns && column < header->count(); ++column) {
        const int present = header->sectionSize(column);
        const int stored = Registry_->ReadInteger(QString::fromLatin1(RegColumnWidths),
                                                  format.arg(column), present);
        header->resizeSection(column, CheckedColumnWidth(stored, present));
    }
}

void TfrmMain::ShowAsStored() {
    if (StoredState_ == wsMaximized)
        showMaximized();
    else
        show();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (LogPlaced_) return;
    LogPlaced_ = true;
    ToggleLog(Actions_.ShowLog->isChecked());
    QTimer::singleShot(0, this, &TfrmMain::OpenSavedTransfers);
}

void TfrmMain::OpenSavedTransfers() {
    // A dialog process runs beside the user's own window and shares its settings folder: the
    // queue file is that window's.
    if (QueueStore_ || ShutDown_ || Dialog_) return;
    const QString path = QueueFilePath(Paths_.Settings);
    const TSavedQueueStart start = OpenSavedQueue(
        path,
        [this](int count) {
            const int chosen = Questions_->AskChoice(
                count == 1 ? QStringLiteral("1 transfer of the last run was not finished. Resume "
                                            "it now?")
                           : QStringLiteral("%1 transfers of the last run were not finished. "
                                            "Resume them now?")
                                 .arg(count),
                {QStringLiteral("&Resume"), QStringLiteral("&Discard"), QStringLiteral("&Later")},
                2);
            return chosen == 0   ? TSavedQueueChoice::Resume
                   : chosen == 1 ? TSavedQueueChoice::Discard
                                 : TSavedQueueChoice::Later;
        },
        GeneralQueue(), Settings_);
    if (!start.Message.isEmpty()) WriteLog(nullptr, start.Message, 0x0000FF);
    QueueStore_ = std::make_unique<TQueueStore>(*Monitor_, path, start.Kept);
}

void TfrmMain::SetLogHeight(int height) {
    const int total = Vertical_->sizes().value(0) + Vertical_->sizes().value(1);
    Vertical_->setSizes({height, std::max(total - height, 1)});
}

void TfrmMain::ToggleLog(bool shown) {
    if (shown) {
        SetLogHeight(SavedLogHeight_);
        return;
    }
    const int height = Vertical_->sizes().value(0);
    if (height > 0) SavedLogHeight_ = RememberedLogHeight(height);
    SetLogHeight(0);
}

void TfrmMain::LogSplitterMoved() {
    const int height = Vertical_->sizes().value(0);
    // Too low for a line: the log is hidden, not squeezed.
    if (height > 0 && height < MinLogHeight) SetLogHeight(0);
    QAction* action = Actions_.ShowLog;
    const bool shown = height >= MinLogHeight;
    if (action->isChecked() != shown) {
        const QSignalBlocker blocker(action);
        action->setChecked(shown);
    }
}

void TfrmMain::ShowOptions() {
    TfrmOptions options(Settings_, Paths_.Settings, Sounds_, DialogQuestions(), this);
    options.SetPinPressed([this] { return Progress_->Pinned(); });
    options.exec();
}
