#include "TestFiles.h"

#include "engine/EngineSettings.h"
#include "engine/FtpComponent.h"
#include "platform/ProfileFile.h"
#include "settings/ApplyEngineSettings.h"
#include "settings/EngineTargets.h"
#include "settings/FileNameConversion.h"
#include "settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every field away from its default.
TSettings Changed() {
    TSettings s = DefaultSettings();
    s.EMail = "me@example.org";
    s.Viewer = "/usr/bin/mousepad";
    s.LogFile = "/tmp/tolvar test.log";
    s.DefaultDir = " /home/me/with blanks ";
    // Flags off by default turned on, and on by default turned off.
    s.LogToFile = s.PinTransferWindow = s.NoXferOlder = s.ListHidden = s.QuickDisconnect =
        s.InfiniteRetry = s.ConversionUseShortName = s.FirewallEnabled = true;
    s.ShowToolTips = s.ASCIIOnView = s.PreserveTimeStamp = s.ConfirmOverwrites = s.ShowManager =
        s.PromptForPass = s.KeepAlive = s.UsePASV = s.SingleConnectionsOnly = false;
    s.TryToResume = 2;
    s.LocalDblClk = 0;
    s.HostDblClk = 1;
    s.RetryDelay = 9;
    s.Retries = 7;
    s.Timeout = 30;
    s.TransferMode = 4;
    s.SimultaneousTransfers = 6;
    s.ConversionCase = 2;
    s.ConversionSpaces = 2;
    s.ConversionChar = "-";
    s.FirewallType = 3;
    s.FirewallHost = "proxy.example.org";
    s.FirewallPort = 8021;
    s.FirewallUser = "fw";
    s.FirewallPassword = "\"fw pass\" ";
    s.Sounds = QStringList{"/s/a.wav", "", "/s/c.wav", "", "", "/s/f.wav"};
    s.ASCIIExtensions = QStringList{".txt", ".pl"};
    s.URLHistory = QStringList{"ftp://a/", "http://b/c.html"};
    return s;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void everyFieldRoundTripsUnderItsKeyName();
    void confirmLowerCaseMigration();
    void nonNumbersAndOutOfRangeChoicesReadAsDefaults();
    void listSections();
    void writeKeepsCommentsAndUnknownKeys();
    void engineValuesAndLiveSessions();
    void uploadNameConversion_data();
    void uploadNameConversion();
    void shortNameConversion();

private:
    QTemporaryDir FDir;
    QString FPath;
};

void TestSettingsFile::init() {
    FPath = FDir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()));
    QFile::remove(FPath);
}

void TestSettingsFile::everyFieldRoundTripsUnderItsKeyName() {
    // Every field differs from its default, so a field that is not read back makes
    // the second file differ from the first.
    TSettings written = Changed();
    QVERIFY(WriteSettings(written, FPath));
    TSettings read = ReadSettings(FPath);
    const QString again = FDir.filePath("again.ini");
    QVERIFY(WriteSettings(read, again));
    const QByteArray data = ReadFile(FPath);
    QCOMPARE(ReadFile(again), data);
    QCOMPARE(read.DefaultDir, written.DefaultDir);
    QCOMPARE(read.FirewallPassword, written.FirewallPassword);
    QCOMPARE(read.Sounds, written.Sounds);
    QCOMPARE(read.URLHistory, written.URLHistory);
    // The keys and line ends other programs read.
    QVERIFY(!data.contains("\r\r") && data.count('\n') == data.count("\r\n"));
    for (const char* line :
         {"[General]\r\n", "PinTransferWindow=1\r\n", "EMail=me@example.org\r\n", "Ping=0\r\n",
          "UsePASV=0\r\n", "Timeout=30\r\n", "ConfirmRestarts=1\r\n", "SimultaneousTransfers=6\r\n",
          "[Conversions]\r\nConversionCase=2\r\nConversionUseShortName=1\r\n",
          "[Firewall]\r\nEnabled=1\r\nType=3\r\n", "ConnectSuccess=/s/a.wav\r\n",
          "[FileTypes]\r\nExt0=.txt\r\nExt1=.pl\r\n",
          "[URLs]\r\nURL0=ftp://a/\r\nURL1=http://b/c.html\r\n"})
        QVERIFY2(data.contains(line), line);
    // Texts that the reading rules would change are quoted, so every reader keeps them.
    QVERIFY(data.contains("DefaultDir=\" /home/me/with blanks \"\r\n"));
    QVERIFY(data.contains("Password=\"\"fw pass\" \"\r\n"));
}

