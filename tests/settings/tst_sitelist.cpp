#include "TestFiles.h"

#include "listing/FtpUtils.h"
#include "platform/ProfileFile.h"
#include "settings/SiteList.h"
#include "settings/SiteStoredForms.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString EMail = QStringLiteral("me@example.org");

} // namespace

class TestSiteList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void loadSites_data();
    void loadSites();
    void readsWindowsWrittenFile();
    void missingKeysAndAnonymousSites();
    void notesRoundTrip_data();
    void notesRoundTrip();
    void notesStoredForm();
    void passwordsAreScrambled_data();
    void passwordsAreScrambled();
    void saveNewSiteAndRefusals();
    void deleteSite_data();
    void deleteSite();
    void storedPortAndEncryption_data();
    void storedPortAndEncryption();
    void listNamingItsOwnSection();

private:
    TSiteList List() {
        TSiteList list(FPath, FDir.filePath("Dev/dev.ini"));
        list.SetEMail(EMail);
        list.LoadSites();
        return list;
    }
    static TSite Named(const QString& name) {
        TSite site = TSiteList::NewSite(QString());
        site.Name = name;
        return site;
    }
    QTemporaryDir FDir;
    QString FPath;
};

void TestSiteList::init() {
    FPath = FDir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()));
    QFile::remove(FPath);
    QFile::remove(FDir.filePath("Dev/dev.ini"));
}

void TestSiteList::loadSites_data() {
    QTest::addColumn<QByteArray>("sites");
    QTest::addColumn<QStringList>("names"); // sorted without regard to case
    QTest::addColumn<QString>("last");
    QTest::newRow("with LastSite") << QByteArray("Site1=Beta\r\nSite2=alpha\r\nLastSite=beta\r\n")
                                   << QStringList{"alpha", "Beta"} << "Beta";
    QTest::newRow("without LastSite")
        << QByteArray("Site1=One\r\nSite2=Two\r\n") << QStringList{"One", "Two"} << "";
    QTest::newRow("LastSite first, a gap in the numbers")
        << QByteArray("LastSite=Two\r\nSite1=One\r\nSite3=Three\r\nSite2=Two\r\n")
        << QStringList{"One", "Three", "Two"} << "Two";
}

void TestSiteList::loadSites() {
    QFETCH(QByteArray, sites);
    QFETCH(QStringList, names);
    QFETCH(QString, last);
    QVERIFY(
        WriteFile(FPath, "[Sites]\r\n" + sites + "[" + names.first().toUtf8() + "]\r\nHost=h\r\n"));
    TSiteList list = List();
    QCOMPARE(list.Sites(), names);
    QCOMPARE(list.LastSite(), last);
    // Saving a site renumbers the list in its order and makes the site the last one.
    TSite first = list.LoadSite(names.first());
    QCOMPARE(first.Host, QStringLiteral("h"));
    QVERIFY(list.SaveSite(first));
    const TProfileFile file(FPath);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(file.ReadString("Sites", QStringLiteral("Site%1").arg(i + 1), ""), names[i]);
    QCOMPARE(file.ReadString("Sites", "LastSite", ""), names.first());
}

void TestSiteList::readsWindowsWrittenFile() {
    const QByteArray scrambled = ScrambleText("s3cret");
    QVERIFY(WriteFile(FPath, "; my sites\r\n[SITES]\r\nsite1=Kelvenar's FTP (main) #1, v2.0\r\n"
                             "LASTSITE=kelvenar's ftp (MAIN) #1, v2.0\r\n\r\n"
                             "[Kelvenar's FTP (main) #1, v2.0]\r\nHOST = ftp.kelvenar.example \r\n"
                             "anonymous=0\r\nUser=jo\r\nPassword=" +
                                 scrambled +
                                 "\r\nport=2121\r\n"
                                 "Firewall=0\r\nLocalFolder1=C:\\Temp\r\n"
                                 "Comments=,\"first line\",x,\"a, b\"\r\nUnknown=kept\r\n"));
    TSiteList list = List();
    QCOMPARE(list.LastSite(), QStringLiteral("Kelvenar's FTP (main) #1, v2.0"));
    const TSite site = list.LoadSite(list.LastSite());
    QCOMPARE(site.Host, QStringLiteral("ftp.kelvenar.example"));
    QCOMPARE(site.User, QStringLiteral("jo"));
    QCOMPARE(site.Password, QStringLiteral("s3cret"));
    QCOMPARE(site.Port, QStringLiteral("2121"));
    QCOMPARE(site.UseFirewall, false);
    QCOMPARE(site.LocalFolder1, QStringLiteral("C:\\Temp"));
    QCOMPARE(site.Notes, QStringList({"first line", "x", "a, b"}));
    // Saving it back keeps the comment, the unknown key and the spelling of the keys.
    QVERIFY(list.SaveSite(site));
    const QByteArray data = ReadFile(FPath);
    QVERIFY(data.startsWith("; my sites\r\n[SITES]\r\nsite1=Kelvenar's FTP (main) #1, v2.0\r\n"));
    QVERIFY(data.contains("Unknown=kept\r\n"));
    QVERIFY(data.contains("\r\nPassword=" + scrambled + "\r\n"));
    QCOMPARE(data.count("[Kelvenar's FTP (main) #1, v2.0]"), 1);
}

