#include "platform/Registry.h"
#include "platform/ShortName.h"

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
};

void TestPlatformNames::shortFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("alias");
    QTest::newRow("long with blanks") << "Read the Instructions.txt" << "READTH~1.TXT";
    QTest::newRow("fits, case only") << "readme.txt" << "README.TXT";
    QTest::newRow("no extension") << "Makefile" << "MAKEFILE";
    QTest::newRow("long base") << "verylongname" << "VERYLO~1";
    QTest::newRow("long extension") << "index.html" << "INDEX~1.HTM";
    QTest::newRow("inner dots") << "archive.tar.gz" << "ARCHIV~1.GZ";
    QTest::newRow("leading dot") << ".profile" << "PROFIL~1";
    QTest::newRow("forbidden chars") << "a+b.txt" << "A_B~1.TXT";
    QTest::newRow("non-ASCII") << QStringLiteral("na\u00efve.txt") << "NA_VE~1.TXT";
    QTest::newRow("only dots and blanks") << ". ." << "_~1";
}

void TestPlatformNames::shortFileName() {
    QFETCH(QString, name);
    QFETCH(QString, alias);
    QCOMPARE(ShortFileName(name), alias);
    QVERIFY(alias.section(QLatin1Char('.'), 0, 0).size() <= 8);
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

QTEST_GUILESS_MAIN(TestPlatformNames)
#include "tst_platformnames.moc"
