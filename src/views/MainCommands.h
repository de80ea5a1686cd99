#pragma once

#include <QString>

// The main window's rules that need no window: which commands a pane's state enables,
// which sound a status plays, the quit question and the captions built from site names.

// The current host pane as the command table sees it.
struct THostCommandInput {
    bool Connected = false;
    bool Busy = false;   // the pane waits for its server
    bool Active = false; // busy, commands pending, or its session busy
    int Selected = 0;
    bool AtRoot = true; // the folder drop-down shows the root
};

struct THostCommandStates {
    bool Stop = false, Disconnect = false, Download = false, Delete = false, Rename = false;
    bool NewFolder = false, Refresh = false, EditWith = false, ViewStyle = false;
    bool FileMask = false, ChangeFolder = false, CompareFolders = false, UpOneLevel = false;
    bool Properties = false;
};
THostCommandStates HostCommandStates(const THostCommandInput& in);

// The host pane's popup menu as it opens: the pane's commands and whether the focused
// entry is a folder (the commands for one file are off for a folder).
struct THostPopupStates {
    bool Open = false, View = false, Download = false, DownloadNow = false, Rename = false;
    bool Delete = false, SendTo = false, New = false, Properties = false;
};
THostPopupStates HostPopupStates(const THostCommandStates& commands, bool focusedIsFolder);

// The popup entry a double-click on a host entry stands for, by the HostDblClk setting.
enum THostPopupDefault { hpProperties, hpView, hpDownload, hpOpen };
THostPopupDefault HostPopupDefault(int hostDblClk);

// "Edit with..." as it opens: the viewer takes any file; the HTML editor, when one is
// set, only files of the web types it edits.
struct TEditWithStates {
    bool NotePad = false, Pellion = false;
};
TEditWithStates EditWithStates(bool selected, bool isFolder, const QString& name, bool editorSet);

struct TLocalCommandStates {
    bool Delete = false, Rename = false, Upload = false, Properties = false;
};
TLocalCommandStates LocalCommandStates(int selected, bool hostConnected);

// The index in the settings' sound list a host pane status plays, or -1.
int StatusSound(int status);

// The quit question for the active connections and the transfers not yet done (named
// as UnfinishedTransfersText names them); empty when there is nothing to ask about.
QString QuitQuestion(int connections, const QString& unfinished);

// A name shown where "&" marks a mnemonic (tab captions, menu entries).
QString MnemonicSafe(const QString& name);
// The window title for a tab's caption.
QString MainTitle(const QString& caption);
// What a host tab (and its transfer queue) is called: the site's name when the connection
// came from the site list, else the host, with its port unless that is 21
// ("127.0.0.1:2121", "[::1]:2121").
QString ConnectionCaption(const QString& siteName, const QString& host, int port);
