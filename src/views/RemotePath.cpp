#include "views/RemotePath.h"

QByteArray ToServerPath(const QByteArray& viewPath, const TRemotePathForm& form) {
    if (!form.IsVms() || viewPath.contains(":[")) {
        QByteArray path = viewPath;
        if (!form.IsVms() && !path.isEmpty() && !path.endsWith(form.Separator))
            path += form.Separator;
        return path;
    }
    QByteArray inner = viewPath;
    while (inner.startsWith('.'))
        inner.remove(0, 1);
    while (inner.endsWith('.'))
        inner.chop(1);
    // The root of a VMS device has no folder part: "DISK:[000000]".
    if (inner.isEmpty()) inner = "000000";
    return form.VmsPrefix + inner + form.VmsSuffix;
}

QByteArray ViewPathFromFolderReply(const QByteArray& reply, TRemotePathForm& form) {
    const qsizetype open = reply.indexOf(":[");
    if (open >= 0) {
        form.VmsPrefix = reply.left(open + 2);
        form.VmsSuffix = "]";
        form.Separator = '.';
        qsizetype close = reply.indexOf(']', open + 2);
        if (close < 0) close = reply.size();
        QByteArray inner = reply.mid(open + 2, close - open - 2);
        if (inner == "000000") inner.clear();
        return inner.isEmpty() ? QByteArray(".") : "." + inner + ".";
    }
    form.VmsPrefix.clear();
    form.VmsSuffix.clear();
    if (reply.contains('/'))
        form.Separator = '/';
    else if (reply.contains('\\'))
        form.Separator = '\\';
    else
        form.Separator = '/';
    QByteArray path = reply;
    if (!path.isEmpty() && !path.endsWith(form.Separator)) path += form.Separator;
    return path;
}

QByteArray FolderKey(const QByteArray& path, const TRemotePathForm& form) {
    if (path.isEmpty()) return path;
    QByteArray key = path;
    if (form.IsVms()) {
        const qsizetype open = key.indexOf(":[");
        if (open >= 0) {
            const qsizetype close = key.indexOf(']', open + 2);
            QByteArray inner = key.mid(open + 2, close < 0 ? -1 : close - open - 2);
            const QByteArray tail = close < 0 ? QByteArray() : key.mid(close + 1);
            if (inner == "000000") inner.clear();
            key = "." + inner;
            if (!inner.isEmpty() && !tail.isEmpty()) key += ".";
            key += tail;
        }
    }
    // Doubled separators at the end ("/pub//") name the same folder.
    while (key.size() > 1 && key.endsWith(form.Separator) &&
           key.at(key.size() - 2) == form.Separator)
        key.chop(1);
    if (!key.endsWith(form.Separator)) key += form.Separator;
    return key;
}

void SplitItemPath(const QByteArray& path, const TRemotePathForm& form, QByteArray& folder,
                   QByteArray& name) {
    QByteArray full = path;
    if (form.IsVms() && full.contains(":[")) {
        // "DISK:[A.B]C" -> ".A.B." and "C"
        const qsizetype close = full.indexOf(']');
        name = close < 0 ? QByteArray() : full.mid(close + 1);
        folder = FolderKey(full.left(close + 1), form);
        return;
    }
    while (full.size() > 1 && full.endsWith(form.Separator))
        full.chop(1);
    const qsizetype at = full.lastIndexOf(form.Separator);
    folder = at < 0 ? QByteArray() : FolderKey(full.left(at + 1), form);
    name = full.mid(at + 1);
}

bool FolderHolds(const QByteArray& folder, const QByteArray& path) {
    return !folder.isEmpty() && path.startsWith(folder);
}

QByteArray TypedFolderPath(const QByteArray& typed, const QByteArray& shown,
                           const TRemotePathForm& form) {
    if (typed.isEmpty() || shown.isEmpty() || typed.startsWith(form.Separator) ||
        typed.startsWith('~') || typed.contains(':'))
        return typed;
    QByteArray path = shown;
    if (!path.endsWith(form.Separator)) path += form.Separator;
    return path + typed;
}
