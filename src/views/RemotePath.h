#pragma once

#include <QByteArray>

// How a host view writes remote folder paths. View paths are raw server bytes that end
// with the separator: "/pub/" on most servers, "\data\" where the server's folder reply
// holds backslashes only, and ".SMITH.WORK." for the VMS folder USER$DISK:[SMITH.WORK].
struct TRemotePathForm {
    char Separator = '/';
    QByteArray VmsPrefix; // "USER$DISK:[" on VMS servers, else empty
    QByteArray VmsSuffix; // "]" on VMS servers, else empty

    bool IsVms() const { return !VmsPrefix.isEmpty(); }
};

// The text sent to the server for a view path: the path with its separator; on VMS the
// device form (".A.B." -> "DISK:[A.B]"), a path already in device form unchanged.
QByteArray ToServerPath(const QByteArray& viewPath, const TRemotePathForm& form);

// Reads the answer to PWD: sets the form (VMS, backslash or slash) and returns the view path.
QByteArray ViewPathFromFolderReply(const QByteArray& reply, TRemotePathForm& form);

// The one normaliser every folder path goes through before it meets the cache: server
// forms ("/pub/old" from an RMD, "DISK:[A.B]C") and view forms become the view form
// with exactly one trailing separator. Empty stays empty.
QByteArray FolderKey(const QByteArray& path, const TRemotePathForm& form);

// Splits a full server path of an item into its folder (view form, a key) and its name,
// on the view's separator only.
void SplitItemPath(const QByteArray& path, const TRemotePathForm& form, QByteArray& folder,
                   QByteArray& name);

// True when `path` is `folder` itself or lies below it (both keys): "/pub/a/" holds
// "/pub/a/x/" but not "/pub/ab/".
bool FolderHolds(const QByteArray& folder, const QByteArray& path);

// The folder a path typed in the folder box names: one from the root (it starts with the
// separator or "~", or names a device or drive: "DISK:[A]", "C:\") as it stands, any
// other below the folder shown ("pub" in "/home/ann/" is "/home/ann/pub"), since the
// server's own current folder may be another one by then.
QByteArray TypedFolderPath(const QByteArray& typed, const QByteArray& shown,
                           const TRemotePathForm& form);
