// Listing parsers: one table of listing text and expected entries per parser (data/*.txt),
// then the helpers the parsers share and the guarantees the engine relies on.
#include "listing/ListingParser.h"
#include "listing/ServerTypes.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <ctime>
#include <thread>

// A case file holds cases, each a "== name" line and then:
//   server 11 / today 2024-06-15    the server type and "today" (before the first case:
//                                   the defaults for all)
//   < listing line                  one listing line, a LF appended; "<= text" appends none
//   > name | size | mode | YYYY-MM-DD HH:MM    one expected entry, in order
//   fallback                        read as the session does: lines the parser does not
//                                   understand go to the other parsers, and
//   ? line                          is one that none understands, in order
// Listing text and names take the escapes \r \n \t \0 \xHH and \\; the mode is as ls writes
// it ('l' for a link). Lines starting with # are comments.
struct TListingCase {
    int ServerType = 11;
    QDate Today;
    QByteArray Listing;
    QStringList Expected; // as EntryText writes them
    bool Fallback = false;
    QByteArrayList NotUnderstood;
};
Q_DECLARE_METATYPE(TListingCase)

namespace {

QByteArray Unescape(const QByteArray& text) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            c = text[++i];
            if (c == 'x') {
                c = char(text.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else if (const qsizetype k = QByteArray("rnt0").indexOf(c); k >= 0) {
                c = "\r\n\t"[k]; // the fourth is the terminating NUL
            }
        }
        out += c;
    }
    return out;
}

// Control and non-ASCII bytes as \xHH, and trailing blanks made visible.
QString EscapeName(const QByteArray& name) {
    QString out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || u >= 0x7F)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    qsizetype blanks = 0;
    while (blanks < out.size() && out[out.size() - 1 - blanks] == QLatin1Char(' '))
        ++blanks;
    out.chop(blanks);
    return out + QStringLiteral("\\x20").repeated(blanks);
}

QString EntryText(const TRemoteListEntry& entry) {
    const uint16_t a = entry.Item.Attributes;
    QString mode = QLatin1String((a & raFolder) ? "d" : (a & raLink) ? "l" : "-");
    for (int i = 0; i < 9; ++i)
        mode += (a & (raOwnerRead << i)) ? QLatin1Char("rwxrwxrwx"[i]) : QLatin1Char('-');
    return QStringLiteral("%1 | %2 | %3 | %4")
        .arg(EscapeName(entry.Name))
        .arg(entry.Item.Size)
        .arg(mode, QString::fromLatin1(DayNumberText(entry.Item.Date)));
}

// "name | size | mode | date": the name may hold anything, so split from the right.
QString Expectation(const QByteArray& text) {
    QByteArray rest = text, fields;
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = rest.lastIndexOf(" | ");
        if (at < 0) return QStringLiteral("malformed expectation: ") + QString::fromUtf8(text);
        fields.prepend(" | " + rest.mid(at + 3).trimmed());
        rest.truncate(at);
    }
    return EscapeName(Unescape(rest)) + QString::fromUtf8(fields);
}

} // namespace

class TestListingParsers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // EPLF dates are UTC, given in local time.
    void initTestCase() {
        qputenv("TZ", "UTC");
        tzset();
    }
    void unixLines_data() { AddCases("unix.txt"); }
    void unixLines() { RunCase(); }
    void dosLines_data() { AddCases("dos.txt"); }
    void dosLines() { RunCase(); }
    void vmsLines_data() { AddCases("vms.txt"); }
    void vmsLines() { RunCase(); }
    void vmLines_data() { AddCases("vm.txt"); }
    void vmLines() { RunCase(); }
    void mvsLines_data() { AddCases("mvs.txt"); }
    void mvsLines() { RunCase(); }
    void os400Lines_data() { AddCases("os400.txt"); }
    void os400Lines() { RunCase(); }
    void os2Lines_data() { AddCases("os2.txt"); }
    void os2Lines() { RunCase(); }
    void eplfLines_data() { AddCases("eplf.txt"); }
    void eplfLines() { RunCase(); }
    void lineEndsAndServerTypes_data() { AddCases("lines.txt"); }
    void lineEndsAndServerTypes() { RunCase(); }
    void fallbackLines_data() { AddCases("fallback.txt"); }
    void fallbackLines() { RunCase(); }

    void lenientStrToInt_data();
    void lenientStrToInt();
    void safeEncodeDateTime_data();
    void safeEncodeDateTime();
    void splitColumnsMatchesPlainSplit();
    void splitColumnsLimits();
    void serverTypes();
    void addListingEntryGuards();
    void notUnderstoodLinesAreCapped();
    void vmsContinuationBelongsToOneListing();
    void runOfLoneVmsNamesStaysBounded();
    void parsesConcurrently();

private:
    static void AddCases(const char* file);
    static void RunCase();
};

