#include "engine/HttpHeaders.h"

#include <QTest>

// The socket-free half of the HTTP download: request text, head fields, body framing.
class TestHttpHeaders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requestLines();
    void requestRefusals();
    void headFields();
    void bodyFraming_data();
    void bodyFraming();
    void chunkedWholeAndByteByByte();
    void chunkedBroken_data();
    void chunkedBroken();
};

void TestHttpHeaders::requestLines() {
    THttpRequest r;
    // A decoded CR LF in the path must not become a header line of its own.
    QCOMPARE(BuildHttpRequest(
                 QStringLiteral(
                     "http://example.com:8080/pub/a%20b%0D%0AX-Evil:%201/f%C3%BC.zip?x=1&y=a%20b"),
                 r),
             THttpRequestResult::Ok);
    QCOMPARE(r.Host, QByteArray("example.com"));
    QCOMPARE(r.Port, 8080);
    QCOMPARE(r.Lines,
             (QList<QByteArray>{"GET /pub/a%20b%0D%0AX-Evil:%201/f%C3%BC.zip?x=1&y=a%20b HTTP/1.1",
                                "Host: example.com:8080", "User-Agent: Tolvar/1.10a",
                                "Connection: close"}));
    QVERIFY(r.Text().endsWith("Connection: close\r\n\r\n"));

    // No scheme means http, no path means "/", the default port stays out of Host.
    QCOMPARE(BuildHttpRequest(QStringLiteral("example.com"), r), THttpRequestResult::Ok);
    QCOMPARE(r.Port, 80);
    QCOMPARE(r.Lines.mid(0, 2), (QList<QByteArray>{"GET / HTTP/1.1", "Host: example.com"}));

    QCOMPARE(BuildHttpRequest(QStringLiteral("HTTP://[::1]:81/x"), r), THttpRequestResult::Ok);
    QCOMPARE(r.Host, QByteArray("::1"));
    QCOMPARE(r.Lines.value(1), QByteArray("Host: [::1]:81"));
}

void TestHttpHeaders::requestRefusals() {
    THttpRequest r;
    QCOMPARE(BuildHttpRequest(QStringLiteral("ftp://example.com/x"), r),
             THttpRequestResult::NotHttp);
    QCOMPARE(BuildHttpRequest(QStringLiteral("https://example.com/x"), r),
             THttpRequestResult::NotHttp);
    QCOMPARE(BuildHttpRequest(QStringLiteral("http:///nohost"), r), THttpRequestResult::NotSplit);
}

void TestHttpHeaders::headFields() {
    const THttpResponseHead head = ParseHttpHead(
        "HTTP/1.1 404 Not Found\r\nContent-Length:5000\r\nX-Odd\r\nServer:  nginx \r\n\r\n");
    QCOMPARE(head.StatusCode, 404);
    QCOMPARE(head.Reason, QByteArray("Not Found"));
    QCOMPARE(head.Lines.size(), 4);
    QCOMPARE(head.Fields.size(), 2);
    QCOMPARE(head.Fields[0].Name, QByteArray("content-length"));
    QCOMPARE(head.Fields[0].Value, QByteArray("5000"));
    QCOMPARE(head.Fields[1].Value, QByteArray("nginx"));

    QCOMPARE(ParseHttpHead("HTTP/1.0 200\n\n").StatusCode, 200);
    QCOMPARE(ParseHttpHead("HTTP/1.1 2000 OK\n\n").StatusCode, 0);
    QCOMPARE(ParseHttpHead("SSH-2.0-OpenSSH 200 x\n\n").StatusCode, 0);
}

void TestHttpHeaders::bodyFraming_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("kind");
    QTest::addColumn<qint64>("length");
    const auto row = [](const char* name, const QByteArray& fields, THttpBodyKind kind,
                        qint64 length) {
        QTest::newRow(name) << "HTTP/1.1 200 OK\r\n" + fields + "\r\n" << int(kind) << length;
    };
    row("length", "Content-Length: 12\r\n", THttpBodyKind::Length, 12);
    row("beyond 4 GiB", "Content-Length: 5000000000\r\n", THttpBodyKind::Length, 5000000000LL);
    row("equal list", "Content-Length: 7, 7\r\n", THttpBodyKind::Length, 7);
    row("conflicting", "Content-Length: 7\r\nContent-Length: 8\r\n", THttpBodyKind::Invalid, 0);
    row("negative", "Content-Length: -1\r\n", THttpBodyKind::Invalid, 0);
    row("signed", "Content-Length: +5\r\n", THttpBodyKind::Invalid, 0);
    row("too large", "Content-Length: 99999999999999999999\r\n", THttpBodyKind::Invalid, 0);
    row("chunked wins", "Content-Length: 5\r\nTransfer-Encoding: gzip, Chunked\r\n",
        THttpBodyKind::Chunked, 0);
    row("other coding", "Transfer-Encoding: gzip\r\n", THttpBodyKind::UntilClose, 0);
    row("nothing", "Server: x\r\n", THttpBodyKind::UntilClose, 0);
    QTest::newRow("204") << QByteArray("HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n")
                         << int(THttpBodyKind::None) << qint64(0);
}

void TestHttpHeaders::bodyFraming() {
    QFETCH(QByteArray, head);
    QFETCH(int, kind);
    QFETCH(qint64, length);
    const THttpBodyFraming framing = HttpBodyFraming(ParseHttpHead(head));
    QCOMPARE(int(framing.Kind), kind);
    QCOMPARE(framing.Length, length);
}

void TestHttpHeaders::chunkedWholeAndByteByByte() {
    const QByteArray wire =
        "5;name=value\r\nHello\r\n1A\r\n abcdefghijklmnopqrstuvwxy\r\n0\r\nTrailer: x\r\n\r\nJUNK";
    const QByteArray body = "Hello abcdefghijklmnopqrstuvwxy";
    THttpChunkedDecoder whole;
    QByteArray out;
    QVERIFY(whole.Feed(wire.constData(), wire.size(), out));
    QVERIFY(whole.Done());
    QCOMPARE(out, body);

    THttpChunkedDecoder split;
    out.clear();
    for (qsizetype i = 0; i < wire.size(); ++i) {
        QVERIFY(split.Feed(wire.constData() + i, 1, out));
        QCOMPARE(split.Done(), i >= wire.size() - 5);
    }
    QCOMPARE(out, body);
}

void TestHttpHeaders::chunkedBroken_data() {
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("not hex") << QByteArray("zz\r\n");
    QTest::newRow("0x form") << QByteArray("0x5\r\nHello\r\n");
    QTest::newRow("negative") << QByteArray("-5\r\n");
    QTest::newRow("huge size") << QByteArray("1000000000000000\r\n");
    QTest::newRow("no line end after data") << QByteArray("3\r\nabcX\r\n");
    QTest::newRow("endless size line") << QByteArray(8192, '1');
}

void TestHttpHeaders::chunkedBroken() {
    QFETCH(QByteArray, wire);
    THttpChunkedDecoder decoder;
    QByteArray out;
    QVERIFY(!decoder.Feed(wire.constData(), wire.size(), out));
    QVERIFY(!decoder.Done());
}

QTEST_GUILESS_MAIN(TestHttpHeaders)
#include "tst_httpheaders.moc"
