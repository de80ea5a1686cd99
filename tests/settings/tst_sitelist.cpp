#include "listing/FtpUtils.h"
#include "platform/ProfileFile.h"
#include "settings/SiteList.h"
#include "settings/SiteStoredForms.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

const QString EMail = QStringLiteral("me@example.org");

} // namespace

class TestSiteList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void sortedListWithLastSite();
    void missingLastSiteKeepsEverySite();
    void readsWindowsWrittenFile();
    void missingKeysAndAnonymousSites();
    void notesRoundTrip_data();
    void notesRoundTrip();
    void notesStoredForm();
    void passwordsAreScrambled();
    void saveNewSiteAndRefusals();
    void deleteRenumbers();
    void deleteTheOnlySite();
    void predefinedSite();

private:
    TSiteList List() {
        TSiteList list(FPath, FDir.filePath("Dev/dev.ini"));
        list.SetEMail(EMail);
        list.LoadSites();
        return list;
    }
    QTemporaryDir FDir;
    QString FPath;
};

void TestSiteList::init() {
    FPath = FDir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()));
    QFile::remove(FPath);
    QFile::remove(FDir.filePath("Dev/dev.ini"));
}

void TestSiteList::sortedListWithLastSite() {
    WriteAll(FPath, "[Sites]\r\nSite1=Beta\r\nSite2=alpha\r\nLastSite=Beta\r\n"
                    "[Beta]\r\nHost=beta.example.org\r\n");
    TSiteList list = List();
    QCOMPARE(list.Sites(), QStringList({"alpha", "Beta"}));
    QCOMPARE(list.LastSite(), QStringLiteral("Beta"));
    TSite beta = list.LoadSite(list.LastSite());
    QCOMPARE(beta.Host, QStringLiteral("beta.example.org"));
    QVERIFY(list.SaveSite(beta));
    const TProfileFile file(FPath);
    QCOMPARE(file.ReadString("Sites", "Site1", ""), QStringLiteral("alpha"));
    QCOMPARE(file.ReadString("Sites", "Site2", ""), QStringLiteral("Beta"));
    QCOMPARE(file.ReadString("Sites", "LastSite", ""), QStringLiteral("Beta"));
}

void TestSiteList::missingLastSiteKeepsEverySite() {
    WriteAll(FPath, "[Sites]\r\nSite1=One\r\nSite2=Two\r\n");
    TSiteList list = List();
    QCOMPARE(list.Sites(), QStringList({"One", "Two"}));
    QCOMPARE(list.LastSite(), QString());
    // "LastSite" anywhere in the section, and a gap in the numbers.
    WriteAll(FPath, "[Sites]\r\nLastSite=Two\r\nSite1=One\r\nSite3=Three\r\nSite2=Two\r\n");
    list.LoadSites();
    QCOMPARE(list.Sites(), QStringList({"One", "Three", "Two"}));
    QCOMPARE(list.LastSite(), QStringLiteral("Two"));
}

void TestSiteList::readsWindowsWrittenFile() {
    const QByteArray scrambled = ScrambleText("s3cret");
    WriteAll(FPath, "; my sites\r\n[SITES]\r\nsite1=Kelvenar's FTP (main) #1, v2.0\r\n"
                    "LASTSITE=kelvenar's ftp (MAIN) #1, v2.0\r\n\r\n"
                    "[Kelvenar's FTP (main) #1, v2.0]\r\nHOST = ftp.kelvenar.example \r\n"
                    "anonymous=0\r\nUser=jo\r\nPassword=" + scrambled + "\r\nport=2121\r\n"
                    "Firewall=0\r\nLocalFolder1=C:\\Temp\r\n"
                    "Comments=,\"first line\",x,\"a, b\"\r\nUnknown=kept\r\n");
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
    const QByteArray data = ReadAll(FPath);
    QVERIFY(data.startsWith("; my sites\r\n[SITES]\r\nsite1=Kelvenar's FTP (main) #1, v2.0\r\n"));
    QVERIFY(data.contains("Unknown=kept\r\n"));
    QVERIFY(data.contains("\r\nPassword=" + scrambled + "\r\n"));
    QCOMPARE(data.count("[Kelvenar's FTP (main) #1, v2.0]"), 1);
}

