#include "views/widgets/ThemeIcons.h"

#include "views/ViewFormat.h"

#include <QApplication>
#include <QHash>
#include <QStyle>

#include <map>

namespace {

struct TIconName {
    const char* Theme;
    QStyle::StandardPixmap Fallback;
};

// Standard freedesktop theme names, with the style's own pixmap where
// the desktop has no theme (offscreen, bare window managers).
const std::map<QString, TIconName>& IconNames() {
    static const std::map<QString, TIconName> names = {
        {"connect", {"network-server", QStyle::SP_DriveNetIcon}},
        {"url", {"applications-internet", QStyle::SP_DirLinkIcon}},
        {"stop", {"process-stop", QStyle::SP_BrowserStop}},
        {"disconnect", {"network-offline", QStyle::SP_DialogCloseButton}},
        {"manager", {"view-list-details", QStyle::SP_FileDialogDetailedView}},
        {"maximize", {"view-fullscreen", QStyle::SP_TitleBarMaxButton}},
        {"log", {"utilities-terminal", QStyle::SP_FileDialogContentsView}},
        {"viewer", {"document-preview", QStyle::SP_FileDialogInfoView}},
        {"up", {"go-up", QStyle::SP_FileDialogToParent}},
        {"refresh", {"view-refresh", QStyle::SP_BrowserReload}},
        {"newfolder", {"folder-new", QStyle::SP_FileDialogNewFolder}},
        {"delete", {"edit-delete", QStyle::SP_TrashIcon}},
        {"rename", {"edit-rename", QStyle::SP_FileLinkIcon}},
        {"edit", {"accessories-text-editor", QStyle::SP_FileIcon}},
        {"mask", {"view-filter", QStyle::SP_FileDialogListView}},
        {"properties", {"document-properties", QStyle::SP_FileDialogInfoView}},
        {"newview", {"tab-new", QStyle::SP_FileDialogStart}},
        {"closeview", {"window-close", QStyle::SP_DialogCloseButton}},
        {"views", {"view-list-icons", QStyle::SP_FileDialogListView}},
        {"folder", {"folder-open", QStyle::SP_DirOpenIcon}},
        {"upload", {"go-next", QStyle::SP_ArrowRight}},
        {"download", {"go-previous", QStyle::SP_ArrowLeft}},
        {"help", {"help-contents", QStyle::SP_DialogHelpButton}},
        {"transfers", {"emblem-synchronizing", QStyle::SP_ArrowDown}},
    };
    return names;
}

} // namespace

QIcon ThemeIcon(const QString& key) {
    const auto found = IconNames().find(key);
    if (found == IconNames().end()) return {};
    return ThemeIcon(QString::fromLatin1(found->second.Theme), found->second.Fallback);
}

QIcon ThemeIcon(const QString& themeName, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(themeName, QApplication::style()->standardIcon(fallback));
}

QIcon FileTypeIcon(const QString& name) {
    static QHash<QString, QIcon> cache;
    const QString key = FileTypeKey(name);
    const auto found = cache.constFind(key);
    if (found != cache.constEnd()) return *found;
    const QMimeType mime = FileMimeType(key);
    QIcon icon;
    if (!mime.isDefault())
        icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
    if (icon.isNull()) icon = ThemeIcon(QStringLiteral("text-x-generic"), QStyle::SP_FileIcon);
    cache.insert(key, icon);
    return icon;
}

QIcon FolderIcon() {
    static const QIcon folder = ThemeIcon(QStringLiteral("folder"), QStyle::SP_DirIcon);
    return folder;
}
