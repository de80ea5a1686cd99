// The replies that set up a data connection and announce its size, read as servers
// word them and as hostile or broken ones do.
#include "engine/DataReplies.h"

#include <QTest>

class TestDataReplies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void passivePort_data();
    void passivePort();
    void extendedPassivePort();
    void announcedSize_data();
    void announcedSize();
};

void TestDataReplies::passivePort_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("usual") << QByteArray("227 Entering Passive Mode (10,0,0,1,4,1).")
                           << QByteArray() << 1025;
    QTest::newRow("other host, port only")
        << QByteArray("227 Entering Passive Mode (192,168,7,9,195,80)") << QByteArray("10,0,0,1")
        << 50000;
    QTest::newRow("host address without parenthesis")
        << QByteArray("227 Passive 10,0,0,1,4,1 ok") << QByteArray("10,0,0,1") << 1025;
    QTest::newRow("no parenthesis, no host address")
        << QByteArray("227 Passive 10,0,0,2,4,1 ok") << QByteArray("10,0,0,1") << 0;
    QTest::newRow("nothing after the last digit")
        << QByteArray("227 Entering Passive Mode (10,0,0,1,4,1") << QByteArray() << 0;
    QTest::newRow("five numbers") << QByteArray("227 Entering Passive Mode (10,0,0,1,4).")
                                  << QByteArray() << 0;
    QTest::newRow("field above 255")
        << QByteArray("227 Entering Passive Mode (10,0,0,1,256,1).") << QByteArray() << 0;
    QTest::newRow("long field") << QByteArray("227 Entering Passive Mode (10,0,0,0001,4,1).")
                                << QByteArray() << 0;
    QTest::newRow("empty field") << QByteArray("227 Entering Passive Mode (10,,0,1,4,1).")
                                 << QByteArray() << 0;
    QTest::newRow("port 0") << QByteArray("227 Entering Passive Mode (10,0,0,1,0,0).")
                            << QByteArray() << 0;
    QTest::newRow("highest port") << QByteArray("227 Entering Passive Mode (10,0,0,1,255,255).")
                                  << QByteArray() << 65535;
}

void TestDataReplies::passivePort() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, host);
    QFETCH(int, port);
    QCOMPARE(PassiveReplyPort(reply, host), port);
}

void TestDataReplies::extendedPassivePort() {
    QCOMPARE(ExtendedPassiveReplyPort("229 Entering Extended Passive Mode (|||6446|)"), 6446);
    QCOMPARE(ExtendedPassiveReplyPort("229 Extended (!!!21!)"), 21);
    QCOMPARE(ExtendedPassiveReplyPort("229 Entering Extended Passive Mode (|||6446)"), 0);
    QCOMPARE(ExtendedPassiveReplyPort("229 Entering Extended Passive Mode (||1|6446|)"), 0);
    QCOMPARE(ExtendedPassiveReplyPort("229 Entering Extended Passive Mode (|||70000|)"), 0);
    QCOMPARE(ExtendedPassiveReplyPort("229 Entering Extended Passive Mode"), 0);
}

void TestDataReplies::announcedSize_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qlonglong>("size");
    QTest::newRow("vsftpd")
        << QByteArray("150 Opening BINARY mode data connection for a.zip (12345 bytes).")
        << QByteArray("a.zip") << 12345LL;
    QTest::newRow("case and blanks in the name")
        << QByteArray("150 Opening data connection for My File.ZIP (2048 bytes)")
        << QByteArray("my file.zip") << 2048LL;
    QTest::newRow("beyond 4 GiB")
        << QByteArray("150 Opening BINARY mode data connection for big (5368709120 bytes).")
        << QByteArray("big") << 5368709120LL;
    QTest::newRow("no size") << QByteArray("150 Here comes the file.") << QByteArray("a.zip")
                             << -1LL;
    QTest::newRow("number without bytes")
        << QByteArray("150 Opening data connection for a.zip (12345 blocks).")
        << QByteArray("a.zip") << -1LL;
    QTest::newRow("nothing after the number")
        << QByteArray("150 Opening for a.zip (12345") << QByteArray("a.zip") << -1LL;
}

void TestDataReplies::announcedSize() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, name);
    QFETCH(qlonglong, size);
    QCOMPARE(qlonglong(AnnouncedSize(reply, name)), size);
}

QTEST_GUILESS_MAIN(TestDataReplies)
#include "tst_data_replies.moc"