void TestSiteList::missingKeysAndAnonymousSites() {
    WriteAll(FPath, "[Sites]\r\nSite1=Plain\r\nSite2=Anon\r\nLastSite=Plain\r\n"
                    "[Plain]\r\nHost=h\r\n"
                    "[Anon]\r\nHost=a\r\nAnonymous=1\r\nUser=ignored\r\nPassword=ignored\r\n");
    TSiteList list = List();
    const TSite plain = list.LoadSite("Plain");
    QCOMPARE(plain.User, QStringLiteral("anonymous"));
    QCOMPARE(plain.Password, EMail); // no stored password: the e-mail address itself
    QCOMPARE(plain.Port, QStringLiteral("21"));
    QCOMPARE(plain.UseFirewall, true);
    QCOMPARE(plain.Notes, QStringList());
    const TSite anon = list.LoadSite("anon");
    QVERIFY(anon.Anonymous);
    QCOMPARE(anon.User, QStringLiteral("anonymous"));
    QCOMPARE(anon.Password, EMail);
    // A name without a section shows the defaults.
    QCOMPARE(list.LoadSite("Nowhere").Host, QString());
    const TSite fresh = TSiteList::NewSite("/home/me");
    QCOMPARE(fresh.Port, QStringLiteral("21"));
    QCOMPARE(fresh.LocalFolder1, QStringLiteral("/home/me"));
    QVERIFY(fresh.User.isEmpty() && !fresh.Anonymous);
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
    TSite site = TSiteList::NewSite(QString());
    site.Name = "Noted";
    site.Notes = notes;
    QVERIFY(list.SaveSite(site));
    QCOMPARE(list.LoadSite("Noted").Notes, notes);
}

void TestSiteList::notesStoredForm() {
    QCOMPARE(NotesToStoredForm({"hello world", "x"}), QStringLiteral(",\"hello world\",x"));
    QCOMPARE(NotesToStoredForm({}), QStringLiteral("\"\""));
    QCOMPARE(NotesToStoredForm({"a,b", "q\"q"}), QStringLiteral(",\"a,b\",\"q\"\"q\""));
    QCOMPARE(NotesToStoredForm({"two\r\nlines"}), QStringLiteral(",two,lines"));
    TSiteList list = List();
    TSite site = TSiteList::NewSite(QString());
    site.Name = "Empty";
    QVERIFY(list.SaveSite(site));
    QVERIFY(ReadAll(FPath).contains("\r\nComments=\"\"\r\n"));
}

void TestSiteList::passwordsAreScrambled() {
    TSiteList list = List();
    TSite site = TSiteList::NewSite(QString());
    site.Name = "Secret";
    site.Host = "h";
    site.User = "u";
    const QStringList passwords{"secret", QStringLiteral("na\u00efve"), " padded ", "\"q\""};
    for (const QString& password : passwords) {
        site.Password = password;
        QVERIFY2(list.SaveSite(site), qPrintable(password));
        QCOMPARE(list.LoadSite("Secret").Password, password);
    }
    site.Password = "secret";
    QVERIFY(list.SaveSite(site));
    QVERIFY(ReadAll(FPath).contains("\r\nPassword=" + ScrambleText("secret") + "\r\n"));
    QVERIFY(!ReadAll(FPath).contains("secret"));
    QVERIFY(!ReadAll(FPath).contains("PasswordHex"));

    // Scrambled, these hold line-break bytes: they go to "PasswordHex", and an older
    // reader sees an empty password rather than a broken file.
    for (const QString& password : {QStringLiteral("\u00af\u00a8\u00a5"), QStringLiteral("\u5bc6 x")}) {
        site.Password = password;
        QVERIFY(list.SaveSite(site));
        QCOMPARE(TProfileFile(FPath).ReadString("Secret", "Password", "-"), QString());
        QCOMPARE(list.LoadSite("Secret").Password, password);
    }
    // A password set later by such a reader is the one used.
    TProfileFile older(FPath);
    QVERIFY(older.WriteBytes("Secret", "Password", ScrambleText("later")));
    QVERIFY(older.Flush());
    QCOMPARE(list.LoadSite("Secret").Password, QStringLiteral("later"));
    site.Password = "plain";
    QVERIFY(list.SaveSite(site));
    QVERIFY(!TProfileFile(FPath).ValueExists("Secret", "PasswordHex"));
}

