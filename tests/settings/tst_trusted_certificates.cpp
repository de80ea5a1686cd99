// The trusted-certificates store over a file: what is found for host:port, what a new
// trust replaces, which lines are skipped, and that the file stays the owner's.
#include "settings/TrustedCertificates.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A fingerprint of 32 equal bytes.
QByteArray Fp(const char* byte) {
    QByteArrayList parts;
    for (int i = 0; i < 32; ++i)
        parts << byte;
    return parts.join(':');
}

} // namespace

class TestTrustedCertificates : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void store_data();
    void store();
};

void TestTrustedCertificates::store_data() {
    QTest::addColumn<QByteArray>("before");
    // Host, port and fingerprint remembered, when the host is not empty.
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("fingerprint");
    // What is then found for ftp.example.org:990.
    QTest::addColumn<QByteArrayList>("found");

    const QByteArray a = Fp("AA"), b = Fp("BB"), c = Fp("0C");
    QTest::newRow("no file") << QByteArray() << QString() << 0 << QByteArray() << QByteArrayList();
    QTest::newRow("lookup, host in any case, fingerprint in any form")
        << "FTP.Example.org:990 " + b.toLower().replace(':', "") + "\nftp.example.org:21 " + a +
               "\nother.example.org:990 " + c + "\n"
        << QString() << 0 << QByteArray() << QByteArrayList{b};
    QTest::newRow("bad lines skipped")
        << "ftp.example.org " + a + "\nftp.example.org:0 " + a + "\nftp.example.org:990 AB:CD\n" +
               "ftp.example.org:990 " + a + " extra\n\n# ftp.example.org:990 " + a +
               "\nftp.example.org:990 " + c + "\r\n"
        << QString() << 0 << QByteArray() << QByteArrayList{c};
    QTest::newRow("remembered in a new file") << QByteArray() << QStringLiteral(" FTP.example.org")
                                              << 990 << a.toLower() << QByteArrayList{a};
    QTest::newRow("replaces the host:port's older one only")
        << "ftp.example.org:990 " + a + "\nftp.example.org:21 " + b + "\n"
        << QStringLiteral("ftp.example.org") << 990 << c << QByteArrayList{c};
    QTest::newRow("another port kept apart")
        << "ftp.example.org:990 " + a + "\n"
        << QStringLiteral("ftp.example.org") << 21 << c << QByteArrayList{a};
}

void TestTrustedCertificates::store() {
    QFETCH(QByteArray, before);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QByteArray, fingerprint);
    QFETCH(QByteArrayList, found);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TrustedCertificates.txt"));
    if (!before.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        file.close();
        QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ReadOther));
    }
    TTrustedCertificates store(path);
    if (!host.isEmpty()) {
        QString error;
        QVERIFY2(store.Remember(host, port, fingerprint, &error), qPrintable(error));
        // Read and write for the owner, nothing for group and others (0x0700 is the
        // owner again, as the running user).
        QCOMPARE(int(QFile::permissions(path) & 0x7077), 0x6000);
        // Other entries survive a rewrite.
        const QByteArray text = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QCOMPARE(text.contains("ftp.example.org:21 "),
                 before.contains("ftp.example.org:21 ") || port == 21);
        QVERIFY(text.contains(TTrustedCertificates::Key(host, port).toUtf8() + ' ' +
                              fingerprint.toUpper()));
    }
    QCOMPARE(store.Fingerprints(QStringLiteral("ftp.example.org"), 990), found);
}

QTEST_GUILESS_MAIN(TestTrustedCertificates)
#include "tst_trusted_certificates.moc"