// Listed or predefined, an anonymous site logs in as "anonymous" with the e-mail address.
// Loading the predefined site and its tab: tst_site_manager's predefinedTab.
void TestSiteList::missingKeysAndAnonymousSites() {
    QVERIFY(WriteFile(FPath,
                      "[Sites]\r\nSite1=Plain\r\nSite2=Anon\r\nLastSite=Plain\r\n"
                      "[Plain]\r\nHost=h\r\n"
                      "[Anon]\r\nHost=a\r\nAnonymous=1\r\nUser=ignored\r\nPassword=ignored\r\n"));
    QVERIFY(WriteFile(FDir.filePath("Dev/dev.ini"),
                      "[Site]\r\nN=Kelvenar\r\nH=h\r\nA=0\r\nI=guest\r\n"));
    TSiteList list = List();
    QCOMPARE(list.LoadSite("Plain").Password, EMail); // none stored: the e-mail address itself
    const TSite anon = list.LoadSite("anon");
    QVERIFY(anon.Anonymous);
    QCOMPARE(anon.User, QStringLiteral("anonymous"));
    QCOMPARE(anon.Password, EMail);
    // A name without a section shows the defaults.
    QCOMPARE(list.LoadSite("Nowhere").Host, QString());
    TPredefinedSite predefined = list.LoadPredefinedSite();
    predefined.Anonymous = true;
    QVERIFY(list.SavePredefinedSite(predefined));
    predefined = list.LoadPredefinedSite();
    QVERIFY(predefined.Anonymous);
    QCOMPARE(predefined.User, QStringLiteral("anonymous"));
    QCOMPARE(predefined.Password, EMail);
}

void TestSiteList::notesRoundTrip_data() {
    QTest::addColumn<QStringList>("notes");
    QTest::newRow("none") << QStringList();
    QTest::newRow("hello world / x") << QStringList{"hello world", "x"};
    QTest::newRow("comma and quotes") << QStringList{"a, b", "say \"hi\"", "\"", ","};
    QTest::newRow("empty lines") << QStringList{"", "mid", ""};
    QTest::newRow("one empty line") << QStringList{""};
    QTest::newRow("blanks at the ends") << QStringList{" lead", "trail ", "\ttab"};
    QTest::newRow("unicode") << QStringList{QStringLiteral("Gr\u00fc\u00dfe, \u00e9t\u00e9")};
}

void TestSiteList::notesRoundTrip() {
    QFETCH(QStringList, notes);
    QCOMPARE(NotesFromStoredForm(NotesToStoredForm(notes)), notes);
    TSiteList list = List();
    TSite site = Named("Noted");
    site.Notes = notes;
    QVERIFY(list.SaveSite(site));
    QCOMPARE(list.LoadSite("Noted").Notes, notes);
    QVERIFY(ReadFile(FPath).contains("\r\nComments=" + NotesToStoredForm(notes).toUtf8() + "\r\n"));
}

void TestSiteList::notesStoredForm() {
    QCOMPARE(NotesToStoredForm({"hello world", "x"}), QStringLiteral(",\"hello world\",x"));
    QCOMPARE(NotesToStoredForm({}), QStringLiteral("\"\""));
    QCOMPARE(NotesToStoredForm({"a,b", "q\"q"}), QStringLiteral(",\"a,b\",\"q\"\"q\""));
    QCOMPARE(NotesToStoredForm({"two\r\nlines"}), QStringLiteral(",two,lines"));
}