void TestSettingsFile::confirmLowerCaseMigration() {
    QVERIFY(WriteFile(FPath, "[Advanced]\r\nConfirmLowerCase=1\r\n"));
    TSettings s = ReadSettings(FPath);
    QCOMPARE(s.ConversionCase, 1);
    QVERIFY(!TProfileFile(FPath).ValueExists("Advanced", "ConfirmLowerCase"));
    QVERIFY(WriteSettings(s, FPath));
    const TProfileFile after(FPath);
    QCOMPARE(after.ReadString("Conversions", "ConversionCase", ""), QStringLiteral("1"));
    QVERIFY(!after.ValueExists("Advanced", "ConfirmLowerCase"));
    // A stored case conversion wins over the older flag.
    QVERIFY(WriteFile(FPath,
                      "[Advanced]\r\nConfirmLowerCase=1\r\n[Conversions]\r\nConversionCase=2\r\n"));
    QCOMPARE(ReadSettings(FPath).ConversionCase, 2);
    QVERIFY(WriteFile(FPath, "[Advanced]\r\nConfirmLowerCase=0\r\n"));
    QCOMPARE(ReadSettings(FPath).ConversionCase, 0);
}

void TestSettingsFile::nonNumbersAndOutOfRangeChoicesReadAsDefaults() {
    // A first start reads defaults without making the file; new installations are passive.
    QVERIFY(ReadSettings(FPath).UsePASV);
    QVERIFY(!QFile::exists(FPath));
    QVERIFY(WriteFile(
        FPath, "[Connection]\r\nTimeout=abc\r\nRetries=12 times\r\nTransferMode=9\r\n"
               "UsePASV=0\r\nPing=yes\r\n[Advanced]\r\nTryToResume=-1\r\nConfirmRestarts=0\r\n"
               "HostDblClk=3\r\n[General]\r\nEMail=\r\n"));
    const TSettings s = ReadSettings(FPath);
    QCOMPARE(s.Timeout, 120);
    QCOMPARE(s.Retries, 12);
    QCOMPARE(s.TransferMode, 0);
    QCOMPARE(s.UsePASV, false); // a stored choice stays
    QCOMPARE(s.KeepAlive, true);
    QCOMPARE(s.TryToResume, 1);
    QCOMPARE(s.HostDblClk, 3);
    QCOMPARE(s.ConfirmRestarts, true); // written, never read: every start asks again
    QCOMPARE(s.EMail, GuestEMail());
}

void TestSettingsFile::listSections() {
    TSettings s = DefaultSettings();
    for (int i = 0; i < 25; ++i)
        s.URLHistory.append(QStringLiteral("ftp://host%1/").arg(i));
    QVERIFY(WriteSettings(s, FPath));
    QCOMPARE(s.URLHistory.size(), 20);
    const TProfileFile file(FPath);
    QCOMPARE(file.ReadSection("URLs").size(), 20);
    QCOMPARE(file.ReadString("URLs", "URL19", ""), QStringLiteral("ftp://host19/"));
    QVERIFY(!file.ValueExists("URLs", "URL20"));

    QStringList extensions;
    QVERIFY(AddASCIIExtension(extensions, "txt"));
    for (const char* again : {".txt", ".TXT", " "})
        QVERIFY2(!AddASCIIExtension(extensions, again), again);
    QCOMPARE(extensions, QStringList{".txt"});

    // Read by index for as many keys as the section holds; repeats and blanks dropped.
    QVERIFY(WriteFile(FPath,
                      "[FileTypes]\r\next1=pl\r\nEXT0=.txt\r\nExt2=.TXT\r\nExt3=\r\n"
                      "[URLs]\r\nURL0=ftp://a/\r\nURL1=ftp://a/\r\nURL2=ftp://b/\r\nOther=x\r\n"));
    const TSettings read = ReadSettings(FPath);
    QCOMPARE(read.ASCIIExtensions, QStringList({".txt", ".pl"}));
    QCOMPARE(read.URLHistory, QStringList({"ftp://a/", "ftp://b/"}));

    // An empty "FileTypes" section gives the default list.
    QVERIFY(WriteFile(FPath, "[FileTypes]\r\n; nothing\r\n"));
    QCOMPARE(ReadSettings(FPath).ASCIIExtensions, DefaultASCIIExtensions());

    // A URL that cannot be one line is dropped, not the whole write.
    TSettings broken = DefaultSettings();
    broken.URLHistory = {"ftp://ok/", "ftp://bad/\r\n[General]", "ftp://ok2/"};
    QVERIFY(WriteSettings(broken, FPath));
    QCOMPARE(ReadSettings(FPath).URLHistory, QStringList({"ftp://ok/", "ftp://ok2/"}));
}

