#include "TestFiles.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "platform/ShortName.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPlatformNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shortFileName_data();
    void shortFileName();
    void shortNamesOfSiblingsDiffer();
    void registryValues();
    void programFolder_data();
    void programFolder();
    void storedFilesMoveOnce();
};

void TestPlatformNames::shortFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("alias");
    const auto row = [](const char* name, const char* alias) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromLatin1(alias);
    };
    row("Read the Instructions.txt", "READTH~1.TXT"); // long, with blanks
    row("readme.txt", "README.TXT");                  // fits: case only
    row("Makefile", "MAKEFILE");
    row("verylongname", "VERYLO~1");
    row("index.html", "INDEX~1.HTM"); // long extension
    row("archive.tar.gz", "ARCHIV~1.GZ");
    row(".profile", "PROFIL~1");
    row("a+b.txt", "A_B~1.TXT"); // forbidden characters
    row("na\u00efve.txt", "NA_VE~1.TXT");
    row(". .", "_~1"); // only dots and blanks
}

void TestPlatformNames::shortFileName() {
    QFETCH(QString, name);
    QFETCH(QString, alias);
    QCOMPARE(ShortFileName(name), alias);
}

void TestPlatformNames::shortNamesOfSiblingsDiffer() {
    // Uploading both under one alias would overwrite the first on the server.
    const QStringList folder{"Read this too.txt", "Read the Instructions.txt", "other.txt"};
    QCOMPARE(ShortFileName("Read the Instructions.txt", folder), QStringLiteral("READTH~1.TXT"));
    QCOMPARE(ShortFileName("Read this too.txt", folder), QStringLiteral("READTH~2.TXT"));
    QStringList many;
    for (int i = 0; i < 12; ++i)
        many.append(QStringLiteral("Long file %1.txt").arg(i, 2, 10, QLatin1Char('0')));
    QCOMPARE(ShortFileName(many.last(), many), QStringLiteral("LONGF~12.TXT"));
}

void TestPlatformNames::registryValues() {
    QTemporaryDir dir;
    const QString store = dir.filePath("Quenmoor.conf");
    {
        TRegistry registry(store);
        registry.WriteInteger(RegWindowsMain, "Left", 160);
        registry.WriteInteger(RegColumnWidths, "LocalCol0", 200);
        registry.WriteString(RegWindowsMain, "Note", "text with / and \\");
        registry.WriteString(RegOptions, "ToolBarMin", "tall");
        registry.WriteLastConnections({"Alpha", "", "Gamma"});
        QVERIFY(registry.Flush());
    }
    TRegistry registry(store);
    QCOMPARE(registry.ReadInteger("Windows\\Main", "Left", 0), 160);
    QCOMPARE(registry.ReadInteger("Windows\\Main\\Column Widths", "LocalCol0", 0), 200);
    // Subkeys are groups: a value of the parent key is not one of the child's.
    QCOMPARE(registry.ReadInteger(RegColumnWidths, "Left", -1), -1);
    QCOMPARE(registry.ReadString(RegWindowsMain, "Note", ""), QStringLiteral("text with / and \\"));
    QCOMPARE(registry.ReadInteger(RegOptions, "ToolBarMin", 34), 34);
    QCOMPARE(registry.ReadInteger(RegOptions, "Missing", 7), 7);
    QVERIFY(!registry.ValueExists(RegOptions, "Missing"));
    const QStringList last = registry.ReadLastConnections();
    QCOMPARE(last.size(), LastConnectionCount);
    QCOMPARE(last.mid(0, 4), QStringList({"Alpha", "", "Gamma", ""}));
    QCOMPARE(registry.ReadString("Last Connections3", "Site", ""), QStringLiteral("Gamma"));
}

void TestPlatformNames::programFolder_data() {
    QTest::addColumn<bool>("portable");
    QTest::addColumn<bool>("configHome");  // XDG_CONFIG_HOME set
    QTest::addColumn<QString>("expected"); // under the temporary folder
    QTest::newRow("config home") << false << true << "config/tolvar";
    QTest::newRow("no config home: ~/.config") << false << false << "home/.config/tolvar";
    QTest::newRow("portable") << true << false << "program";
    QTest::newRow("portable before a config home") << true << true << "program";
}

void TestPlatformNames::programFolder() {
    QFETCH(bool, portable);
    QFETCH(bool, configHome);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString program = dir.filePath("program");
    QVERIFY(QDir().mkpath(program) && QDir().mkpath(dir.filePath("home")));
    if (portable) QVERIFY(WriteFile(program + "/portable", ""));
    qputenv("HOME", QFile::encodeName(dir.filePath("home")));
    if (configHome)
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
    else
        qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(ChooseProgramFolder(program), dir.filePath(expected));
}

void TestPlatformNames::storedFilesMoveOnce() {
    QTemporaryDir dir;
    const QString from = dir.filePath("program"), to = dir.filePath("config/tolvar");
    const QString oldRegistry = dir.filePath("config/Kelvenar/Quenmoor.conf");
    QVERIFY(WriteFile(from + "/tolvar.ini", "[General]\r\nLogFile=" + QFile::encodeName(from) +
                                                "/my.log\r\nEMail=me@x.org\r\n"));
    QVERIFY(WriteFile(from + "/my.log", "log"));
    QVERIFY(WriteFile(from + "/Sites.ini", "old sites"));
    QVERIFY(WriteFile(from + "/Dev/dev.ini", "dev"));
    QVERIFY(WriteFile(from + "/tolvar", "the program itself"));
    QVERIFY(WriteFile(oldRegistry, "[Windows]"));
    QVERIFY(WriteFile(to + "/Sites.ini", "sites in use")); // never overwritten

    const QStringList lines = MoveStoredFiles(from, to, "tolvar", oldRegistry);
    QCOMPARE(lines.filter("Moved").size(), 4); // settings, log, Dev, registry
    QCOMPARE(ReadFile(to + "/Dev/dev.ini"), QByteArray("dev"));
    QCOMPARE(ReadFile(to + "/my.log"), QByteArray("log"));
    QCOMPARE(ReadFile(to + "/Quenmoor.conf"), QByteArray("[Windows]"));
    QCOMPARE(ReadFile(to + "/Sites.ini"), QByteArray("sites in use"));
    QCOMPARE(ReadFile(from + "/Sites.ini"), QByteArray("old sites"));
    QVERIFY(lines.filter("Sites.ini").size() == 1);
    const TProfileFile settings(to + "/tolvar.ini");
    QCOMPARE(settings.ReadString("General", "LogFile", ""), to + "/my.log");
    QCOMPARE(settings.ReadString("General", "EMail", ""), QStringLiteral("me@x.org"));
    QCOMPARE(QDir(from).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"Sites.ini", "tolvar"}));
    QVERIFY(!QFileInfo::exists(dir.filePath("config/Kelvenar")));

    // Once: the next start moves nothing more; portable use moves nothing at all.
    QCOMPARE(MoveStoredFiles(from, to, "tolvar", oldRegistry).filter("Moved").size(), 0);
    QVERIFY(MoveStoredFiles(from, from, "tolvar", oldRegistry).isEmpty());
}

QTEST_GUILESS_MAIN(TestPlatformNames)
#include "tst_platformnames.moc"