void TestSiteList::passwordsAreScrambled_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("hex"); // scrambled, it would hold a line break or NUL byte
    QTest::newRow("plain") << "secret" << false;
    QTest::newRow("non-ASCII") << QStringLiteral("na\u00efve") << false;
    QTest::newRow("padded") << " padded " << false;
    QTest::newRow("quotes") << "\"q\"" << false;
    QTest::newRow("line-break bytes") << QStringLiteral("\u00af\u00a8\u00a5") << true;
    QTest::newRow("CJK") << QStringLiteral("\u5bc6 x") << true;
    // 0xA5 scrambles to a NUL byte alone.
    QTest::newRow("yen sign") << QStringLiteral("\u00a5") << true;
}

void TestSiteList::passwordsAreScrambled() {
    QFETCH(QString, password);
    QFETCH(bool, hex);
    TSite site = Named("Secret");
    site.Password = password;
    QVERIFY(List().SaveSite(site));
    QCOMPARE(List().LoadSite("Secret").Password, password);
    // Older readers unscramble "Password" (UTF-8 or Latin-1 bytes); where that cannot be
    // one line they find it empty rather than a broken file.
    const TProfileFile file(FPath);
    const QByteArray plain = ScrambleText(file.ReadBytes("Secret", "Password", "-"));
    QVERIFY(hex ? plain.isEmpty() : plain == password.toUtf8() || plain == password.toLatin1());
    QCOMPARE(file.ValueExists("Secret", "PasswordHex"), hex);
    // A password an older reader stores later wins over the hex form, and one that fits
    // the usual key drops the hex form.
    TProfileFile older(FPath);
    QVERIFY(older.WriteBytes("Secret", "Password", ScrambleText("later")) && older.Flush());
    QCOMPARE(List().LoadSite("Secret").Password, QStringLiteral("later"));
    site.Password = "plain";
    QVERIFY(List().SaveSite(site));
    QVERIFY(!TProfileFile(FPath).ValueExists("Secret", "PasswordHex"));
}

void TestSiteList::saveNewSiteAndRefusals() {
    QVERIFY(WriteFile(FPath, "[Sites]\r\nSite1=Beta\r\nLastSite=Beta\r\n[Beta]\r\nHost=b\r\n"));
    TSiteList list = List();
    TSite site = Named("Alpha");
    QVERIFY(list.SaveSite(site));
    QCOMPARE(list.Sites(), QStringList({"Alpha", "Beta"}));
    QCOMPARE(List().Sites(), QStringList({"Alpha", "Beta"}));
    QCOMPARE(List().LastSite(), QStringLiteral("Alpha"));
    // Another spelling of a listed name is the same section, not a second entry.
    site.Name = "ALPHA";
    QVERIFY(list.SaveSite(site));
    QCOMPARE(list.Sites(), QStringList({"Alpha", "Beta"}));

    // Refused before anything is written.
    const QByteArray before = ReadFile(FPath);
    QString error;
    site.Name = "Gamma";
    site.Port = "21x";
    QVERIFY(!list.SaveSite(site, &error));
    QCOMPARE(error, QStringLiteral("The port must be a number from 1 to 65535."));
    for (const QString& bad : {QStringLiteral("70000"), QStringLiteral("0")}) {
        site.Port = bad;
        QVERIFY(!list.SaveSite(site));
    }
    site.Port = "21";
    for (const QString& bad : {QString(), QStringLiteral("a]b"), QStringLiteral(" lead"),
                               QStringLiteral("line\nbreak"), QStringLiteral("SITES")}) {
        site.Name = bad;
        QVERIFY(!list.SaveSite(site));
    }
    QCOMPARE(ReadFile(FPath), before);
    QCOMPARE(list.Sites(), QStringList({"Alpha", "Beta"}));
}

void TestSiteList::deleteSite_data() {
    QTest::addColumn<QByteArray>("sites");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("middle one") << QByteArray("Site1=A\r\nSite2=B\r\nSite3=C\r\nLastSite=C\r\n")
                                << "B" << QStringList{"A", "C"};
    QTest::newRow("the only one") << QByteArray("Site1=Only\r\nLastSite=Only\r\n") << "Only"
                                  << QStringList();
    // Without "LastSite" every key of the section is a site; the removed last one must go.
    QTest::newRow("last one, no LastSite")
        << QByteArray("Site1=Alpha\r\nSite2=Mike\r\nSite3=Zulu\r\n") << "Zulu"
        << QStringList{"Alpha", "Mike"};
}

