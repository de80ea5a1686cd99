#include "TestFiles.h"

#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// As a Windows program leaves it: CR/LF, mixed case, comments, blank lines, a
// duplicated key and section, quoted and padded values, ANSI and UTF-8 texts.
const QByteArray WindowsFile = "; written by hand\r\n"
                               "[General]\r\n"
                               "EMail = first@example.org \r\n"
                               "email=second@example.org\r\n"
                               "\r\n"
                               "; the viewer\r\n"
                               "VIEWER=\"C:\\Windows\\NotePad.exe\"\r\n"
                               "Quoted='single'\r\n"
                               "HalfQuoted=\"open\r\n"
                               "a line without equals\r\n"
                               "Caf\xe9=Cr\xe8me\r\n"
                               "Utf=Gr\xc3\xbc\xc3\x9f"
                               "e\r\n"
                               "\r\n"
                               "[Kelvenar's FTP (main) #1, v2.0]\r\n"
                               "Host=ftp.example.org\r\n"
                               "\r\n"
                               "[GENERAL]\r\n"
                               "Hidden=1\r\n";

} // namespace

class TestProfileFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void readsWindowsFile();
    void readsIntegersAsProfileFunctions_data();
    void readsIntegersAsProfileFunctions();
    void updatesInPlaceAndKeepsTheRest();
    void newKeysAndSections();
    void eraseAndDelete();
    void exactValuesReadBackWhole();
    void refusesWhatCannotBeOneLine();
    void otherLineEnds();
    void replacesTheFileInOneStep();
    void reportsUnwritableFile();

private:
    QTemporaryDir FDir;
    QString FPath;
};

void TestProfileFile::init() {
    FPath = FDir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()));
    QFile::remove(FPath);
}

void TestProfileFile::readsWindowsFile() {
    QVERIFY(WriteFile(FPath, WindowsFile));
    const TProfileFile ini(FPath);
    // The first of duplicated keys and sections wins; names match without regard to case.
    QCOMPARE(ini.ReadString("general", "EMAIL", "-"), QStringLiteral("first@example.org"));
    QCOMPARE(ini.ReadString("General", "Hidden", "-"), QStringLiteral("-"));
    QCOMPARE(ini.ReadString("General", "Viewer", "-"), QStringLiteral("C:\\Windows\\NotePad.exe"));
    QCOMPARE(ini.ReadString("General", "Quoted", "-"), QStringLiteral("single"));
    QCOMPARE(ini.ReadString("General", "HalfQuoted", "-"), QStringLiteral("\"open"));
    QCOMPARE(ini.ReadString("General", "a line without equals", "-"), QStringLiteral("-"));
    QCOMPARE(ini.ReadString("General", "; the viewer", "-"), QStringLiteral("-"));
    QCOMPARE(ini.ReadString("General", QStringLiteral("CAF\u00c9"), "-"),
             QStringLiteral("Cr\u00e8me"));
    QCOMPARE(ini.ReadString("General", "Utf", "-"), QStringLiteral("Gr\u00fc\u00dfe"));
    QCOMPARE(ini.ReadString("kelvenar's ftp (MAIN) #1, v2.0", "host", "-"),
             QStringLiteral("ftp.example.org"));
    QCOMPARE(ini.ReadSections(), QStringList({"General", "Kelvenar's FTP (main) #1, v2.0"}));
    const auto pairs = ini.ReadSectionValues("GENERAL");
    QCOMPARE(pairs.size(), 7);
    QCOMPARE(pairs.at(1).first, QStringLiteral("email"));
    QCOMPARE(pairs.at(1).second, QStringLiteral("second@example.org"));
    QVERIFY(ini.ValueExists("general", "quoted"));
    QVERIFY(!ini.SectionExists("Missing"));
    QCOMPARE(ini.ReadString("Missing", "Key", "default"), QStringLiteral("default"));
}

