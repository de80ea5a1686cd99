// The dialogs the main window opens: site manager, URL window, options.
#include "app/MainWindow.h"

void TfrmMain::Connect() {}
void TfrmMain::ConnectLastConnection(const QString&) {}
void TfrmMain::ConnectToURL() {}
void TfrmMain::ShowOptions() {}