void TestSettingsFile::writeKeepsCommentsAndUnknownKeys() {
    QVERIFY(WriteFile(FPath,
                      "; Tolvar settings\r\n[General]\r\nEMail=old@example.org\r\nTheme=dark\r\n"
                      "[Plugins]\r\nZip=1\r\n[FileTypes]\r\nExt0=.old\r\n"));
    TSettings s = ReadSettings(FPath);
    s.EMail = "new@example.org";
    QVERIFY(WriteSettings(s, FPath));
    const QByteArray data = ReadFile(FPath);
    QVERIFY(data.startsWith(
        "; Tolvar settings\r\n[General]\r\nEMail=new@example.org\r\nTheme=dark\r\n"));
    QVERIFY(data.contains("[Plugins]\r\nZip=1\r\n"));
    QVERIFY(data.contains("[FileTypes]\r\nExt0=.old\r\n"));
    QCOMPARE(data.count("[FileTypes]"), 1);
}

void TestSettingsFile::engineValuesAndLiveSessions() {
    TSettings s = DefaultSettings();
    // Hand-edited extremes do not wrap or turn into "no limit".
    s.Retries = 0;
    s.Timeout = 2000000000;
    s.RetryDelay = -4;
    TEngineValues v = EngineValues(s);
    QCOMPARE(v.RetryCount, 1);
    QCOMPARE(v.TimeOut, 4294967000u);
    QCOMPARE(v.RetryDelay, 0);
    s.Timeout = -5;
    QCOMPARE(EngineValues(s).TimeOut, 1000u);

    TFTPComponent first;
    TFTPComponent second;
    s = DefaultSettings();
    s.UsePASV = false;
    s.KeepAlive = false;
    s.QuickDisconnect = true;
    s.Timeout = 45;
    s.RetryDelay = 2;
    s.InfiniteRetry = true;
    ApplyEngineSettings(s, EngineTargets());
    TEngineSettings& engine = EngineSettings();
    QCOMPARE(engine.KeepAlive.load(), false);
    QCOMPARE(engine.QuickDisconnect.load(), true);
    QCOMPARE(engine.TimeOut.load(), 45000u);
    QCOMPARE(engine.RetryDelay.load(), 2);
    QCOMPARE(engine.RetryCount.load(), 0);
    QVERIFY(!first.Passive() && !second.Passive());
    ApplyEngineSettings(DefaultSettings(), EngineTargets());
    QVERIFY(first.Passive() && second.Passive());
    QCOMPARE(engine.RetryCount.load(), 3);
    ApplyEngineSettings(s, TEngineTargets{}); // unassigned targets are skipped
}

void TestSettingsFile::uploadNameConversion_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("caseChoice");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<int>("spaces");
    QTest::addColumn<QString>("converted");
    QTest::newRow("lower, underscore") << "My File.TXT" << 1 << "_" << 2 << "my_file.txt";
    QTest::newRow("upper, removed") << "My File.TXT" << 2 << "_" << 1 << "MYFILE.TXT";
    QTest::newRow("unchanged") << "My File.TXT" << 0 << "_" << 0 << "My File.TXT";
    QTest::newRow("first character only") << "a b" << 0 << "-+" << 2 << "a-b";
    // A separator or empty replacement must not turn the name into a path.
    QTest::newRow("slash replacement") << "a b" << 0 << "/" << 2 << "a_b";
    QTest::newRow("empty replacement") << "a b" << 0 << "" << 2 << "a_b";
}

void TestSettingsFile::uploadNameConversion() {
    QFETCH(QString, name);
    QFETCH(int, caseChoice);
    QFETCH(int, spaces);
    QFETCH(QString, replacement);
    QFETCH(QString, converted);
    const TNameConversion rule{false, caseChoice, spaces, replacement};
    QCOMPARE(ConvertFileName(QStringLiteral("/home/me/up load/") + name, rule), converted);
    QCOMPARE(ApplyNameConversion(name, rule), converted);
}

void TestSettingsFile::shortNameConversion() {
    const QString path = FDir.filePath("Read the Instructions.txt");
    QVERIFY(WriteFile(path, ""));
    TSettings s = DefaultSettings();
    s.ConversionUseShortName = true;
    s.ConversionCase = 2;
    s.ConversionSpaces = 1;
    QCOMPARE(ConvertFileName(path, NameConversion(s)), QStringLiteral("READTH1.TXT"));
    QCOMPARE(ApplyNameConversion("READTH~1.TXT", NameConversion(s)), QStringLiteral("READTH1.TXT"));
    s.ConversionCase = 1;
    s.ConversionSpaces = 2;
    QCOMPARE(ConvertFileName(path, NameConversion(s)), QStringLiteral("readth_1.txt"));
    QCOMPARE(ConvertFileName(FDir.filePath("gone.txt"), NameConversion(s)), QString());
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