void TestListingParsers::AddCases(const char* name) {
    QTest::addColumn<TListingCase>("listingCase");
    QFile file(QStringLiteral(TOLVAR_TEST_DATA_DIR "/listing/data/") + QLatin1String(name));
    QVERIFY2(file.open(QIODevice::ReadOnly), name);
    TListingCase defaults{11, QDate(2024, 6, 15), {}, {}, false, {}};
    QList<std::pair<QByteArray, TListingCase>> cases; // tag and case
    int lineNumber = 0;
    for (QByteArray line : file.readAll().split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r')) line.chop(1);
        TListingCase& current = cases.isEmpty() ? defaults : cases.last().second;
        if (line.isEmpty() || line.startsWith('#') || line == "<=") continue;
        if (line.startsWith("== "))
            cases.append({name + (':' + QByteArray::number(lineNumber)) + ' ' + line.mid(3),
                          TListingCase{defaults.ServerType, defaults.Today, {}, {}, false, {}}});
        else if (line.startsWith("server "))
            current.ServerType = line.mid(7).trimmed().toInt();
        else if (line.startsWith("today "))
            current.Today = QDate::fromString(QString::fromLatin1(line.mid(6).trimmed()),
                                              QStringLiteral("yyyy-MM-dd"));
        else if (!cases.isEmpty() && line.startsWith("<= "))
            current.Listing += Unescape(line.mid(3));
        else if (!cases.isEmpty() && (line == "<" || line.startsWith("< ")))
            current.Listing += Unescape(line.mid(2)) + '\n';
        else if (!cases.isEmpty() && line.startsWith("> "))
            current.Expected += Expectation(line.mid(2));
        else if (!cases.isEmpty() && line == "fallback")
            current.Fallback = true;
        else if (!cases.isEmpty() && line.startsWith("? "))
            current.NotUnderstood += Unescape(line.mid(2));
        else
            QFAIL(qPrintable(QStringLiteral("malformed line %1:%2").arg(name).arg(lineNumber)));
    }
    for (const auto& [tag, listingCase] : cases)
        QTest::newRow(tag.constData()) << listingCase;
}

void TestListingParsers::RunCase() {
    QFETCH(TListingCase, listingCase);
    const TListingOutcome outcome =
        ReadListing(ListingParserFor(listingCase.ServerType), listingCase.Listing,
                    listingCase.Today, QString(), listingCase.Fallback);
    const TRemoteItemList& list = outcome.Items;
    if (listingCase.Fallback) {
        QCOMPARE(outcome.NotUnderstood, listingCase.NotUnderstood);
        QCOMPARE(outcome.NotUnderstoodCount, qint64(listingCase.NotUnderstood.size()));
    }
    QStringList actual;
    for (const TRemoteListEntry& entry : list) {
        actual += EntryText(entry);
        // Day numbers carry whole minutes only, so remote and local dates compare directly.
        const double minutes = std::fabs(entry.Item.Date) * 1440.0;
        QVERIFY2(std::fabs(minutes - std::round(minutes)) < 1e-6, qPrintable(actual.last()));
    }
    QCOMPARE(actual, listingCase.Expected);
}

void TestListingParsers::lenientStrToInt_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("plain") << QByteArray("1048576") << qint64(1048576);
    QTest::newRow("leading zeros") << QByteArray("007") << qint64(7);
    QTest::newRow("signed") << QByteArray("-7") << qint64(-7);
    QTest::newRow("plus") << QByteArray("+7") << qint64(7);
    QTest::newRow("GB2312 month") << QByteArray("12\xD4\xC2") << qint64(12);
    QTest::newRow("UTF-8 month") << QByteArray("12\xE6\x9C\x88") << qint64(12);
    QTest::newRow("digits inside") << QByteArray("x-7y") << qint64(7);
    QTest::newRow("grouped") << QByteArray("1,234") << qint64(-1);
    QTest::newRow("blocks pair") << QByteArray("12/14") << qint64(-1);
    QTest::newRow("two numbers") << QByteArray("1a2") << qint64(-1);
    QTest::newRow("no digit") << QByteArray("abc") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("lone sign") << QByteArray("-") << qint64(-1);
    QTest::newRow("past 32 bits") << QByteArray("5000000000") << qint64(5000000000LL);
    QTest::newRow("largest") << QByteArray("9223372036854775807") << qint64(9223372036854775807LL);
    QTest::newRow("smallest") << QByteArray("-9223372036854775808")
                              << std::numeric_limits<qint64>::min();
    QTest::newRow("overflow") << QByteArray("9223372036854775808") << qint64(-1);
    QTest::newRow("overflow inside") << QByteArray("x99999999999999999999x") << qint64(-1);
}

void TestListingParsers::lenientStrToInt() {
    QFETCH(QByteArray, text);
    QFETCH(qint64, value);
    QCOMPARE(LenientStrToInt(text), value);
}

