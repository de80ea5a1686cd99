#pragma once

#include "app/MainActions.h"
#include "engine/Notifications.h"
#include "settings/Settings.h"
#include "settings/SiteList.h"
#include "settings/WindowState.h"
#include "transfer/TransferWindows.h"
#include "views/FolderCompare.h"

#include <QMainWindow>
#include <QPointer>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

class ISoundPlayer;
class IViewQuestions;
class QAction;
class QComboBox;
class QLineEdit;
class QPushButton;
class QLabel;
class QMenu;
class QSplitter;
class QStackedWidget;
class QTimer;
class QUrl;
class QToolBar;
class TBusyAnimation;
class TCustomView;
class TLogPane;
class TRegistry;
class THostView;
class TLocalView;
class TMiddleSplitter;
class TQuickMaskMenu;
class TSidePane;
class TTransferMonitor;
class TQueueStore;
class TViewer;
class TTransferItem;
class TfrmTransfer;
class TfrmTransferMngr;
struct TAutomationState;
struct THostCommandStates;

// Where the program's files are for this run.
struct TMainPaths {
    QString Settings; // the settings file
    QString Sites;    // the site list
    QString Dev;      // the predefined site's file
    // The store of the window's placement and recent connections: the user's own when
    // empty, else this file.
    QString Registry = {};
};