void TestProfileFile::readsIntegersAsProfileFunctions_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << QByteArray("120") << 120;
    QTest::newRow("padded") << QByteArray("  7  ") << 7;
    QTest::newRow("leading digits") << QByteArray("12abc") << 12;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("plus") << QByteArray("+3") << 3;
    QTest::newRow("quoted") << QByteArray("\"42\"") << 42;
    QTest::newRow("not a number") << QByteArray("abc") << -99;
    QTest::newRow("empty") << QByteArray("") << -99;
    QTest::newRow("sign only") << QByteArray("-") << -99;
    QTest::newRow("too large") << QByteArray("99999999999") << -99;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483648LL);
}

void TestProfileFile::readsIntegersAsProfileFunctions() {
    QFETCH(QByteArray, stored);
    QFETCH(int, expected);
    QVERIFY(WriteFile(FPath, "[S]\r\nN=" + stored + "\r\n"));
    const TProfileFile ini(FPath);
    QCOMPARE(ini.ReadInteger("S", "N", -99), expected);
    QCOMPARE(ini.ReadInteger("S", "Missing", -99), -99);
    // Booleans are integers: non-zero is true, a non-number keeps the default.
    QCOMPARE(ini.ReadBool("S", "N", true), expected != 0);
    QCOMPARE(ini.ReadBool("S", "N", false), expected != 0 && expected != -99);
}

void TestProfileFile::updatesInPlaceAndKeepsTheRest() {
    QVERIFY(WriteFile(FPath, WindowsFile));
    TProfileFile ini(FPath);
    QVERIFY(ini.WriteString("GENERAL", "email", "new@example.org"));
    QVERIFY(ini.WriteString("General", "Viewer", "C:\\Windows\\NotePad.exe")); // unchanged
    QVERIFY(ini.Flush());
    QByteArray expected = WindowsFile;
    expected.replace("EMail = first@example.org \r\n", "EMail =new@example.org\r\n");
    QCOMPARE(ReadFile(FPath), expected);
    QCOMPARE(TProfileFile(FPath).ReadString("General", "EMail", ""),
             QStringLiteral("new@example.org"));
}

void TestProfileFile::newKeysAndSections() {
    QVERIFY(WriteFile(FPath, "[A]\r\nOne=1\r\n; heads section B\r\n[B]\r\nTwo=2\r\n"));
    TProfileFile ini(FPath);
    QVERIFY(ini.WriteInteger("a", "Three", 3));
    QVERIFY(ini.WriteBool("New Section", "Flag", true));
    QVERIFY(ini.WriteBool("Empty", "Off", false));
    QVERIFY(ini.Flush());
    QCOMPARE(ReadFile(FPath), QByteArray("[A]\r\nOne=1\r\nThree=3\r\n; heads section B\r\n"
                                         "[B]\r\nTwo=2\r\n\r\n[New Section]\r\nFlag=1\r\n"
                                         "\r\n[Empty]\r\nOff=0\r\n"));
    // A flush without changes leaves the file alone; a missing file is not made.
    TProfileFile untouched(FDir.filePath("never.ini"));
    QVERIFY(untouched.Flush());
    QVERIFY(!QFile::exists(FDir.filePath("never.ini")));
}

void TestProfileFile::eraseAndDelete() {
    QVERIFY(WriteFile(FPath, "[X]\r\na=1\r\n[Y]\r\nb=2\r\nc=3\r\n[x]\r\nd=4\r\n"));
    TProfileFile ini(FPath);
    ini.EraseSection("X");
    ini.DeleteKey("y", "B");
    ini.DeleteKey("Y", "missing");
    QVERIFY(!ini.SectionExists("x"));
    QCOMPARE(ini.ReadString("X", "d", "-"), QStringLiteral("-"));
    QVERIFY(ini.Flush());
    QCOMPARE(ReadFile(FPath), QByteArray("[Y]\r\nc=3\r\n"));
}