void TestListingParsers::safeEncodeDateTime_data() {
    QTest::addColumn<QList<int>>("parts"); // year, month, day, hour, minute
    QTest::addColumn<double>("dayNumber");
    QTest::addColumn<QString>("text");
    const double jan1st2024 = 45292;
    QTest::newRow("zero day") << QList<int>{1899, 12, 30, 0, 0} << 0.0 << "1899-12-30 00:00";
    QTest::newRow("1900") << QList<int>{1900, 1, 1, 0, 0} << 2.0 << "1900-01-01 00:00";
    QTest::newRow("2000 noon") << QList<int>{2000, 1, 1, 12, 0} << 36526.5 << "2000-01-01 12:00";
    QTest::newRow("before zero day")
        << QList<int>{1899, 12, 29, 6, 0} << -1.25 << "1899-12-29 06:00";
    QTest::newRow("leap day") << QList<int>{2024, 2, 29, 0, 0} << 45351.0 << "2024-02-29 00:00";
    QTest::newRow("no leap day") << QList<int>{2023, 2, 29, 0, 0} << jan1st2024
                                 << "2024-01-01 00:00";
    QTest::newRow("April 31") << QList<int>{2023, 4, 31, 0, 0} << jan1st2024 << "2024-01-01 00:00";
    QTest::newRow("month 13") << QList<int>{2023, 13, 1, 0, 0} << jan1st2024 << "2024-01-01 00:00";
    QTest::newRow("hour 24") << QList<int>{2023, 1, 1, 24, 0} << jan1st2024 << "2024-01-01 00:00";
    QTest::newRow("minute -1") << QList<int>{2023, 1, 1, 0, -1} << jan1st2024 << "2024-01-01 00:00";
    QTest::newRow("year 0") << QList<int>{0, 1, 1, 0, 0} << jan1st2024 << "2024-01-01 00:00";
}

void TestListingParsers::safeEncodeDateTime() {
    QFETCH(QList<int>, parts);
    QFETCH(double, dayNumber);
    QFETCH(QString, text);
    const double date = SafeEncodeDateTime(parts[0], parts[1], parts[2], parts[3], parts[4], 2024);
    QCOMPARE(date, dayNumber);
    QCOMPARE(QString::fromLatin1(DayNumberText(date)), text);
}

// The column splitter works on blocks of bytes; a byte-by-byte split is the reference.
void TestListingParsers::splitColumnsMatchesPlainSplit() {
    QRandomGenerator random(20240615);
    const char alphabet[] = {' ', ' ', ' ', 'a', 'b', '\t', '\xE9', '-'};
    for (int round = 0; round < 3000; ++round) {
        QByteArray line;
        const int length = random.bounded(0, 120);
        for (int i = 0; i < length; ++i)
            line += alphabet[random.bounded(int(sizeof alphabet))];
        const int limit = random.bounded(1, MaxListingColumns + 1);
        QList<QByteArray> expected;
        for (const QByteArray& piece : line.split(' '))
            if (!piece.isEmpty() && expected.size() < limit) expected += piece;
        TColumnTable table;
        QCOMPARE(SplitColumns(line, table, limit), int(expected.size()));
        for (int n = 1; n <= table.Count; ++n) {
            QCOMPARE(table.Text(n).toByteArray(), expected[n - 1]);
            QCOMPARE(line.indexOf(expected[n - 1], table.Columns[n - 1].Offset),
                     qsizetype(table.Columns[n - 1].Offset));
        }
        QVERIFY(table.Text(table.Count + 1).isEmpty());
    }
}

void TestListingParsers::splitColumnsLimits() {
    QByteArray many;
    for (int i = 1; i <= 100; ++i)
        many += QByteArray::number(i) + "  ";
    TColumnTable table;
    QCOMPARE(SplitColumns(many, table), MaxListingColumns);
    QCOMPARE(table.Text(64).toByteArray(), QByteArray("64"));
    QCOMPARE(table.FromColumn(64).first(6).toByteArray(), QByteArray("64  65"));
    QCOMPARE(SplitColumns(QByteArrayView(), table), 0);
    QCOMPARE(SplitColumns("    ", table), 0);
    QCOMPARE(SplitColumns(" a\tb  c ", table), 2);
    QCOMPARE(table.Text(1).toByteArray(), QByteArray("a\tb"));
    QCOMPARE(table.Columns[1].Offset, 6);
}

// Numbers past either end of the server-type table read nothing.
void TestListingParsers::serverTypes() {
    QVERIFY(ServerTypeText(ServerTypeCount).isEmpty());
    QVERIFY(ServerTypeText(-1).isEmpty());
    QVERIFY(!ServerTypeHasParser(129));
    QVERIFY(ParseListing(129, "-rw-r--r-- 1 a b 1 Mar 3 2001 x\n").empty());
}