// The program's window: local tabs on the left, host tabs on the right, each host tab a
// connection of its own; the toolbar, the log of the current host tab, the status bar
// and the transfer windows. It keeps the settings record for the whole run.
class TfrmMain : public QMainWindow, public ITransferMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(const TMainPaths& paths, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Shows the window as it was closed last time: maximised or in its normal bounds.
    void ShowAsStored();

    // Seams for tests: questions, sounds and the session password prompt (host name in,
    // typed password or nothing out).
    void SetQuestions(IViewQuestions* questions);
    void SetSoundPlayer(ISoundPlayer* sounds);
    std::function<std::optional<QString>(const QString& host)> AskPassword;
    // Seam for tests: the compare options (the options window while unset).
    std::function<std::optional<TCompareOptions>()> AskCompareOptions;

    TSettings& Settings() { return Settings_; }
    const TMainPaths& Paths() const { return Paths_; }
    THostView* CurrentHostView() const;
    TLocalView* CurrentLocalView() const;
    TSidePane* HostPane() const { return HostPane_; }
    TSidePane* LocalPane() const { return LocalPane_; }
    TLogPane* LogPane() const { return Log_; }
    // The internal viewer; null until first needed.
    TViewer* Viewer() const { return Viewer_; }
    const TMainActions& Actions() const { return Actions_; }
    TTransferMonitor& Monitor() const { return *Monitor_; }
    IViewQuestions& Questions() const { return *Questions_; }
    int ConnectedViewCount() const;

    THostView* CreateHostTab();
    TLocalView* CreateLocalTab(const QString& folder);
    bool OpenLocalFolder(const QString& folder, bool activate);

    // "&Connect": the site manager, then ConnectSite.
    void Connect();
    // Connects the chosen site: in the current host tab when it is idle and disconnected,
    // else in a new one. False when nothing was connected (no host, no password).
    bool ConnectSite(const TSite& site);
    void ConnectLastConnection(const QString& siteName);
    void ConnectToURL();
    // Connects a host tab to an FTP location (URL window, command line, second start).
    bool ConnectLocation(const QString& host, int port, const QString& user, QString password,
                         const QString& folder, const QString& masks, const QString& caption,
                         bool useFirewall, bool fromCommandLine = false,
                         const TSessionSecurity& security = {},
                         const QString& nameCharset = QString());
    void NewHostView();
    void CloseHostView();
    void NewLocalView();
    void CloseLocalView();
    void AddLastConnection(const QString& siteName);
    QStringList LastConnections() const { return LastConnections_; }

    void HostViewStatus(TCustomView* sender, int status, int selected);
    void LocalViewStatus(TCustomView* sender, int selected);
    void WriteLog(THostView* sender, const QString& text, TColor color);

    // Stops the internal viewer's download before a pane changes a file it may be reading.
    void StopViewer();

    // Closes the window without the quit question when every queue is done (status 134).
    void SetExitWhenDone(bool on) { ExitWhenDone_ = on; }
    bool ExitWhenDone() const { return ExitWhenDone_; }

    // The automation dialog (MainWindowDialog.cpp): the window serves a client as a remote
    // file dialog, the dialog strip in place of the menu, toolbar, log, status bar and
    // local pane. Set once, before the window is first shown; the state outlives it.
    void SetAutomationDialog(TAutomationState* state);
    bool AutomationDialog() const { return Dialog_ != nullptr; }
    // The state's dialog action and save-as name brought to the strip and the lists.
    void ApplyDialogAction();
    void ShowSaveAsName();
    QString FileNameText() const;
    // What the automation object hears of the window; each fired only when assigned.
    struct TAutomationHooks {
        // A host view's own state changes (connected, logged in, ...) and log lines.
        std::function<void(THostView*, int status)> HostState;
        std::function<void(THostView*, const QString& text)> HostLog;
        // After the status of all transfers ended.
        std::function<void()> TransfersEnded;
        std::function<void()> Accepted, Cancelled;
    } AutomationHooks;

    // ITransferMainWindow
    void ShowMessage(const QString& text) override;
    void SetStatusText(const QString& text) override;
    void SetApplicationTitle(const QString& title) override;
    void RefreshCommandState() override;
    bool ShowTransferInfoChecked() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The progress and manager windows over the queues (MainWindow.cpp).
    void BuildTransferWindows();
    // The questions a dialog is given: none (its own boxes) unless a test replaced them.
    IViewQuestions* DialogQuestions() const;

    // What the actions do (MainWindowActions.cpp).
    void BuildActions();
    void WireConnectionActions();
    void WireWindowActions();
    void WireHelpActions();
    void WirePaneFileActions(bool host);
    void WirePaneViewActions(bool host);
    TCustomView* PaneView(bool host) const;

    // Menus (MainWindowMenus.cpp).
    void BuildMenus();
    void BuildPaneMenu(bool host);
    void FillLastConnectionsMenu();
    void ShowPaneMenu(TCustomView* view, const QPoint& pos);

    // Toolbar and panes (MainWindowLayout.cpp).
    void BuildToolbar();
    void SetToolbarLarge(bool large);
    void BuildLayout();
    void BuildSidePanes();
    void FillPaneButtons(bool host);
    void BuildBusyPanel();
    void BuildStatusPanels();

    // Tabs (MainWindowTabs.cpp).
    void HostTabChanged(int index);
    void LocalTabChanged(int index);
    void LocalFolderChanged(TCustomView* view);
    void WirePaneEvents(TCustomView* view);
    void DetachHostView(THostView* view);
    void Transfer(TCustomView* source, TCustomView*& destination);
    void DoubleClicked(TCustomView* view, int row);
    void FilesTransferred(THostView* view, const QStringList& files, int reason);
    void SetViewStyle(bool host, int style);

    // File commands: the popups, "Edit with...", "Send To" and the programs started on
    // files (MainWindowFiles.cpp).
    void BuildPopupMenus();
    void WireFileCommands();
    void UpdateHostPopup(const THostCommandStates& commands);
    void UpdateEditWith(bool host);
    void EditWith(bool host, bool editor);
    void SendToHostFolder();
    void SendToLocalFolder();
    void SendToClipboard(bool urls);
    // The viewer once per file; failures are told unless report is false.
    void RunViewer(const QStringList& files, const QString& folder, bool report = true);
    // The HTML editor once with all the files.
    void RunEditor(const QStringList& files, const QString& folder);
    // The desktop's program for the file's type, unless that would run the file.
    void OpenWithDesktop(const QString& file);

    // The internal viewer in the log's place (MainWindowViewer.cpp).
    void EnsureViewer();
    void ToggleViewer(bool shown);
    void WatchSelection(TCustomView* view);
    void PreviewSelection(TCustomView* view);
    void ShowInViewer(const QUrl& url);
    void ViewerLoading(bool loading);

    // Status (MainWindowStatus.cpp).
    void UpdateHostCommands();
    void PlaySound(int status);
    void UpdateBusyCover();
    void TransferStatus(int status);
    bool ConfirmQuit();
    // The queue file of an earlier run: the question whether to resume it, then the store.
    void OpenSavedTransfers();
    void ShutDown();
    void ToggleMaximizeHost(bool maximized);

    // Masks and the folder compare (MainWindowMasks.cpp).
    void ShowMaskWindow(bool host);
    void ShowQuickMasks(bool host, QWidget* button);
    void CompareFolders();

    // The automation dialog's strip (MainWindowDialog.cpp).
    void BuildDialogStrip();
    void RefillFileName();
    void AcceptDialog();

    // What is kept between runs, the log's place and the options (MainWindowState.cpp).
    void ReadStoredState();
    void WriteStoredState();
    void WriteColumnWidths(bool host, TCustomView* view);
    void ReadColumnWidths(bool host, TCustomView* view);
    void ToggleLog(bool shown);
    void LogSplitterMoved();
    void SetLogHeight(int height);
    void ShowOptions();

    TMainPaths Paths_;
    TSettings Settings_;
    IViewQuestions* Questions_ = nullptr;
    std::unique_ptr<IViewQuestions> OwnQuestions_;
    ISoundPlayer* Sounds_ = nullptr;
    std::unique_ptr<ISoundPlayer> OwnSounds_;

    std::unique_ptr<TTransferMonitor> Monitor_;
    // Keeps the queues' pending items in the queue file; from the first showing on.
    std::unique_ptr<TQueueStore> QueueStore_;
    std::unique_ptr<TfrmTransfer> Progress_;
    std::unique_ptr<TfrmTransferMngr> Manager_;
    TMainActions Actions_;

    TSidePane* LocalPane_ = nullptr;
    TSidePane* HostPane_ = nullptr;
    TMiddleSplitter* Middle_ = nullptr;
    QSplitter* Vertical_ = nullptr;
    QToolBar* Toolbar_ = nullptr;
    QWidget* DragBar_ = nullptr;
    TLogPane* Log_ = nullptr;
    QStackedWidget* TopPanel_ = nullptr; // the log, or the viewer in its place
    TViewer* Viewer_ = nullptr;
    int HeightBeforeViewer_ = 0;
    TBusyAnimation* Activity_ = nullptr;
    QWidget* BusyPanel_ = nullptr;
    TBusyAnimation* BusyAnimation_ = nullptr;
    QTimer* BusyDelay_ = nullptr;
    QTimer* CommandsDelay_ = nullptr;
    QLabel* StatusPanels_[3] = {};
    QMenu* LastMenu_ = nullptr;
    QMenu* LocalMenu_ = nullptr;
    QMenu* ServerMenu_ = nullptr;
    QMenu* HostPopup_ = nullptr;
    QMenu* LocalPopup_ = nullptr;
    QMenu* SendToMenu_ = nullptr;
    QMenu* HostNewMenu_ = nullptr;
    TQuickMaskMenu* QuickMasks_ = nullptr;
    TAutomationState* Dialog_ = nullptr;
    QWidget* DialogStrip_ = nullptr;
    QPushButton* AcceptButton_ = nullptr;
    QLineEdit* FileNameEdit_ = nullptr;
    QComboBox* FileTypes_ = nullptr;
    // The HTML editor's command line from the registry; empty: the editor is not offered.
    QString EditorCommand_;

    QSet<const TCustomView*> BusyViews_;
    QStringList LastConnections_;
    QString ApplicationTitle_;
    std::unique_ptr<TRegistry> Registry_;
    TWindowShowState StoredState_ = wsNormal;
    int SavedLogHeight_ = 88;
    bool ToolbarLarge_ = false;
    bool ExitWhenDone_ = false;
    bool Quitting_ = false;
    bool ShutDown_ = false;
    bool LogPlaced_ = false; // the stored log height is applied once the window is laid out
};
