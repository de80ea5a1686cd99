// The panes' pure rules as tables: sizes, paths in their three forms, links, masks, URLs,
// the safe-name gate, the remote list's order under the model tester, the host commands'
// states, the quick masks and the folder compare.
#include "app/MaskWindow.h"
#include "app/QuickMaskMenu.h"
#include "listing/FtpUtils.h"
#include "platform/SafeName.h"
#include "views/FolderCompare.h"
#include "views/HostBrowser.h"
#include "views/MainCommands.h"
#include "views/RemotePath.h"
#include "views/ViewFormat.h"
#include "views/widgets/RemoteListModel.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QTest>

namespace {

// "name|size|minute" entries, "|link" or "|folder" after them for those; dates in
// minutes from an arbitrary day, a fraction of a minute written as such.
QList<TCompareEntry> Entries(const QString& text) {
    QList<TCompareEntry> entries;
    for (const QString& entry : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList f = entry.split(QLatin1Char('|'));
        entries.append(
            {f[0], f.value(1).toLongLong(), 45000 + f.value(2).toDouble() / 1440, f.size() > 3});
    }
    return entries;
}

QStringList Names(const QList<TCompareEntry>& entries, const QList<int>& rows) {
    QStringList names;
    for (int row : rows)
        names << entries[row].Name;
    return names;
}

} // namespace

class TViewRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formatSize_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("column");
        QTest::newRow("zero") << qint64(0) << "0 Bytes"
                              << "0KB";
        QTest::newRow("one") << qint64(1) << "1 Byte"
                             << "1KB";
        QTest::newRow("1023") << qint64(1023) << "1,023 Bytes"
                              << "1KB";
        QTest::newRow("1024") << qint64(1024) << "1KB"
                              << "1KB";
        QTest::newRow("1536") << qint64(1536) << "1.5KB"
                              << "2KB";
        // Both round up: the same bytes never read smaller in one place than in the other.
        QTest::newRow("488.28KB") << qint64(500000) << "489KB"
                                  << "489KB";
        QTest::newRow("4.883KB") << qint64(5000) << "4.89KB"
                                 << "5KB";
        QTest::newRow("under a MB") << qint64(1048575) << "1.03E3KB"
                                    << "1,024KB";
        QTest::newRow("1.5MB") << qint64(1572864) << "1.5MB"
                               << "1,536KB";
        QTest::newRow("one MB") << qint64(1048576) << "1MB"
                                << "1,024KB";
        QTest::newRow("5 GiB") << qint64(5) * 1024 * 1024 * 1024 << "5GB"
                               << "5,242,880KB";
        QTest::newRow("2 TiB") << qint64(2) * 1024 * 1024 * 1024 * 1024 << "2TB"
                               << "2,147,483,648KB";
    }
    void formatSize() {
        QFETCH(qint64, bytes);
        QFETCH(QString, status);
        QFETCH(QString, column);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(FormatSize(bytes), status);
        QCOMPARE(KilobyteText(bytes), column);
    }

    // Both panes name a file's type by one rule: blanks around the name and the case of
    // its extension do not matter, and a leading dot starts no extension.
    void fileTypes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sameAs");
        QTest::addColumn<QString>("text"); // empty: whatever the MIME database says
        QTest::newRow("trailing blanks") << "a.txt  "
                                         << "b.txt" << QString();
        QTest::newRow("capital extension") << "A.ZIP"
                                           << "b.zip" << QString();
        QTest::newRow("unknown extension") << "a.QqZ"
                                           << "b.qqz"
                                           << "QQZ File";
        QTest::newRow("hidden file") << ".qqzrc"
                                     << "plain"
                                     << "File";
    }
    void fileTypes() {
        QFETCH(QString, name);
        QFETCH(QString, sameAs);
        QFETCH(QString, text);
        QCOMPARE(FileTypeText(name), FileTypeText(sameAs));
        if (!text.isEmpty()) QCOMPARE(FileTypeText(name), text);
    }

    void freeSpace_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << qint64(0) << "0 Bytes free";
        QTest::newRow("bytes") << qint64(999) << "999 Bytes free";
        QTest::newRow("kilobytes") << qint64(900 * 1024 + 1000) << "900 KB free";
        QTest::newRow("75.5 GB, rounded down") << qint64(81'100'000'000) << "75.5 GB free";
        QTest::newRow("a full unit") << qint64(1000) * 1024 * 1024 << "0.9 GB free";
        QTest::newRow("terabytes") << qint64(3) * 1024 * 1024 * 1024 * 1024 << "3.0 TB free";
    }
    void freeSpace() {
        QFETCH(qint64, bytes);
        QTEST(FreeSpaceText(bytes), "text");
    }

    void connectionCaption_data() {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("caption");
        QTest::newRow("stored site") << "Work"
                                     << "127.0.0.1" << 2121 << "Work";
        QTest::newRow("standard port") << ""
                                       << "ftp.example.org" << 21 << "ftp.example.org";
        QTest::newRow("other port") << ""
                                    << "127.0.0.1" << 2122 << "127.0.0.1:2122";
        QTest::newRow("IPv6") << ""
                              << "::1" << 2122 << "[::1]:2122";
        QTest::newRow("blank site name") << " "
                                         << "host" << 990 << "host:990";
    }
    void connectionCaption() {
        QFETCH(QString, site);
        QFETCH(QString, host);
        QFETCH(int, port);
        QTEST(ConnectionCaption(site, host, port), "caption");
    }

    // The popup and "Edit with..." as they open, over the pane's own command rules: the
    // commands for one file are off on a folder; the HTML editor, once one is set, takes
    // its web types whatever their case. Words name the state, and what is enabled.
    void openingRules_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("name"); // the focused entry
        QTest::addColumn<QString>("enabled");
        const QString popup = "Open View Download Now Rename Delete SendTo New Properties";
        QTest::newRow("one file") << "connected editor" << 1 << "a.zip" << popup + " NotePad";
        QTest::newRow("a folder first") << "connected folder editor" << 2 << "site.html"
                                        << "Download Delete SendTo New Properties";
        QTest::newRow("transfers running") << "connected active" << 1 << "a"
                                           << "Download Now NotePad";
        QTest::newRow("waiting for the server") << "connected busy active" << 1 << "a"
                                                << "NotePad";
        QTest::newRow("nothing selected") << "connected editor" << 0 << ""
                                          << "New";
        QTest::newRow("disconnected") << "" << 1 << "a"
                                      << "NotePad";
        QTest::newRow("INDEX.HTM") << "editor" << 1 << "INDEX.HTM"
                                   << "NotePad Pellion";
        QTest::newRow("script") << "editor" << 1 << "menu.js"
                                << "NotePad Pellion";
        QTest::newRow("no editor set") << "" << 1 << "index.html"
                                       << "NotePad";
        QTest::newRow("no extension") << "editor" << 1 << "html"
                                      << "NotePad";
    }
    void openingRules() {
        QFETCH(QString, state);
        QFETCH(int, selected);
        QFETCH(QString, name);
        const QStringList words = state.split(' ');
        const auto has = [&](const char* word) { return words.contains(word); };
        const THostPopupStates p = HostPopupStates(
            HostCommandStates({has("connected"), has("busy"), has("active"), selected}),
            has("folder"));
        const TEditWithStates e = EditWithStates(selected > 0, has("folder"), name, has("editor"));
        QStringList on;
        const std::pair<bool, const char*> items[] = {
            {p.Open, "Open"},       {p.View, "View"},      {p.Download, "Download"},
            {p.DownloadNow, "Now"}, {p.Rename, "Rename"},  {p.Delete, "Delete"},
            {p.SendTo, "SendTo"},   {p.New, "New"},        {p.Properties, "Properties"},
            {e.NotePad, "NotePad"}, {e.Pellion, "Pellion"}};
        for (const auto& [enabled, item] : items)
            if (enabled) on << item;
        QTEST(on.join(' '), "enabled");
        QCOMPARE(HostPopupDefault(7), hpOpen); // an unknown setting opens, as 3 does
    }

    void paths_data() {
        QTest::addColumn<QByteArray>("pwd");
        QTest::addColumn<QByteArray>("view");
        QTest::addColumn<QByteArray>("child");       // view path of the subfolder "DATA"
        QTest::addColumn<QByteArray>("childServer"); // what is sent for it
        QTest::addColumn<QByteArray>("rmdReply");    // the path an RMD of "DATA" names
        QTest::newRow("unix") << QByteArray("/pub") << QByteArray("/pub/")
                              << QByteArray("/pub/DATA/") << QByteArray("/pub/DATA/")
                              << QByteArray("/pub/DATA");
        QTest::newRow("backslash")
            << QByteArray("\\data") << QByteArray("\\data\\") << QByteArray("\\data\\DATA\\")
            << QByteArray("\\data\\DATA\\") << QByteArray("\\data\\DATA");
        QTest::newRow("vms") << QByteArray("USER$DISK:[SMITH.WORK]") << QByteArray(".SMITH.WORK.")
                             << QByteArray(".SMITH.WORK.DATA.")
                             << QByteArray("USER$DISK:[SMITH.WORK.DATA]")
                             << QByteArray("USER$DISK:[SMITH.WORK]DATA");
    }
    void paths() {
        QFETCH(QByteArray, pwd);
        QFETCH(QByteArray, view);
        QFETCH(QByteArray, child);
        QFETCH(QByteArray, childServer);
        QFETCH(QByteArray, rmdReply);
        TRemotePathForm form;
        QCOMPARE(ViewPathFromFolderReply(pwd, form), view);
        const QByteArray joined = view + "DATA" + form.Separator;
        QCOMPARE(joined, child);
        QCOMPARE(ToServerPath(child, form), childServer);
        // Server forms and view forms meet in one key.
        QCOMPARE(FolderKey(rmdReply, form), child);
        QCOMPARE(FolderKey(child, form), child);
        QByteArray folder, name;
        SplitItemPath(rmdReply, form, folder, name);
        QCOMPARE(folder, view);
        QCOMPARE(name, QByteArray("DATA"));
    }

    void folderHolds() {
        QVERIFY(FolderHolds("/pub/a/", "/pub/a/"));
        QVERIFY(FolderHolds("/pub/a/", "/pub/a/x/"));
        QVERIFY(!FolderHolds("/pub/a/", "/pub/ab/"));
        // A name holding a backslash on a slash server is one name, not a path.
        TRemotePathForm slash;
        QByteArray folder, name;
        SplitItemPath("/pub/a\\b", slash, folder, name);
        QCOMPARE(folder, QByteArray("/pub/"));
        QCOMPARE(name, QByteArray("a\\b"));
    }

    void links_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("folder");
        QTest::newRow("up a level") << QByteArray("lib -> ../lib") << true;
        QTest::newRow("shared object") << QByteArray("libc -> libc.so.6") << false;
        QTest::newRow("bare name") << QByteArray("www -> public_html") << true;
        QTest::newRow("dotted folder") << QByteArray("cfg -> /etc/app.d/conf") << true;
    }
    void links() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, folder);
        QCOMPARE(THostBrowser::LinkLooksLikeFolder(entry), folder);
    }

    void masksAndUrls() {
        QCOMPARE(THostBrowser::SplitMasks(QStringLiteral(" *.TXT;*.doc, a?c  x*\n")),
                 QStringList({"*.txt", "*.doc", "a?c", "x*"}));
        QCOMPARE(ComposeItemURL("h", 21, "anonymous", "me@x", "/pub/a b.txt"),
                 QStringLiteral("ftp://h/pub/a%20b.txt"));
        const QString url = ComposeItemURL("h", 2121, "joe", "s3cret", "USER$DISK:[A]B#1");
        QCOMPARE(url, QStringLiteral("ftp://joe:s3cret@h:2121/USER%24DISK%3A%5BA%5DB%231"));
        QVERIFY(!ItemURLForLog(url).contains(QLatin1String("s3cret")));
    }

    void safeNames_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << QByteArray("report.txt") << true;
        QTest::newRow("latin1") << QByteArray("caf\xe9") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("dot") << QByteArray(".") << false;
        QTest::newRow("dotdot") << QByteArray("..") << false;
        QTest::newRow("parent path") << QByteArray("../x") << false;
        QTest::newRow("inner slash") << QByteArray("a/b") << false;
        QTest::newRow("nul") << QByteArray("a\0b", 3) << false;
    }
    void safeNames() {
        QFETCH(QByteArray, name);
        QFETCH(bool, safe);
        QString local, why;
        QCOMPARE(SafeLocalName(name, local, &why), safe);
        QCOMPARE(why.isEmpty(), safe);
        if (safe) QCOMPARE(local, DisplayText(name));
    }

    // Folders first in both directions, and the model holds its own listing.
    void sortOrder() {
        auto listing = std::make_shared<TRemoteItemList>();
        listing->push_back({"b.txt", {0, 300, 2.0}});
        listing->push_back({"Zeta", {raFolder, 0, 1.0}});
        listing->push_back({"a.txt", {0, 100, 3.0}});
        listing->push_back({"alpha", {raFolder, 0, 4.0}});
        listing->push_back({"c.bin", {0, 5000000000LL, 1.5}});
        TRemoteListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        TRemoteSortProxy proxy;
        proxy.setSourceModel(&model);
        QAbstractItemModelTester proxyTester(
            &proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetListing(listing);
        listing.reset();
        auto order = [&] {
            QStringList names;
            for (int i = 0; i < proxy.rowCount(); ++i)
                names << proxy.index(i, 0).data().toString();
            return names;
        };
        proxy.sort(TRemoteListModel::colName, Qt::AscendingOrder);
        QCOMPARE(order(), QStringList({"alpha", "Zeta", "a.txt", "b.txt", "c.bin"}));
        proxy.sort(TRemoteListModel::colSize, Qt::DescendingOrder);
        QCOMPARE(order(), QStringList({"Zeta", "alpha", "c.bin", "b.txt", "a.txt"}));
        proxy.sort(TRemoteListModel::colModified, Qt::AscendingOrder);
        QCOMPARE(order(), QStringList({"Zeta", "alpha", "c.bin", "b.txt", "a.txt"}));
        proxy.SetMasks({"*.txt"});
        QCOMPARE(order(), QStringList({"Zeta", "alpha", "b.txt", "a.txt"}));
        model.Clear();
        QCOMPARE(proxy.rowCount(), 0);
    }

    // A name shows whole on one line, and its type comes from it without its blanks.
    void shownNames() {
        auto listing = std::make_shared<TRemoteItemList>();
        listing->push_back({"a.txt", {0, 1, 1.0}});
        listing->push_back({" b.txt   ", {0, 1, 1.0}});
        listing->push_back({"new\nline", {0, 1, 1.0}});
        TRemoteListModel model;
        model.SetListing(listing);
        QHash<QString, QString> types;
        for (int row = 0; row < model.rowCount(); ++row)
            types.insert(model.index(row, TRemoteListModel::colName).data().toString(),
                         model.index(row, TRemoteListModel::colType).data().toString());
        QCOMPARE(types.keys().size(), 3);
        QCOMPARE(types.value(" b.txt   "), types.value("a.txt"));
        QVERIFY(types.contains("new\\nline"));
    }

    void hostCommands_data() {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("active");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("enabled"); // of Download, Delete, Rename, Compare
        QTest::newRow("disconnected") << false << false << false << 1 << "";
        QTest::newRow("idle, one selected") << true << false << false << 1 << "DXRC";
        QTest::newRow("idle, two selected") << true << false << false << 2 << "DXC";
        QTest::newRow("waiting for its server") << true << true << true << 1 << "";
        QTest::newRow("its session transferring") << true << false << true << 1 << "DC";
    }
    void hostCommands() {
        QFETCH(bool, connected);
        QFETCH(bool, busy);
        QFETCH(bool, active);
        QFETCH(int, selected);
        const THostCommandStates s = HostCommandStates({connected, busy, active, selected, false});
        QString enabled;
        const std::pair<bool, char> states[] = {
            {s.Download, 'D'}, {s.Delete, 'X'}, {s.Rename, 'R'}, {s.CompareFolders, 'C'}};
        for (const auto& [on, letter] : states)
            if (on) enabled += QLatin1Char(letter);
        QTEST(enabled, "enabled");
    }

    // A typed path names a folder below the one shown unless it starts from a root.
    void typedFolders_data() {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<char>("separator");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("below") << QByteArray("b") << QByteArray("/pub/a/") << '/'
                               << QByteArray("/pub/a/b");
        QTest::newRow("up") << QByteArray("..") << QByteArray("/pub/a/") << '/'
                            << QByteArray("/pub/a/..");
        QTest::newRow("from the root")
            << QByteArray("/etc") << QByteArray("/pub/") << '/' << QByteArray("/etc");
        QTest::newRow("home") << QByteArray("~/x") << QByteArray("/pub/") << '/'
                              << QByteArray("~/x");
        QTest::newRow("backslash")
            << QByteArray("logs") << QByteArray("\\data\\") << '\\' << QByteArray("\\data\\logs");
        QTest::newRow("drive") << QByteArray("D:\\x") << QByteArray("\\data\\") << '\\'
                               << QByteArray("D:\\x");
    }
    void typedFolders() {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, shown);
        QFETCH(char, separator);
        TRemotePathForm form;
        form.Separator = separator;
        QTEST(TypedFolderPath(typed, shown, form), "path");
    }

    // Masks typed in turn, as the menu then lists them (5 to 8, newest first); each entry
    // gives back its mask as typed.
    void quickMasks_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("none") << QStringList() << QStringList();
        QTest::newRow("repeat moves to the top")
            << QStringList{"*.a", "*.b", "*.c", "*.b"} << QStringList{"*.b", "*.c", "*.a"};
        QTest::newRow("repeat of the newest")
            << QStringList{"*.txt", "*.txt"} << QStringList{"*.txt"};
        QTest::newRow("five keep four")
            << QStringList{"1", "2", "3", "4", "5"} << QStringList{"5", "4", "3", "2"};
        QTest::newRow("blanks and empty")
            << QStringList{" *.txt ", "", "*.txt"} << QStringList{"*.txt"};
        QTest::newRow("brackets and ampersands") << QStringList{"a (1).txt", "R&D*", "x (y)"}
                                                 << QStringList{"x (y)", "R&D*", "a (1).txt"};
    }
    void quickMasks() {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, kept);
        TQuickMaskMenu menu;
        QStringList chosen;
        menu.OnChosen = [&](bool, const QString& mask) { chosen << mask; };
        for (const QString& mask : typed)
            menu.Remember(mask);
        QCOMPARE(menu.Masks().Masks(), kept);
        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 9);
        QCOMPARE(actions[4]->isVisible(), !kept.isEmpty()); // the separator
        QStringList shown;
        for (QAction* action : actions.mid(5)) {
            if (!action->isVisible()) continue;
            action->trigger();
            QCOMPARE(action->text(), QuickMaskCaption(5 + int(shown.size()), chosen.last()));
            shown << chosen.last();
        }
        QCOMPARE(shown, kept);
        QCOMPARE(QuickMaskCaption(6, "R&D*"), QString("&6 R&&D*"));
        // The presets give their masks; a caption typed whole stands for its mask.
        actions[3]->trigger();
        QCOMPARE(chosen.last(), QString("*.*"));
        QCOMPARE(actions[1]->text(), QString("&2 Image Files (*.gif;*.jpg;*.bmp;*.png)"));
        QCOMPARE(MaskOfText("Image Files (*.gif;*.jpg;*.bmp;*.png)"),
                 QString("*.gif;*.jpg;*.bmp;*.png"));
        QCOMPARE(MaskOfText("a (1).txt"), QString("a (1).txt"));
    }

    // A preset picked in the mask window leaves only its mask in the box.
    void maskWindowPresets() {
        TfrmMask window(nullptr);
        auto* box = window.findChild<QComboBox*>("cmboMask");
        window.show();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QTRY_COMPARE(box->currentText(), MaskPresets()[0].Mask);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(box, Qt::Key_Down);
        QTRY_COMPARE(box->currentText(), QString("*.*"));
        box->setEditText(" a (1).txt ");
        QCOMPARE(window.Mask(), QString("a (1).txt"));
    }

    void compare_data() {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("ignoreSize");
        QTest::addColumn<bool>("ignoreDate");
        QTest::addColumn<QStringList>("localSelected");
        QTest::addColumn<QStringList>("hostSelected");
        using L = QStringList;
        QTest::newRow("missing on each side")
            << "mine.txt|5|0,same.txt|9|0"
            << "same.txt|9|0,theirs.txt|5|0" << false << true << L{"mine.txt"} << L{"theirs.txt"};
        QTest::newRow("larger local") << "a|2000|0"
                                      << "a|1000|0" << false << true << L{"a"} << L{};
        QTest::newRow("sizes and dates ignored") << "a|2000|0"
                                                 << "a|1000|9" << true << true << L{} << L{};
        QTest::newRow("newer local") << "a|100|20"
                                     << "a|100|10" << false << false << L{"a"} << L{};
        QTest::newRow("newer, dates ignored") << "a|100|20"
                                              << "a|100|10" << false << true << L{} << L{};
        QTest::newRow("larger one side, newer the other")
            << "a|100|20"
            << "a|200|10" << false << false << L{"a"} << L{"a"};
        QTest::newRow("same minute") << "a|100|10.1"
                                     << "a|100|9.9" << false << false << L{} << L{};
        QTest::newRow("names differing in case") << "README.TXT|7|0"
                                                 << "readme.txt|7|0" << false << true << L{} << L{};
        QTest::newRow("the same case first")
            << "Data.csv|500|0,data.csv|100|0"
            << "data.csv|300|0" << false << true << L{"Data.csv"} << L{"data.csv"};
        QTest::newRow("two case twins pair with neither")
            << "readme|1|0"
            << "README|1|0,Readme|1|0" << false << true << L{"readme"} << L{};
        QTest::newRow("folders and links by name")
            << "docs|0|0|folder,latest.tar.gz|3911420|0|link"
            << "docs|4096|9|folder,latest.tar.gz|22|9|link,pub|4096|0|folder" << false << false
            << L{} << L{"pub"};
    }
    void compare() {
        QFETCH(QString, local);
        QFETCH(QString, host);
        QFETCH(bool, ignoreSize);
        QFETCH(bool, ignoreDate);
        const QList<TCompareEntry> l = Entries(local), h = Entries(host);
        const TCompareResult result = CompareFolders(l, h, {ignoreSize, ignoreDate});
        QTEST(Names(l, result.Local), "localSelected");
        QTEST(Names(h, result.Host), "hostSelected");
    }
};

QTEST_MAIN(TViewRules)
#include "tst_view_rules.moc"
