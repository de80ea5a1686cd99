// The main window's actions: one table of names, captions, hints, icons and keys.
#include "app/MainActions.h"

#include "views/widgets/ThemeIcons.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>

#include <variant>

namespace {

// A key of the table: a plain combination or one of the platform's standard keys.
struct TKey {
    constexpr TKey() = default;
    constexpr TKey(Qt::Key key) : Combination(key) {}
    constexpr TKey(QKeyCombination key) : Combination(key.toCombined()) {}
    constexpr TKey(QKeySequence::StandardKey key) : Standard(key) {}
    QKeySequence Sequence() const {
        if (Standard != QKeySequence::UnknownKey) return QKeySequence(Standard);
        return Combination ? QKeySequence(Combination) : QKeySequence();
    }
    int Combination = 0;
    QKeySequence::StandardKey Standard = QKeySequence::UnknownKey;
};

enum : unsigned { Checkable = 1, Checked = 2, Disabled = 4 };

// A window-wide action (Name is its object name) or one on each side (Name follows
// "actLocal" and "actServer").
using TActionMember = std::variant<QAction * TMainActions::*, QAction * TPaneActions::*>;

struct TActionRow {
    TActionMember Member;
    const char* Name;
    const char* Caption;
    const char* Hint;
    const char* Icon;
    TKey Key;
    unsigned Flags;
};

constexpr QKeyCombination CtrlShift(Qt::Key key) {
    return Qt::CTRL | Qt::SHIFT | key;
}
constexpr QKeyCombination Ctrl(Qt::Key key) {
    return Qt::CTRL | key;
}
constexpr QKeyCombination Alt(Qt::Key key) {
    return Qt::ALT | key;
}

using M = TMainActions;
using P = TPaneActions;
using K = QKeySequence;

const TActionRow kActions[] = {
    {&M::Connect, "actConnect", "&Connect", "Connect", "connect", CtrlShift(Qt::Key_C), 0},
    {&M::ConnectURL, "actConnectURL", "Connect to &URL", "Connect to URL", "url",
     CtrlShift(Qt::Key_U), 0},
    {&M::Stop, "actStop", "&Stop", "Stop", "stop", CtrlShift(Qt::Key_S), 0},
    {&M::Disconnect, "actDisconnect", "&Disconnect", "Disconnect", "disconnect",
     CtrlShift(Qt::Key_D), 0},
    {&M::DisconnectTransfer, "actDisconnectTransfer", "Disconnect Transfer Connection", "", "",
     TKey(), 0},
    {&M::Exit, "actExit", "&Exit", "", "", Alt(Qt::Key_F4), 0},
    {&M::CompareFolders, "actCompareFolders", "&Compare Folders", "", "", {}, Disabled},
    {&M::SelectAll, "actSelectAll", "Select &All", "", "", Ctrl(Qt::Key_A), 0},
    {&M::InvertSelection, "actInvertSelection", "&Invert Selection", "", "", CtrlShift(Qt::Key_A),
     0},
    {&P::EditWith, "EditWith", "Edit with...", "Edit with...", "edit", {}, 0},
    {&P::EditNotepad, "EditNotepad", "Edit with &NotePad", "", "", {}, 0},
    {&P::EditPellion, "EditPellion", "Edit with &Pellion", "", "", {}, Disabled},
    {&P::PopNewFolder, "PopNewFolder", "&Folder", "", "", {}, 0},
    {&P::Refresh, "Refresh", "&Refresh", "Refresh", "refresh", Qt::Key_F5, 0},
    {&P::NewFolder, "NewFolder", "&Create New Folder", "New Folder", "newfolder", {}, 0},
    {&P::Rename, "Rename", "Rena&me", "Rename", "rename", Qt::Key_F2, 0},
    {&P::Erase, "Erase", "&Erase", "Delete", "delete", K::Delete, 0},
    {&P::Mask, "Mask", "Mas&k files", "File Mask", "mask", {}, 0},
    {&P::Cut, "Cut", "&Cut", "", "", K::Cut, 0},
    {&P::Copy, "Copy", "Co&py", "", "", K::Copy, 0},
    {&P::Paste, "Paste", "&Paste", "", "", K::Paste, 0},
    {&P::Properties, "Properties", "P&roperties", "Properties", "properties", Alt(Qt::Key_Return),
     0},
    {&P::Up, "Up", "Up One Level", "Up One Level", "up", {}, 0},
    {&P::NewView, "NewView", "New View", "New View", "newview", {}, 0},
    {&P::CloseView, "CloseView", "Close View", "Close View", "closeview", {}, 0},
    {&P::ChangeFolder, "ChangeFolder", "Change Folder", "Change Folder", "folder", {}, 0},
    {&P::StyleIcons, "StyleIcons", "Lar&ge Icons", "", "", {}, Checkable},
    {&P::StyleSmallIcons, "StyleSmallIcons", "S&mall Icons", "", "", {}, Checkable},
    {&P::StyleList, "StyleList", "&List", "", "", {}, Checkable},
    {&P::StyleDetails, "StyleDetails", "&Details", "", "", {}, Checkable},
    {&P::Views, "Views", "Change Views", "Type of Views", "views", {}, 0},
    {&M::Upload, "actUpload", "&Upload", "Upload", "upload", Ctrl(Qt::Key_U), 0},
    {&M::Download, "actDownload", "Do&wnload", "Download", "download", Ctrl(Qt::Key_D), 0},
    {&M::Preferences, "actPreferences", "General &Preferences", "", "", {}, 0},
    {&M::TransferManager, "actTransferManager", "View &Transfer Manager", "Show Transfer Manager",
     "manager", Ctrl(Qt::Key_G), Checkable},
    {&M::MaximizeHost, "actMaximizeHost", "&Maximize Server Window", "Maximize Host View",
     "maximize", Ctrl(Qt::Key_M), Checkable},
    {&M::ShowLog, "actShowLog", "View M&essages Window", "Show Log", "log", Qt::Key_F9,
     Checkable | Checked},
    {&M::ShowViewer, "actShowViewer", "View Internal &Viewer", "Show Viewer", "viewer", Qt::Key_F10,
     Checkable},
    {&M::ShowTransfers, "actShowTransfers", "View &Transfers", "", "transfers", Qt::Key_F12,
     Checkable},
    {&M::HelpContents, "actHelpContents", "&Help Contents", "", "help", Qt::Key_F1, 0},
    {&M::WhatsThis, "actWhatsThis", "&What's This?", "", "", {}, 0},
    {&M::ProductNews, "actProductNews", "&Product News", "", "", {}, 0},
    {&M::FAQ, "actFAQ", "Frequently Asked &Questions", "", "", {}, 0},
    {&M::Feedback, "actFeedback", "Send Fee&dBack", "", "", {}, 0},
    {&M::About, "actAbout", "&About...", "", "", {}, 0},
    {&M::PopOpen, "actPopOpen", "&Open", "", "", {}, 0},
    {&M::PopView, "actPopView", "&View", "", "", {}, 0},
    {&M::PopDownload, "actPopDownload", "&Download", "", "", {}, 0},
    {&M::PopDownloadNow, "actPopDownloadNow", "Download &Now", "", "", {}, 0},
    {&M::PopDelete, "actPopDelete", "Dele&te", "", "", {}, 0},
    {&M::PopProperties, "actPopProperties", "P&roperties", "", "", {}, 0},
    {&M::SendToHost, "actSendToHost", "Any &Host Folder... (Move)", "", "", {}, 0},
    {&M::SendToLocal, "actSendToLocal", "Any &Local Folder... (Copy)", "", "", {}, 0},
    {&M::SendToName, "actSendToName", "Clipboard as &Name", "", "", {}, 0},
    {&M::SendToURL, "actSendToURL", "Clipboard as &URL", "", "", {}, 0},
};

QAction* MakeAction(QObject* owner, const QString& name, const TActionRow& row) {
    auto* action = new QAction(QString::fromUtf8(row.Caption), owner);
    action->setObjectName(name);
    const QString hint = QString::fromUtf8(row.Hint);
    if (!hint.isEmpty()) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
        action->setIconText(hint);
    }
    if (*row.Icon) action->setIcon(ThemeIcon(QString::fromLatin1(row.Icon)));
    if (const QKeySequence key = row.Key.Sequence(); !key.isEmpty()) action->setShortcut(key);
    action->setCheckable(row.Flags & Checkable);
    if (row.Flags & Checked) action->setChecked(true);
    if (row.Flags & Disabled) action->setEnabled(false);
    return action;
}

} // namespace

