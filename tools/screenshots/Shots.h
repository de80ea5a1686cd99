#pragma once

#include "settings/Settings.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

// What every shot gets: the loopback server, the folders, the settings.
struct TContext {
    int Port = 0;
    QString Remote;
    QString Local;
    TSettings Settings = DefaultSettings();
    // The window to picture when it is not the one a shot returns but one that window
    // keeps (the main window's transfer windows); cleared before each shot.
    QPointer<QWidget> Grab;
};

using TWindow = std::unique_ptr<QWidget>;

// Records what went wrong, for the message the renderer exits with; returns false.
bool Fails(const QString& text);
// Runs the event loop until done() holds or the time is up, checking every 20 ms.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

// The program's own windows (AppShots.cpp).
TWindow MainWindowShot(TContext& context);
// The main window as another program's remote file dialog, two files selected.
TWindow DialogShot(TContext& context);
// The internal viewer in the log's place, showing a page of the server with its picture.
TWindow ViewerShot(TContext& context);
// The host pane's popup menu over a selected file.
TWindow HostPopupShot(TContext& context);
// The progress window and the transfer manager during downloads the host pane queued.
TWindow ProgressShot(TContext& context);
TWindow ManagerShot(TContext& context);
TWindow SiteManagerShot(TContext& context, bool additional);
TWindow UrlShot(TContext& context);
// One page of the options window, counted from 0.
TWindow OptionsShot(TContext& context, int page);
// The mask window over the host pane, the compare options, and the main window after a
// compare of its panes.
TWindow MaskShot(TContext& context);
TWindow CompareOptionsShot(TContext& context);
TWindow ComparedShot(TContext& context);
