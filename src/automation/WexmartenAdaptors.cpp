#include "automation/WexmartenAdaptors.h"

#include "app/MainWindow.h"
#include "app/SidePane.h"
#include "automation/Wexmarten.h"
#include "settings/FileNameConversion.h"
#include "startup/CommandLineItems.h"
#include "transfer/TransferItem.h"
#include "transfer/TransferItemsList.h"
#include "views/MainCommands.h"
#include "views/ViewFormat.h"
#include "views/widgets/HostView.h"
#include "views/widgets/LocalView.h"

#include <QDBusError>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kFailed = QStringLiteral("com.kelvenar.Marrowby.Error.Failed");

} // namespace

TWexmartenMembers::TWexmartenMembers(TWexmarten* object)
    : QDBusAbstractAdaptor(object), O_(*object) {}

void TWexmartenMembers::ConnectTo(const QString& Host, int Port, const QString& UserName,
                                  const QString& Password, const QString& Account,
                                  const QString& Folder) {
    THostView* view = O_.HostView();
    if (!view) return;
    if (Host.trimmed().isEmpty() || Port < 1 || Port > 65535) {
        O_.Fail(kInvalidArgs, QStringLiteral("A host and a port from 1 to 65535 are needed."));
        return;
    }
    TfrmMain& window = O_.Window();
    // The connection open stays; the new one gets a tab of its own.
    if (view->Connected()) view = window.CreateHostTab();
    window.HostPane()->SetCaption(window.HostPane()->IndexOf(view), Host);
    view->ConnectionName = Host;
    window.setWindowTitle(MainTitle(Host));
    view->Connect(Host.trimmed(), Port, QString(), Folder, UserName.toUtf8(), Password.toUtf8(),
                  Account.toUtf8());
}

void TWexmartenMembers::Disconnect() {
    if (THostView* view = O_.HostView()) view->Disconnect();
}

void TWexmartenMembers::Abort() {
    if (THostView* view = O_.HostView()) view->Stop();
}

void TWexmartenMembers::RefreshFolder() {
    THostView* view = O_.ConnectedHostView();
    if (!view) return;
    // A folder written to CurrentFolder is listed here.
    if (view->Folder() != view->Browser().PathText(view->Browser().Folder()) &&
        !view->Folder().isEmpty())
        view->ShowFolder(view->Folder());
    else
        view->Refresh();
}

void TWexmartenMembers::CreateFolder(const QString& FolderName) {
    THostView* view = O_.ConnectedHostView();
    if (view && !view->CreateFolder(FolderName))
        O_.Fail(kInvalidArgs, QStringLiteral("The folder needs a name."));
}

void TWexmartenMembers::SelectItem(int Index, bool Selected) {
    int row = 0;
    if (!O_.Row(Index, row)) return;
    THostView* view = O_.Window().CurrentHostView();
    QList<int> rows = O_.State().DialogAction == daSaveAs ? QList<int>() : view->SelectedRows();
    rows.removeAll(row);
    if (Selected) rows.append(row);
    view->SelectRows(rows);
}

bool TWexmartenMembers::ItemIsSelected(int Index) {
    int row = 0;
    return O_.Row(Index, row) && O_.Window().CurrentHostView()->SelectedRows().contains(row);
}

bool TWexmartenMembers::ItemIsFolder(int Index) {
    int row = 0;
    return O_.Row(Index, row) && O_.Window().CurrentHostView()->IsFolder(row);
}

QString TWexmartenMembers::ItemName(int Index) {
    int row = 0;
    return O_.Row(Index, row) ? O_.Window().CurrentHostView()->ItemName(row) : QString();
}

qlonglong TWexmartenMembers::ItemSize(int Index) {
    int row = 0;
    return O_.Row(Index, row) ? O_.Window().CurrentHostView()->ItemSize(row) : 0;
}

double TWexmartenMembers::ItemDate(int Index) {
    int row = 0;
    return O_.Row(Index, row) ? O_.Window().CurrentHostView()->ItemDate(row) : 0;
}

void TWexmartenMembers::DeleteSelectedItems(bool Confirm) {
    THostView* view = O_.ConnectedHostView();
    if (!view || view->SelectedCount() == 0) return;
    // Declining the question is the user's answer, not a failure.
    if (!view->DeleteSelectedItems(Confirm) && !Confirm)
        O_.Fail(kFailed, QStringLiteral("Not everything selected could be deleted."));
}

void TWexmartenMembers::RenameItem(int Index, const QString& NewName) {
    int row = 0;
    if (!O_.Row(Index, row)) return;
    if (!O_.Window().CurrentHostView()->RenameItem(row, NewName))
        O_.Fail(kInvalidArgs, QStringLiteral("Renaming needs a connection and a new name."));
}

// Reading is harmless under an open question; writing waits like the methods.
QString TWexmartenMembers::Mask() {
    THostView* view = O_.Window().CurrentHostView();
    return view ? view->GetMask() : QString();
}

