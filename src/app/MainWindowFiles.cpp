// The main window's commands on files: the panes' popup menus, "Edit with...", "Send To",
// and the programs started on files (the viewer, the HTML editor, the desktop's opener).
#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "listing/FtpUtils.h"
#include "platform/ProgramLaunch.h"
#include "views/MainCommands.h"
#include "views/ViewQuestions.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

namespace {

const QString StartFailed = QStringLiteral("An error occurred when the program was started.");

QString ProgramRunsText(const QString& file) {
    return QStringLiteral("\"%1\" is a program or a desktop launcher: opening it would run it.")
        .arg(QFileInfo(file).fileName());
}

} // namespace

void TfrmMain::BuildPopupMenus() {
    const TMainActions& a = Actions_;
    HostPopup_ = new QMenu(this);
    HostPopup_->setObjectName(QStringLiteral("popHost"));
    HostPopup_->addActions({a.PopOpen, a.PopView});
    HostPopup_->addSeparator();
    HostPopup_->addActions({a.PopDownload, a.PopDownloadNow});
    HostPopup_->addSeparator();
    HostPopup_->addActions({a.Server.Rename, a.PopDelete});
    HostPopup_->addSeparator();
    SendToMenu_ = HostPopup_->addMenu(QStringLiteral("&Send To"));
    SendToMenu_->addActions({a.SendToHost, a.SendToLocal, a.SendToName, a.SendToURL});
    HostPopup_->addSeparator();
    HostNewMenu_ = HostPopup_->addMenu(QStringLiteral("Ne&w"));
    HostNewMenu_->addAction(a.Server.PopNewFolder);
    HostPopup_->addSeparator();
    HostPopup_->addAction(a.PopProperties);

    LocalPopup_ = new QMenu(this);
    LocalPopup_->setObjectName(QStringLiteral("popLocal"));
    LocalPopup_->addMenu(QStringLiteral("&View"))->addActions(a.Local.Styles->actions());
    LocalPopup_->addSeparator();
    LocalPopup_->addAction(a.Local.Paste);
    LocalPopup_->addSeparator();
    LocalPopup_->addMenu(QStringLiteral("Ne&w"))->addAction(a.Local.PopNewFolder);
    LocalPopup_->addAction(a.Local.Properties);
}

void TfrmMain::WireFileCommands() {
    const TMainActions& a = Actions_;
    const auto host = [this](auto&& act) {
        return [this, act] {
            if (THostView* view = CurrentHostView(); view && view->Connected()) act(view);
        };
    };
    connect(a.PopOpen, &QAction::triggered, this,
            host([this](THostView* v) { v->ViewFiles(trOpen, CurrentLocalView()); }));
    connect(a.PopView, &QAction::triggered, this,
            host([this](THostView* v) { v->ViewFiles(trView, CurrentLocalView()); }));
    connect(a.PopDownload, &QAction::triggered, this, host([this](THostView* v) {
                if (TLocalView* local = CurrentLocalView()) v->TransferTo(local);
            }));
    connect(a.PopDownloadNow, &QAction::triggered, this, host([this](THostView* v) {
                if (TLocalView* local = CurrentLocalView()) v->ViewFiles(trDownloadNow, local);
            }));
    connect(a.PopDelete, &QAction::triggered, this,
            host([](THostView* v) { v->DeleteSelected(); }));
    connect(a.PopProperties, &QAction::triggered, this,
            host([](THostView* v) { v->ShowProperties(); }));
    connect(a.SendToHost, &QAction::triggered, this, &TfrmMain::SendToHostFolder);
    connect(a.SendToLocal, &QAction::triggered, this, &TfrmMain::SendToLocalFolder);
    connect(a.SendToName, &QAction::triggered, this, [this] { SendToClipboard(false); });
    connect(a.SendToURL, &QAction::triggered, this, [this] { SendToClipboard(true); });
    for (const bool side : {false, true}) {
        const TPaneActions& pane = side ? a.Server : a.Local;
        connect(pane.EditWith, &QAction::triggered, this, [this, side] { EditWith(side, false); });
        connect(pane.EditNotepad, &QAction::triggered, this,
                [this, side] { EditWith(side, false); });
        connect(pane.EditPellion, &QAction::triggered, this,
                [this, side] { EditWith(side, true); });
        pane.EditPellion->setVisible(!EditorCommand_.isEmpty());
    }
}

