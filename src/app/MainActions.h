#pragma once

#include <array>

class QAction;
class QActionGroup;
class QObject;

// One side's commands: its menu, its buttons and its tool strip. The object names are
// "act" + "Local" or "Server" + the member's name ("actServerErase").
struct TPaneActions {
    // "Edit with...": the strip's button (the viewer) with its drop-down of the two.
    QAction* EditWith = nullptr;
    QAction* EditNotepad = nullptr;
    QAction* EditPellion = nullptr;
    QAction* PopNewFolder = nullptr; // the popup's "Ne&w" > "&Folder"
    QAction* Refresh = nullptr;
    QAction* NewFolder = nullptr;
    QAction* Rename = nullptr;
    QAction* Erase = nullptr;
    QAction* Mask = nullptr;
    QAction* Cut = nullptr; // Cut, Copy and Paste: in the local menu only, keys on both
    QAction* Copy = nullptr;
    QAction* Paste = nullptr;
    QAction* Properties = nullptr;
    QAction* Up = nullptr;
    QAction* NewView = nullptr;
    QAction* CloseView = nullptr;
    QAction* ChangeFolder = nullptr;
    QAction* Views = nullptr;
    QAction* StyleIcons = nullptr;
    QAction* StyleSmallIcons = nullptr;
    QAction* StyleList = nullptr;
    QAction* StyleDetails = nullptr;
    // The four style actions, exclusive; each holds its view style as data.
    QActionGroup* Styles = nullptr;

    std::array<QAction*, 4> StyleActions() const {
        return {StyleIcons, StyleSmallIcons, StyleList, StyleDetails};
    }
};

// The main window's commands, so that menus, toolbar, buttons and command states name
// them as members rather than by text.
struct TMainActions {
    QAction* Connect = nullptr;
    QAction* ConnectURL = nullptr;
    QAction* Stop = nullptr;
    QAction* Disconnect = nullptr;
    QAction* DisconnectTransfer = nullptr;
    QAction* Exit = nullptr;
    QAction* CompareFolders = nullptr;
    QAction* SelectAll = nullptr;
    QAction* InvertSelection = nullptr;
    QAction* Upload = nullptr;
    QAction* Download = nullptr;
    QAction* Preferences = nullptr;
    QAction* TransferManager = nullptr;
    QAction* MaximizeHost = nullptr;
    QAction* ShowLog = nullptr;
    QAction* ShowViewer = nullptr;
    QAction* ShowTransfers = nullptr;
    QAction* HelpContents = nullptr;
    QAction* WhatsThis = nullptr;
    QAction* ProductNews = nullptr;
    QAction* FAQ = nullptr;
    QAction* Feedback = nullptr;
    QAction* About = nullptr;
    // The host pane's popup menu; "Rena&me" is the server's Rename.
    QAction* PopOpen = nullptr;
    QAction* PopView = nullptr;
    QAction* PopDownload = nullptr;
    QAction* PopDownloadNow = nullptr;
    QAction* PopDelete = nullptr;
    QAction* PopProperties = nullptr;
    QAction* SendToHost = nullptr;
    QAction* SendToLocal = nullptr;
    QAction* SendToName = nullptr;
    QAction* SendToURL = nullptr;
    TPaneActions Local;
    TPaneActions Server;

    // Creates every action, owned by owner, with its caption, hint, icon and key; the
    // caller connects what they do.
    void Build(QObject* owner);
};