void TWexmartenMembers::SetMask(const QString& mask) {
    if (THostView* view = O_.HostView()) view->SetMask(mask);
}

QString TWexmartenMembers::CurrentFolder() {
    THostView* view = O_.Window().CurrentHostView();
    return view ? view->Folder() : QString();
}

void TWexmartenMembers::SetCurrentFolder(const QString& folder) {
    if (THostView* view = O_.HostView()) view->SetFolder(folder);
}

void TWexmartenMembers::Upload(const QString& LocalFileName, const QString& DestFileName) {
    THostView* view = O_.ConnectedHostView();
    if (!view) return;
    const QFileInfo info(LocalFileName);
    if (info.isRelative() || !info.isFile()) {
        O_.Fail(kInvalidArgs,
                QStringLiteral("\"%1\" is not the absolute path of a file.").arg(LocalFileName));
        return;
    }
    TQueueBuilder::TConnection connection;
    TFTPComponent* session = view->Session();
    connection.Host = session->Host;
    connection.Port = session->Port;
    connection.User = session->User;
    connection.Password = session->Password;
    connection.Account = session->Account;
    connection.UseFirewall = view->Browser().UsesFirewall;
    QStringList errors;
    TItemList items = BuildUploadItems(connection, {info.absoluteFilePath()}, QString(), &errors);
    if (items.empty()) {
        O_.Fail(kFailed, errors.value(0));
        return;
    }
    std::unique_ptr<TTransferItem>& item = items.front();
    item->Security = session->Security;
    item->DestFolder = view->Browser().Folder();
    item->DestFileName =
        DestFileName.isEmpty()
            ? ConvertFileName(info.absoluteFilePath(), NameConversion(O_.Window().Settings()))
                  .toUtf8()
            : DestFileName.toUtf8();
    item->DestView = view;
    // A duplicate is refused by the queue and freed with the list.
    GeneralQueue().Add(item);
}

void TWexmartenMembers::Download(const QString& DestinationFolder) {
    THostView* view = O_.ConnectedHostView();
    if (!view) return;
    const QFileInfo info(DestinationFolder);
    if (info.isRelative() || !info.isDir() || !info.isWritable()) {
        O_.Fail(kInvalidArgs,
                QStringLiteral("\"%1\" is not the absolute path of a folder that can be written.")
                    .arg(DestinationFolder));
        return;
    }
    TfrmMain& window = O_.Window();
    if (!window.OpenLocalFolder(info.absoluteFilePath(), true) || !window.CurrentLocalView() ||
        !view->TransferTo(window.CurrentLocalView()))
        O_.Fail(kFailed, QStringLiteral("The selection could not be queued."));
}

int TWexmartenMembers::ItemCount() {
    THostView* view = O_.HostView();
    return view ? int(view->ShownRows().size()) : 0;
}

int TWexmartenMembers::DialogAction() {
    return O_.State().DialogAction;
}

void TWexmartenMembers::SetDialogAction(int action) {
    if (!O_.Idle()) return;
    if (action < daOpen || action > daSaveAs) {
        O_.Fail(kInvalidArgs, QStringLiteral("DialogAction is 0 (open), 1 (save) or 2 (save as)."));
        return;
    }
    O_.State().DialogAction = TDialogAction(action);
    O_.Window().ApplyDialogAction();
}

QString TWexmartenMembers::SaveAsFileName() {
    return O_.State().SaveAsFileName;
}

void TWexmartenMembers::SetSaveAsFileName(const QString& name) {
    if (!O_.Idle()) return;
    O_.State().SaveAsFileName = name;
    O_.Window().ShowSaveAsName();
}

void TWexmartenMembers::Show() {
    if (!O_.Idle()) return;
    TfrmMain& window = O_.Window();
    window.showNormal();
    window.raise();
    window.activateWindow();
    if (Shown_) return;
    Shown_ = true;
    // The first showing acts as the first activation: the site manager when the options
    // ask for it, after this call has been answered.
    if (window.Settings().ShowManager)
        QTimer::singleShot(0, &window, [&window] { window.Connect(); });
}

void TWexmartenMembers::Hide() {
    if (O_.Idle()) O_.Window().hide();
}

void TWexmartenMembers::ClearSaveList() {
    if (!O_.Idle()) return;
    O_.State().SaveList.reset();
    O_.Window().ApplyDialogAction();
}

void TWexmartenMembers::AddToSaveList(const QString& FileName) {
    if (!O_.Idle()) return;
    if (!O_.State().SaveList) O_.State().SaveList.emplace();
    O_.State().SaveList->append(FileName);
    O_.Window().ApplyDialogAction();
}

TWexmartenEvents::TWexmartenEvents(TWexmarten* object) : QDBusAbstractAdaptor(object) {}

TWexmartenLifecycle::TWexmartenLifecycle(TWexmarten* object)
    : QDBusAbstractAdaptor(object), O_(*object) {}

void TWexmartenLifecycle::Attach() {
    O_.Attach();
}

void TWexmartenLifecycle::Release() {
    O_.Release();
}
