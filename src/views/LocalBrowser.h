#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class IViewQuestions;
class QMimeData;

// The local pane's commands on the files of one folder, apart from the window that shows
// them: a new folder, a rename, a delete and a paste. None replaces an existing item; a
// delete goes to the desktop's trash, and for good only when the user says so. Questions
// and refusals go through the view questions; the pane rereads the folder afterwards.
class TLocalBrowser {
public:
    explicit TLocalBrowser(IViewQuestions* questions) : Questions_(questions) {}
    void SetQuestions(IViewQuestions* questions) { Questions_ = questions; }

    // Told of a file about to be renamed or deleted (a viewer holding it lets go).
    std::function<void(const QString& path)> OnFileChanging;

    bool CreateFolder(const QString& folder, const QString& name);
    bool Rename(const QString& folder, const QString& oldName, const QString& newName);
    // The named items of the folder, after the delete question.
    bool Delete(const QString& folder, const QStringList& names);
    // Local files from the clipboard, copied or moved into the folder. True when there were
    // some and every one arrived (moved ones are then gone from where the clipboard says).
    bool Paste(const QString& folder, const QList<QUrl>& urls, bool move);

    // What file managers put on the clipboard beside the addresses to tell a cut from a
    // copy, and how they read it back.
    static void MarkCopiedFiles(QMimeData& data, const QList<QUrl>& urls, bool cut);
    static bool CopiedFilesAreCut(const QMimeData& data);

private:
    // A name the user typed: one item of the folder, never a path out of it.
    bool ValidName(const QString& name);
    void Tell(const QString& text);

    IViewQuestions* Questions_;
};
