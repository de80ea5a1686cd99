#include "platform/ProgramLaunch.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>

TProgramCommand SplitProgramCommand(const QString& setting) {
    const QString text = setting.trimmed();
    if (text.isEmpty()) return {};
    if (QFileInfo(text).isFile()) return {text, {}};
    QStringList words = QProcess::splitCommand(text);
    if (words.isEmpty()) return {};
    static const QRegularExpression placeholder(QStringLiteral("^%[0-9A-Za-z]$"));
    TProgramCommand command{words.takeFirst(), {}};
    for (const QString& word : words)
        if (!placeholder.match(word).hasMatch()) command.Arguments << word;
    return command;
}

bool StartProgram(const TProgramCommand& command, const QStringList& files,
                  const QString& workingFolder) {
    if (command.Program.isEmpty()) return false;
    QStringList arguments = command.Arguments;
    // "-rf.txt" given as "/tmp/x/-rf.txt" is a file to any program, never an option.
    for (const QString& file : files)
        arguments << QFileInfo(file).absoluteFilePath();
    return QProcess::startDetached(command.Program, arguments, workingFolder);
}

bool IsDesktopOpener(const QString& program) {
    static const QStringList openers{QStringLiteral("xdg-open"),   QStringLiteral("gio"),
                                     QStringLiteral("kde-open"),   QStringLiteral("kde-open5"),
                                     QStringLiteral("gnome-open"), QStringLiteral("exo-open")};
    return openers.contains(QFileInfo(program).fileName());
}

bool OpenerWouldRun(const QString& file) {
    // Types that are programs without inheriting the executable type on every desktop.
    static const QStringList programs{
        QStringLiteral("application/x-desktop"),
        QStringLiteral("application/x-ms-dos-executable"),
        QStringLiteral("application/x-msdownload"),
        QStringLiteral("application/vnd.microsoft.portable-executable"),
        QStringLiteral("application/x-msi"),
        QStringLiteral("application/x-java-archive"),
    };
    const QMimeDatabase db;
    for (const QMimeType& type : {db.mimeTypeForFile(file, QMimeDatabase::MatchExtension),
                                  db.mimeTypeForFile(file, QMimeDatabase::MatchContent)}) {
        if (type.inherits(QStringLiteral("application/x-executable"))) return true;
        for (const QString& name : programs)
            if (type.inherits(name)) return true;
    }
    return false;
}
