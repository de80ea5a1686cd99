#include "views/LocalBrowser.h"

#include "platform/SafeName.h"
#include "platform/Trash.h"
#include "views/LocalFileCopy.h"
#include "views/ViewQuestions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>

namespace {

const QString GnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
const QString KdeCutSelection = QStringLiteral("application/x-kde-cutselection");

bool Taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

void TLocalBrowser::Tell(const QString& text) {
    if (Questions_) Questions_->ShowMessage(text);
}

bool TLocalBrowser::ValidName(const QString& name) {
    // The same gate as a server's names: nothing that leaves the folder.
    QString same;
    if (SafeLocalName(name.toUtf8(), same)) return true;
    Tell(QStringLiteral("'%1' cannot be used: a name may not be empty, \".\" or \"..\", "
                        "nor hold \"/\".")
             .arg(name));
    return false;
}

bool TLocalBrowser::CreateFolder(const QString& folder, const QString& name) {
    if (!ValidName(name)) return false;
    if (Taken(QDir(folder).filePath(name))) {
        Tell(QStringLiteral("Cannot create the folder '%1': an item with this name already exists.")
                 .arg(name));
        return false;
    }
    if (!QDir(folder).mkdir(name)) {
        Tell(QStringLiteral("The folder '%1' could not be created.").arg(name));
        return false;
    }
    return true;
}

bool TLocalBrowser::Rename(const QString& folder, const QString& oldName, const QString& newName) {
    if (newName == oldName) return true;
    if (!ValidName(newName)) return false;
    const QString from = QDir(folder).filePath(oldName);
    const QString to = QDir(folder).filePath(newName);
    if (Taken(to)) {
        Tell(QStringLiteral("Cannot rename %1: an item called '%2' already exists. "
                            "Specify a different name.")
                 .arg(oldName, newName));
        return false;
    }
    if (OnFileChanging) OnFileChanging(from);
    // Neither rename replaces an existing target.
    const QFileInfo info(from);
    const bool renamed =
        info.isDir() && !info.isSymLink() ? QDir().rename(from, to) : QFile::rename(from, to);
    if (!renamed) Tell(QStringLiteral("%1 could not be renamed to '%2'.").arg(oldName, newName));
    return renamed;
}

bool TLocalBrowser::Delete(const QString& folder, const QStringList& names) {
    if (names.isEmpty() || !Questions_) return false;
    QStringList paths;
    for (const QString& name : names)
        paths.append(QDir(folder).filePath(name));
    if (!Questions_->ConfirmDelete(int(names.size()), names.first(),
                                   QFileInfo(paths.first()).isDir()))
        return false;
    if (OnFileChanging) {
        for (const QString& path : std::as_const(paths))
            if (!QFileInfo(path).isDir()) OnFileChanging(path);
    }
    QStringList failed;
    QStringList noTrash;
    for (const QString& path : std::as_const(paths)) {
        if (TrashFolderFor(path).isEmpty())
            noTrash.append(path);
        else if (!QFile::moveToTrash(path))
            failed.append(path); // what the trash does not take stays where it is
    }
    // Removed for good only when the user says so.
    const bool permanent =
        !noTrash.isEmpty() &&
        Questions_->AskYesNo(QStringLiteral("No trash folder can be made for these items:\n%1\n\n"
                                            "Delete them permanently?")
                                 .arg(noTrash.join(QLatin1Char('\n'))));
    if (permanent) {
        for (const QString& path : std::as_const(noTrash))
            if (!DeletePermanently(path)) failed.append(path);
    }
    if (!failed.isEmpty()) {
        Tell(QStringLiteral("These items could not be moved to the trash and were not deleted:\n%1")
                 .arg(failed.join(QLatin1Char('\n'))));
        return false;
    }
    return noTrash.isEmpty() || permanent;
}

bool TLocalBrowser::Paste(const QString& folder, const QList<QUrl>& urls, bool move) {
    QStringList problems;
    bool pasted = false;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        QString error;
        if (PasteLocalItem(url.toLocalFile(), folder, move, error))
            pasted = true;
        else
            problems.append(error);
    }
    if (!problems.isEmpty()) Tell(problems.join(QLatin1Char('\n')));
    return pasted && problems.isEmpty();
}

void TLocalBrowser::MarkCopiedFiles(QMimeData& data, const QList<QUrl>& urls, bool cut) {
    QByteArray gnome = cut ? "cut" : "copy";
    for (const QUrl& url : urls)
        gnome += '\n' + url.toEncoded();
    data.setData(GnomeCopiedFiles, gnome);
    if (cut) data.setData(KdeCutSelection, "1");
}

bool TLocalBrowser::CopiedFilesAreCut(const QMimeData& data) {
    return data.data(GnomeCopiedFiles).startsWith("cut") ||
           data.data(KdeCutSelection).startsWith('1');
}
