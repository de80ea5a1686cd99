// The local pane's file commands on real files in a private home: nothing existing is
// ever replaced, no name leaves the folder, and a delete goes to the trash.
#include "ScriptedQuestions.h"
#include "TestFiles.h"
#include "views/LocalBrowser.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestLocalBrowser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void namesAreChecked_data();
    void namesAreChecked();
    void deleteMovesToTrash_data();
    void deleteMovesToTrash();
    void pasteNeverOverwrites_data();
    void pasteNeverOverwrites();

private:
    QString Path(const QString& name) const { return Home_->filePath(name); }
    std::unique_ptr<QTemporaryDir> Home_;
    TScriptedQuestions Questions_;
    std::unique_ptr<TLocalBrowser> Browser_;
    QStringList Changing_;
};

void TestLocalBrowser::init() {
    // The trash and everything else stay inside a fresh home.
    Home_ = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(Home_->path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("data"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("data"))));
    Questions_ = TScriptedQuestions();
    Changing_.clear();
    Browser_ = std::make_unique<TLocalBrowser>(&Questions_);
    Browser_->OnFileChanging = [this](const QString& path) { Changing_.append(path); };
    for (const char* name : {"zeta/", "Alpha/", "b.txt", "C.txt"}) {
        const QString path = Path(QString::fromLatin1(name));
        QVERIFY(path.endsWith(QLatin1Char('/')) ? QDir().mkpath(path)
                                                : WriteFile(path, QByteArray(name)));
    }
}

void TestLocalBrowser::namesAreChecked_data() {
    QTest::addColumn<QString>("command"); // "rename" (from b.txt or Alpha) or "create"
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("done");
    QTest::newRow("rename onto a file") << "rename"
                                        << "b.txt"
                                        << "C.txt" << false;
    QTest::newRow("rename folder onto a folder") << "rename"
                                                 << "Alpha"
                                                 << "zeta" << false;
    QTest::newRow("rename to a free name") << "rename"
                                           << "b.txt"
                                           << "d.txt" << true;
    QTest::newRow("rename folder") << "rename"
                                   << "Alpha"
                                   << "Beta" << true;
    QTest::newRow("rename into a subfolder") << "rename"
                                             << "b.txt"
                                             << "zeta/b.txt" << false;
    QTest::newRow("rename to ..") << "rename"
                                  << "b.txt"
                                  << ".." << false;
    QTest::newRow("rename to empty") << "rename"
                                     << "b.txt"
                                     << "" << false;
    QTest::newRow("create") << "create"
                            << ""
                            << "new" << true;
    QTest::newRow("create over a file") << "create"
                                        << ""
                                        << "b.txt" << false;
    QTest::newRow("create a path") << "create"
                                   << ""
                                   << "zeta/sub" << false;
    QTest::newRow("create with NUL") << "create"
                                     << "" << QString(QChar(0)) + "x" << false;
}

void TestLocalBrowser::namesAreChecked() {
    QFETCH(QString, command);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, done);
    const bool rename = command == QLatin1String("rename");
    const QByteArray before = ReadFile(Path(to));
    const QStringList zeta = QDir(Path("zeta")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(rename ? Browser_->Rename(Home_->path(), from, to)
                    : Browser_->CreateFolder(Home_->path(), to),
             done);
    QCOMPARE(Questions_.Messages.size(), done ? 0 : 1);
    if (rename) QCOMPARE(QFileInfo::exists(Path(from)), !done);
    if (done) {
        QVERIFY(QFileInfo::exists(Path(to)));
    } else {
        // Nothing in the way changed, nothing went into another folder.
        QCOMPARE(ReadFile(Path(to)), before);
        QCOMPARE(QDir(Path("zeta")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), zeta);
    }
    // What is renamed is announced first; a refused name announces nothing.
    QCOMPARE(Changing_, rename && done ? QStringList{Path(from)} : QStringList());
}

void TestLocalBrowser::deleteMovesToTrash_data() {
    QTest::addColumn<bool>("answer");
    // The data home: "data" is there, "fresh/share" is to be made; below "blocker" (a
    // file) none can be made, even by root; "" leaves the home's own, which is locked.
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<bool>("permanently"); // the answer when no trash can be made
    QTest::newRow("to the trash") << true << "data" << false;
    QTest::newRow("not confirmed") << false << "data" << false;
    QTest::newRow("data home made") << true << "fresh/share" << false;
    QTest::newRow("no trash, deleted") << true << "blocker/share" << true;
    QTest::newRow("no trash, kept") << true << "blocker/share" << false;
    QTest::newRow("locked home, kept") << true << "" << false;
}