void TestListingParsers::addListingEntryGuards() {
    AddListingEntry(nullptr, "x", 0, 0, 1);
    TListingTarget noList;
    AddListingEntry(&noList, "x", 0, 0, 1);

    TRemoteItemList list;
    TListingTarget target{&list, QStringLiteral("host")};
    AddListingEntry(&target, "", 0, 0, 1);
    AddListingEntry(&target, "..", raFolder, 0, 0);
    AddListingEntry(&target, "..", 0, 0, 3);
    AddListingEntry(&target, "neg", 0, 0, -512);
    QCOMPARE(list.size(), size_t(2));
    QCOMPARE(list[0].Name, QByteArray(".."));
    QCOMPARE(list[0].Item.Size, int64_t(3));
    QCOMPARE(list[1].Item.Size, int64_t(0));
}

void TestListingParsers::notUnderstoodLinesAreCapped() {
    const TListingOutcome outcome = ReadListing(
        ParseUnixLine, QByteArray("what\r\n").repeated(MaxNotUnderstood + 50), QDate(2024, 6, 15));
    QCOMPARE(outcome.NotUnderstood.size(), qsizetype(MaxNotUnderstood));
    QCOMPARE(outcome.NotUnderstoodCount, qint64(MaxNotUnderstood + 50));
    QCOMPARE(outcome.Lines, qint64(MaxNotUnderstood + 50));
}

void TestListingParsers::vmsContinuationBelongsToOneListing() {
    const QDate today(2024, 6, 15);
    QVERIFY(ParseListing(13, "FIRST.TXT;1 1 2-JAN-1999 09:00\nLEFT-ALONE.TXT;1\n", today).size() ==
            1);
    QVERIFY(ParseListing(13, "   3  1-FEB-2000 10:00:00\n", today).empty());

    // Two listings parsed side by side keep their own wrapped names.
    TRemoteItemList a, b;
    TListingTarget targetA{&a, {}}, targetB{&b, {}};
    TListingParse parseA("A-NAME.TXT;1\n 1 2-JAN-1999 09:00\n", today, AddListingEntry, &targetA);
    TListingParse parseB("B-NAME.TXT;1\n 2 2-JAN-1999 09:00\n", today, AddListingEntry, &targetB);
    ParseVMSLine(parseA);
    ParseVMSLine(parseB);
    ParseVMSLine(parseA);
    ParseVMSLine(parseB);
    QCOMPARE(a.size(), size_t(1));
    QCOMPARE(b.size(), size_t(1));
    QCOMPARE(a[0].Name, QByteArray("A-NAME.TXT"));
    QCOMPARE(b[0].Name, QByteArray("B-NAME.TXT"));
    QCOMPARE(b[0].Item.Size, int64_t(1024));
}

// Every line of one column joins the held name; that must not grow without end (each
// line would copy all before it).
void TestListingParsers::runOfLoneVmsNamesStaysBounded() {
    QByteArray listing;
    for (int i = 0; i < 200000; ++i)
        listing += "N" + QByteArray::number(i) + ".TXT;1\n";
    listing += "   3  1-FEB-2000 10:00:00\n";
    const TRemoteItemList list = ParseListing(13, listing, QDate(2024, 6, 15));
    QVERIFY(list.size() <= 1);
    if (!list.empty()) QVERIFY(list[0].Name.size() <= 4096);
}

void TestListingParsers::parsesConcurrently() {
    QByteArray vms, unixText;
    for (int i = 0; i < 300; ++i) {
        vms += "LONG-NAME-" + QByteArray::number(i) + ".TXT;1\n   " + QByteArray::number(i) +
               "  1-FEB-2000 10:00:00\n";
        unixText += "-rw-r--r-- 1 a b " + QByteArray::number(i) + " Mar 3 10:15 f" +
                    QByteArray::number(i) + "\n";
    }
    const QDate today(2024, 6, 15);
    const TRemoteItemList vmsReference = ParseListing(13, vms, today);
    const TRemoteItemList unixReference = ParseListing(11, unixText, today);
    QCOMPARE(vmsReference.size(), size_t(300));
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const bool useVms = (round + t) % 2 == 0;
                const TRemoteItemList list =
                    ParseListing(useVms ? 13 : 11, useVms ? vms : unixText, today);
                const TRemoteItemList& reference = useVms ? vmsReference : unixReference;
                bool same = list.size() == reference.size();
                for (size_t i = 0; same && i < list.size(); ++i)
                    same = list[i].Name == reference[i].Name &&
                           list[i].Item.Size == reference[i].Item.Size;
                mismatches += same ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    QCOMPARE(mismatches.load(), 0);
}

QTEST_GUILESS_MAIN(TestListingParsers)
#include "tst_listing_parsers.moc"