void TestProfileFile::exactValuesReadBackWhole() {
    const QStringList texts{" padded ", "\"quoted\"", "'single'", "\"", "", "tab\t", "a \"b\" c"};
    {
        TProfileFile ini(FPath);
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(ini.WriteExactString("T", QStringLiteral("K%1").arg(i), texts[i]));
        QVERIFY(ini.WriteBytes("T", "Raw", QByteArray("\x85\xff\x20", 3)));
        QVERIFY(ini.Flush());
    }
    const TProfileFile ini(FPath);
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(ini.ReadString("T", QStringLiteral("K%1").arg(i), "-"), texts[i]);
    QCOMPARE(ini.ReadBytes("T", "Raw", ""), QByteArray("\x85\xff\x20", 3));
    // Plain writes store the text as it is, as the profile functions do.
    TProfileFile plain(FPath);
    QVERIFY(plain.WriteString("T", "Plain", "\"\""));
    QCOMPARE(plain.ReadString("T", "Plain", "-"), QString());
}

void TestProfileFile::refusesWhatCannotBeOneLine() {
    QVERIFY(WriteFile(FPath, "[S]\r\nK=v\r\n"));
    TProfileFile ini(FPath);
    QVERIFY(!ini.WriteString("S", "K", "a\r\n[Evil]\r\nx=1"));
    QVERIFY(!ini.WriteString("S", "K", "a\nb"));
    QVERIFY(!ini.WriteBytes("S", "K", QByteArray("a\0b", 3)));
    QVERIFY(!ini.WriteString("Bad]Name", "K", "v"));
    QVERIFY(!ini.WriteString("S", "K=1", "v"));
    QVERIFY(!ini.WriteString("S", ";K", "v"));
    QVERIFY(!ini.WriteString("", "K", "v"));
    QVERIFY(!ini.WriteString("S", "", "v"));
    QVERIFY(!ini.Modified());
}

void TestProfileFile::otherLineEnds() {
    QVERIFY(WriteFile(FPath, "\xEF\xBB\xBF[Lf]\nA=1\n[Cr]\rB=2\r[Mixed]\r\nC=3"));
    TProfileFile ini(FPath);
    QCOMPARE(ini.ReadInteger("Lf", "A", 0), 1);
    QCOMPARE(ini.ReadInteger("Cr", "B", 0), 2);
    QCOMPARE(ini.ReadInteger("Mixed", "C", 0), 3);
    QVERIFY(ini.WriteInteger("Mixed", "C", 4));
    QVERIFY(ini.Flush());
    QCOMPARE(ReadFile(FPath),
             QByteArray("\xEF\xBB\xBF[Lf]\r\nA=1\r\n[Cr]\r\nB=2\r\n[Mixed]\r\nC=4\r\n"));
}

void TestProfileFile::replacesTheFileInOneStep() {
    QVERIFY(WriteFile(FPath, "[S]\r\nK=old\r\n"));
    // A hard link keeps the old file's content only when the new file was written
    // elsewhere and renamed over the path, never when it was rewritten in place.
    const QString link = FDir.filePath("link.ini");
    QCOMPARE(::link(QFile::encodeName(FPath).constData(), QFile::encodeName(link).constData()), 0);
    TProfileFile ini(FPath);
    QVERIFY(ini.WriteString("S", "K", "new"));
    QVERIFY(ini.Flush());
    QCOMPARE(TProfileFile(FPath).ReadString("S", "K", ""), QStringLiteral("new"));
    QCOMPARE(ReadFile(link), QByteArray("[S]\r\nK=old\r\n"));
    QCOMPARE(QDir(FDir.path()).entryList({"*.tmp", "*~"}, QDir::Files), QStringList());
}

void TestProfileFile::reportsUnwritableFile() {
    // A folder that cannot exist (its parent is a file) fails even for root.
    QVERIFY(WriteFile(FDir.filePath("plain"), "x"));
    TProfileFile ini(FDir.filePath("plain/sub.ini"));
    QVERIFY(ini.WriteString("S", "K", "v"));
    QVERIFY(!ini.Flush());
    QVERIFY(ini.Modified());
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