void TMainActions::Build(QObject* owner) {
    for (const TActionRow& row : kActions) {
        if (const auto* window = std::get_if<QAction * TMainActions::*>(&row.Member)) {
            this->*(*window) = MakeAction(owner, QString::fromLatin1(row.Name), row);
            continue;
        }
        const auto pane = std::get<QAction * TPaneActions::*>(row.Member);
        for (const bool host : {false, true}) {
            TPaneActions& side = host ? Server : Local;
            const QString prefix = host ? QStringLiteral("actServer") : QStringLiteral("actLocal");
            side.*pane = MakeAction(owner, prefix + row.Name, row);
        }
    }
    for (TPaneActions* pane : {&Local, &Server}) {
        pane->Styles = new QActionGroup(owner);
        int style = 0;
        for (QAction* action : pane->StyleActions()) {
            action->setData(style++);
            pane->Styles->addAction(action);
        }
    }
    Exit->setShortcuts({Alt(Qt::Key_F4), K(K::Quit)});
    // Window-wide keys, so that a keyboard user transfers from whichever pane has the focus.
    Upload->setToolTip(QStringLiteral("Upload (Ctrl+U)"));
    Download->setToolTip(QStringLiteral("Download (Ctrl+D)"));
    // F1 itself goes to the active window's topic (InstallHelpKey); the menu shows the key.
    HelpContents->setShortcutContext(Qt::WidgetShortcut);
}