void TestSiteList::saveNewSiteAndRefusals() {
    WriteAll(FPath, "[Sites]\r\nSite1=Beta\r\nLastSite=Beta\r\n[Beta]\r\nHost=b\r\n");
    TSiteList list = List();
    TSite site = TSiteList::NewSite(QString());
    site.Name = "Alpha";
    site.Host = "a";
    site.User = "u";
    QVERIFY(list.SaveSite(site));
    QCOMPARE(list.Sites(), QStringList({"Alpha", "Beta"}));
    QCOMPARE(list.LastSite(), QStringLiteral("Alpha"));
    TSiteList reread = List();
    QCOMPARE(reread.Sites(), QStringList({"Alpha", "Beta"}));
    QCOMPARE(reread.LastSite(), QStringLiteral("Alpha"));
    // Another spelling of a listed name is the same section, not a second entry.
    site.Name = "ALPHA";
    QVERIFY(list.SaveSite(site));
    QCOMPARE(list.Sites(), QStringList({"Alpha", "Beta"}));

    // Refused before anything is written.
    const QByteArray before = ReadAll(FPath);
    QString error;
    site.Name = "Gamma";
    site.Port = "21x";
    QVERIFY(!list.SaveSite(site, &error));
    QCOMPARE(error, QStringLiteral("The port must be a number from 0 to 65535."));
    site.Port = "70000";
    QVERIFY(!list.SaveSite(site));
    site.Port = "21";
    for (const QString& bad : {QString(), QStringLiteral("a]b"), QStringLiteral(" lead"),
                               QStringLiteral("line\nbreak")}) {
        site.Name = bad;
        QVERIFY(!list.SaveSite(site));
    }
    QCOMPARE(ReadAll(FPath), before);
    QCOMPARE(list.Sites(), QStringList({"Alpha", "Beta"}));

    // A file that cannot be written.
    WriteAll(FDir.filePath("blocker"), "x");
    TSiteList blocked(FDir.filePath("blocker/Sites.ini"));
    site.Name = "Delta";
    QVERIFY(!blocked.SaveSite(site, &error));
    QCOMPARE(error, QStringLiteral("Unable to write to %1").arg(FDir.filePath("blocker/Sites.ini")));
    QVERIFY(blocked.Sites().isEmpty());
}

void TestSiteList::deleteRenumbers() {
    WriteAll(FPath, "[Sites]\r\nSite1=A\r\nSite2=B\r\nSite3=C\r\nLastSite=C\r\n"
                    "[A]\r\nHost=a\r\n[B]\r\nHost=b\r\n[C]\r\nHost=c\r\nAnonymous=1\r\n");
    TSiteList list = List();
    QVERIFY(list.DeleteSite("B"));
    QCOMPARE(list.Sites(), QStringList({"A", "C"}));
    const TProfileFile file(FPath);
    QCOMPARE(file.ReadString("Sites", "Site2", ""), QStringLiteral("C"));
    QVERIFY(!file.ValueExists("Sites", "Site3"));
    QVERIFY(!file.SectionExists("B"));
    // The other sites' sections are left as they were.
    QVERIFY(!file.ValueExists("C", "User") && !file.ValueExists("C", "Password"));
    QCOMPARE(List().Sites(), QStringList({"A", "C"}));
}

void TestSiteList::deleteTheOnlySite() {
    WriteAll(FPath, "[Sites]\r\nSite1=Only\r\nLastSite=Only\r\n[Only]\r\nHost=o\r\n");
    TSiteList list = List();
    QVERIFY(list.DeleteSite("Only"));
    QVERIFY(list.Sites().isEmpty());
    QCOMPARE(list.LastSite(), QString());
    QCOMPARE(ReadAll(FPath), QByteArray("[Sites]\r\nLastSite=Only\r\n"));
    QVERIFY(List().Sites().isEmpty());
}

void TestSiteList::predefinedSite() {
    TSiteList list = List();
    QVERIFY(!list.HasPredefinedSite());
    WriteAll(FDir.filePath("Dev/dev.ini"),
             "[Site]\r\nN=Kelvenar\r\nH=ftp.kelvenar.example\r\nA=0\r\nI=guest\r\nP=" +
                 ScrambleText("pw") + "\r\n");
    QVERIFY(list.HasPredefinedSite());
    TPredefinedSite predefined = list.LoadPredefinedSite();
    QCOMPARE(predefined.Name, QStringLiteral("Kelvenar"));
    QCOMPARE(predefined.User, QStringLiteral("guest"));
    QCOMPARE(predefined.Password, QStringLiteral("pw"));
    const TSite site = list.SiteFromPredefined(predefined, "/home/me");
    QCOMPARE(site.Name, QStringLiteral("Kelvenar"));
    QCOMPARE(site.Host, QStringLiteral("ftp.kelvenar.example"));
    QCOMPARE(site.LocalFolder1, QStringLiteral("/home/me"));

    predefined.Anonymous = true;
    QVERIFY(list.SavePredefinedSite(predefined));
    predefined = list.LoadPredefinedSite();
    QVERIFY(predefined.Anonymous);
    QCOMPARE(predefined.User, QStringLiteral("anonymous"));
    QCOMPARE(predefined.Password, EMail);
}

QTEST_GUILESS_MAIN(TestSiteList)
#include "tst_sitelist.moc"