void TestLocalBrowser::deleteMovesToTrash() {
    QFETCH(bool, answer);
    QFETCH(QString, dataHome);
    QFETCH(bool, permanently);
    const bool noTrash = dataHome.isEmpty() || dataHome.startsWith(QLatin1String("blocker"));
    const QString locked = Path(QStringLiteral("locked"));
    if (dataHome.isEmpty()) {
        if (::geteuid() == 0) QSKIP("root writes into every folder");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        qputenv("HOME", QFile::encodeName(locked));
        qunsetenv("XDG_DATA_HOME");
    } else {
        if (noTrash) QVERIFY(WriteFile(Path(QStringLiteral("blocker")), "in the way"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(Path(dataHome)));
    }
    // Nothing may land in the folder the program was started from.
    QTemporaryDir work;
    const QString started = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    Questions_.Delete = answer;
    Questions_.Yes = permanently;
    const bool deleted = answer && (!noTrash || permanently);
    const bool trashed = answer && !noTrash;
    QCOMPARE(Browser_->Delete(Home_->path(), {"b.txt", "Alpha"}), deleted);
    QDir::setCurrent(started);
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(Questions_.Deletes, 1);
    QCOMPARE(Questions_.Asked.size(), answer && noTrash ? 1 : 0);
    QCOMPARE(QFileInfo::exists(Path(QStringLiteral("b.txt"))), !deleted);
    QCOMPARE(QFileInfo::exists(Path(QStringLiteral("Alpha"))), !deleted);
    const QString trash = Path(dataHome + QStringLiteral("/Trash"));
    QCOMPARE(QFileInfo::exists(trash + QStringLiteral("/files/b.txt")), trashed);
    QCOMPARE(QFileInfo(trash + QStringLiteral("/files/Alpha")).isDir(), trashed);
    if (trashed)
        QCOMPARE(QFileInfo(trash).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
    // Only files are announced, before they go.
    QCOMPARE(Changing_, answer ? QStringList{Path(QStringLiteral("b.txt"))} : QStringList{});
}

void TestLocalBrowser::pasteNeverOverwrites_data() {
    QTest::addColumn<bool>("cut");
    QTest::newRow("copy") << false;
    QTest::newRow("cut") << true;
}

void TestLocalBrowser::pasteNeverOverwrites() {
    QFETCH(bool, cut);
    QVERIFY(WriteFile(Path(QStringLiteral("zeta/b.txt")), "old"));
    QVERIFY(WriteFile(Path(QStringLiteral("Alpha/inner/x")), "x"));
    QList<QUrl> urls;
    for (const char* name : {"b.txt", "C.txt", "Alpha"})
        urls << QUrl::fromLocalFile(Path(QString::fromLatin1(name)));
    // The clipboard tells a cut from a copy as file managers do.
    QMimeData data;
    TLocalBrowser::MarkCopiedFiles(data, urls, cut);
    QCOMPARE(TLocalBrowser::CopiedFilesAreCut(data), cut);
    QVERIFY(!Browser_->Paste(Path("zeta"), urls, cut));
    QCOMPARE(ReadFile(Path(QStringLiteral("zeta/b.txt"))), QByteArray("old"));
    QCOMPARE(ReadFile(Path(QStringLiteral("zeta/C.txt"))), QByteArray("C.txt"));
    QCOMPARE(ReadFile(Path(QStringLiteral("zeta/Alpha/inner/x"))), QByteArray("x"));
    QCOMPARE(QFileInfo::exists(Path(QStringLiteral("C.txt"))), !cut);
    QCOMPARE(ReadFile(Path(QStringLiteral("b.txt"))), QByteArray("b.txt"));
    QCOMPARE(Questions_.Messages.size(), 1);
    QVERIFY(Questions_.Messages.first().contains(QStringLiteral("b.txt")));
    // A folder pasted into itself would never end.
    QVERIFY(!Browser_->Paste(Path("zeta/Alpha/inner"), {QUrl::fromLocalFile(Path("zeta/Alpha"))},
                             false));
    QCOMPARE(QDir(Path("zeta/Alpha/inner")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{"x"});
    QCOMPARE(Questions_.Messages.size(), 2);
}

QTEST_MAIN(TestLocalBrowser)
#include "tst_local_browser.moc"
