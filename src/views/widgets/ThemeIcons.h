#pragma once

#include <QIcon>
#include <QString>
#include <QStyle>

// The program's icons by our own key ("connect", "refresh", ...): the freedesktop theme's
// icon where the desktop has a theme, else the style's own, so that offscreen and bare
// window managers show icons too.
QIcon ThemeIcon(const QString& key);
// The same for a freedesktop name ("folder", "text-x-generic") and the style's pixmap.
QIcon ThemeIcon(const QString& themeName, QStyle::StandardPixmap fallback);
// The icon of files of this name, the same in both panes and the overwrite question: the
// theme's icon for its type, else a plain page. Cached by FileTypeKey.
QIcon FileTypeIcon(const QString& name);
// A folder's icon in both panes.
QIcon FolderIcon();
