// Line ends of text transfers, chunk by chunk as the data loop feeds them.
#include "engine/LineEnds.h"

#include <QTest>

class TestLineEnds : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void convert_data();
    void convert();
};

void TestLineEnds::convert_data() {
    QTest::addColumn<bool>("toWire");
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArray>("expected");
    const auto row = [](const char* name, bool toWire, const QByteArrayList& chunks,
                        const QByteArray& expected) {
        QTest::newRow(name) << toWire << chunks << expected;
    };
    row("receive: empty file", false, {}, "");
    row("receive: CR LF, also split across reads", false, {"x\r\na\r", "\nb\r", "\n"}, "x\na\nb\n");
    row("receive: CR then an empty read then LF", false, {"a\r", "", "\nb"}, "a\nb");
    row("receive: lone CR kept, also at a chunk's end", false, {"a\rb\r", "c"}, "a\rb\rc");
    row("receive: lone LF kept", false, {"a\nb"}, "a\nb");
    row("receive: CR at the very end is written", false, {"a\r"}, "a\r");
    row("send: empty file", true, {}, "");
    row("send: bare LF gains its CR", true, {"line1\nline2\n"}, "line1\r\nline2\r\n");
    row("send: CR LF stays", true, {"a\r\nb"}, "a\r\nb");
    row("send: CR LF split across reads stays", true, {"a\r", "\nb"}, "a\r\nb");
    row("send: lone CR kept", true, {"a\rb\r"}, "a\rb\r");
}

void TestLineEnds::convert() {
    QFETCH(bool, toWire);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArray, expected);
    TLineEnds lineEnds(toWire ? TLineEnds::TDirection::ToWire : TLineEnds::TDirection::ToLocal);
    QByteArray all, out;
    for (const QByteArray& chunk : chunks) {
        lineEnds.Convert(chunk.constData(), chunk.size(), out);
        all += out;
    }
    lineEnds.Finish(out);
    all += out;
    QCOMPARE(all, expected);
}

QTEST_GUILESS_MAIN(TestLineEnds)
#include "tst_line_ends.moc"