void TestSiteList::deleteSite() {
    QFETCH(QByteArray, sites);
    QFETCH(QString, name);
    QFETCH(QStringList, left);
    QByteArray sections;
    for (const QString& site : left + QStringList{name})
        sections += "[" + site.toUtf8() + "]\r\nHost=h\r\nAnonymous=1\r\n";
    QVERIFY(WriteFile(FPath, "[Sites]\r\n" + sites + sections));
    TSiteList list = List();
    QVERIFY(list.DeleteSite(name));
    QCOMPARE(list.Sites(), left);
    QVERIFY(list.LastSite().compare(name, Qt::CaseInsensitive) != 0);
    QCOMPARE(List().Sites(), left);
    const TProfileFile file(FPath);
    for (int i = 0; i < left.size(); ++i)
        QCOMPARE(file.ReadString("Sites", QStringLiteral("Site%1").arg(i + 1), ""), left[i]);
    QVERIFY(!file.ValueExists("Sites", QStringLiteral("Site%1").arg(left.size() + 1)));
    QVERIFY(!file.SectionExists(name));
    // "LastSite" stays, even naming the removed site: older readers take the section's
    // last key for it. The other sites' sections are left as they were.
    QCOMPARE(file.ValueExists("Sites", "LastSite"), sites.contains("LastSite"));
    for (const QString& site : left)
        QVERIFY(!file.ValueExists(site, "User") && !file.ValueExists(site, "Password"));
}

void TestSiteList::storedPortAndEncryption_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("encryption");
    QTest::addColumn<QString>("charset");
    QTest::newRow("missing") << QByteArray() << "21" << 0 << QString();
    QTest::newRow("leading digits") << QByteArray("Port= 0021x\r\n") << "21" << 0 << QString();
    QTest::newRow("no digits") << QByteArray("Port=ftp\r\n") << "21" << 0 << QString();
    // Shown as stored so that saving refuses them rather than a wrapped port going on.
    QTest::newRow("above 65535") << QByteArray("Port=99999\r\n") << "99999" << 0 << QString();
    QTest::newRow("beyond an int")
        << QByteArray("Port=99999999999\r\n") << "99999999999" << 0 << QString();
    QTest::newRow("implicit TLS") << QByteArray("Port=990\r\nEncryption=3\r\n") << "990" << 3
                                  << QString();
    QTest::newRow("explicit TLS required")
        << QByteArray("Encryption=2\r\n") << "21" << 2 << QString();
    // Never plain: a later reader's number asks for encryption at least.
    QTest::newRow("unknown encryption") << QByteArray("Encryption=7\r\n") << "21" << 2 << QString();
    QTest::newRow("name character set")
        << QByteArray("Charset=Shift_JIS\r\n") << "21" << 0 << QStringLiteral("Shift_JIS");
}

void TestSiteList::storedPortAndEncryption() {
    QFETCH(QByteArray, line);
    QFETCH(QString, port);
    QFETCH(int, encryption);
    QFETCH(QString, charset);
    QVERIFY(WriteFile(FPath, "[Sites]\r\nSite1=S\r\nLastSite=S\r\n[S]\r\nHost=h\r\n" + line));
    TSiteList list = List();
    TSite site = list.LoadSite("S");
    QCOMPARE(site.Port, port);
    QCOMPARE(int(site.Encryption), encryption);
    QCOMPARE(site.NameCharset, charset);
    if (!SitePort(port)) return;
    // Saved and read back; an unencrypted site keeps the key too, as "0".
    site.Name = QStringLiteral("T");
    QVERIFY(list.SaveSite(site));
    QCOMPARE(int(List().LoadSite("T").Encryption), encryption);
    QCOMPARE(List().LoadSite("T").NameCharset, charset);
    QCOMPARE(ReadFile(FPath).count("Charset="), charset.isEmpty() ? 0 : 2);
    QVERIFY(
        ReadFile(FPath).contains(QByteArray("\r\nEncryption=") + QByteArray::number(encryption)));
}

void TestSiteList::listNamingItsOwnSection() {
    QVERIFY(WriteFile(FPath, "[Sites]\r\nSite1=sites\r\nSite2=A\r\nLastSite=sites\r\n"
                             "[A]\r\nHost=a\r\n"));
    TSiteList list = List();
    QCOMPARE(list.Sites(), QStringList{"A"});
    QCOMPARE(list.LastSite(), QString());
    QVERIFY(list.DeleteSite("sites"));
    QCOMPARE(List().Sites(), QStringList{"A"});
    QCOMPARE(TProfileFile(FPath).ReadString("A", "Host", ""), QStringLiteral("a"));
}

QTEST_GUILESS_MAIN(TestSiteList)
#include "tst_sitelist.moc"