void TfrmMain::UpdateHostPopup(const THostCommandStates& commands) {
    THostView* view = CurrentHostView();
    const QList<int> rows = view ? view->SelectedRows() : QList<int>();
    const THostPopupStates s =
        HostPopupStates(commands, !rows.isEmpty() && view->IsFolder(rows[0]));
    const TMainActions& a = Actions_;
    a.PopOpen->setEnabled(s.Open);
    a.PopView->setEnabled(s.View);
    a.PopDownload->setEnabled(s.Download);
    a.PopDownloadNow->setEnabled(s.DownloadNow);
    a.PopDelete->setEnabled(s.Delete);
    a.PopProperties->setEnabled(s.Properties);
    for (QAction* sendTo :
         {SendToMenu_->menuAction(), a.SendToHost, a.SendToLocal, a.SendToName, a.SendToURL})
        sendTo->setEnabled(s.SendTo);
    HostNewMenu_->menuAction()->setEnabled(s.New);
    a.Server.PopNewFolder->setEnabled(s.New);
    QAction* const defaults[] = {a.PopProperties, a.PopView, a.PopDownload, a.PopOpen};
    HostPopup_->setDefaultAction(defaults[HostPopupDefault(Settings_.HostDblClk)]);
    UpdateEditWith(true);
}

void TfrmMain::UpdateEditWith(bool host) {
    const TPaneActions& a = host ? Actions_.Server : Actions_.Local;
    TCustomView* view = PaneView(host);
    const QList<int> rows = view ? view->SelectedRows() : QList<int>();
    const bool selected = !rows.isEmpty();
    const TEditWithStates s =
        EditWithStates(selected, selected && view->IsFolder(rows[0]),
                       selected ? QFileInfo(view->ItemPath(rows[0])).fileName() : QString(),
                       !EditorCommand_.isEmpty());
    // A server pane fetches first, which needs it connected and free.
    const bool usable = !host || a.EditWith->isEnabled();
    a.EditNotepad->setEnabled(usable && s.NotePad);
    a.EditPellion->setEnabled(usable && s.Pellion);
}

void TfrmMain::EditWith(bool host, bool editor) {
    if (host) {
        THostView* view = CurrentHostView();
        if (view && view->Connected())
            view->ViewFiles(editor ? trEdit : trView, CurrentLocalView());
        return;
    }
    TLocalView* view = CurrentLocalView();
    if (!view) return;
    QStringList files;
    for (int row : view->SelectedRows())
        if (!view->IsFolder(row)) files << view->ItemPath(row);
    if (editor)
        RunEditor(files, view->Folder());
    else
        RunViewer(files, view->Folder());
}

void TfrmMain::SendToHostFolder() {
    THostView* view = CurrentHostView();
    if (!view || !view->Connected() || view->SelectedCount() == 0) return;
    const QString current =
        view->Browser().PathText(view->Browser().ToServerPath(view->Browser().Folder()));
    const QString answer = Questions_->AskText(QStringLiteral("Move to another folder"),
                                               QStringLiteral("Destination folder"), current);
    if (!answer.trimmed().isEmpty()) view->MoveSelected(answer);
}

void TfrmMain::SendToLocalFolder() {
    THostView* view = CurrentHostView();
    if (!view || !view->Connected() || view->SelectedCount() == 0) return;
    TLocalView* local = CurrentLocalView();
    const QString folder = Questions_->PickFolder(QStringLiteral("Select Destination Folder"),
                                                  local ? local->Folder() : QString());
    if (!folder.isEmpty()) view->DownloadSelectedTo(folder);
}

void TfrmMain::SendToClipboard(bool urls) {
    THostView* view = CurrentHostView();
    if (!view || view->SelectedCount() == 0) return;
    QGuiApplication::clipboard()->setText(
        view->SelectedLocations(urls).join(QStringLiteral("\r\n")));
}

void TfrmMain::RunViewer(const QStringList& files, const QString& folder, bool report) {
    const TProgramCommand viewer = SplitProgramCommand(
        Settings_.Viewer.trimmed().isEmpty() ? DefaultViewer() : Settings_.Viewer);
    const bool opener = IsDesktopOpener(viewer.Program);
    for (const QString& file : files) {
        if (opener && OpenerWouldRun(file)) {
            if (report)
                Questions_->ShowMessage(ProgramRunsText(file) +
                                        QStringLiteral("\nChoose a text viewer in the options "
                                                       "(General) to look at it."));
            continue;
        }
        if (!StartProgram(viewer, {file}, folder) && report) Questions_->ShowMessage(StartFailed);
    }
}

void TfrmMain::RunEditor(const QStringList& files, const QString& folder) {
    if (files.isEmpty() || EditorCommand_.isEmpty()) return;
    if (!StartProgram(SplitProgramCommand(EditorCommand_), files, folder))
        Questions_->ShowMessage(StartFailed);
}

void TfrmMain::OpenWithDesktop(const QString& file) {
    if (OpenerWouldRun(file)) {
        if (Questions_->AskYesNo(ProgramRunsText(file) + QStringLiteral("\nView it instead?")))
            RunViewer({file}, QFileInfo(file).absolutePath());
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) Questions_->ShowMessage(StartFailed);
}
