#include "ScriptedQuestions.h"
#include "TestFiles.h"
#include "listing/ListingParser.h"
#include "transfer/TransferItem.h"
#include "views/widgets/LocalFolderModel.h"
#include "views/widgets/LocalView.h"
#include "views/widgets/TreeCombo.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <unistd.h>

namespace {
QStringList ShownNames(const TLocalView& view) {
    const QAbstractItemModel* proxy = view.ListView()->model();
    QStringList names;
    for (int row = 0; row < proxy->rowCount(); ++row)
        names.append(proxy->index(row, 0).data().toString());
    return names;
}
} // namespace

class TestLocalView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void modelTester();
    void sortOrder_data();
    void sortOrder();
    void itemDateDropsSeconds();
    void unreadableFolder_data();
    void unreadableFolder();
    void cutAndPaste();
    void treeComboFollowsFolder();
    void typedFolder_data();
    void typedFolder();
    void typeAhead_data();
    void typeAhead();
    void noticesChangesOnDisk();

private:
    QString Path(const QString& name) const { return Home_->filePath(name); }
    std::unique_ptr<QTemporaryDir> Home_;
    std::unique_ptr<TLocalView> View_;
    TScriptedQuestions Questions_;
};

void TestLocalView::init() {
    // The trash and everything else stay inside a fresh home.
    Home_ = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(Home_->path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(Path(QStringLiteral("data"))));
    QVERIFY(QDir().mkpath(Path(QStringLiteral("data"))));
    Questions_ = TScriptedQuestions();
    View_ = std::make_unique<TLocalView>();
    View_->SetQuestions(&Questions_);
    for (const char* name : {"zeta/", "Alpha/", "b.txt", "a.log", "C.txt"}) {
        const QString path = Path(QString::fromLatin1(name));
        QVERIFY(path.endsWith(QLatin1Char('/')) ? QDir().mkpath(path)
                                                : WriteFile(path, QByteArray(name)));
    }
    QVERIFY(View_->ShowFolder(Path(QStringLiteral("zeta"))));
    QVERIFY(View_->GoUp());
    QCOMPARE(View_->Folder(), Home_->path() + QLatin1Char('/'));
}

void TestLocalView::modelTester() {
    QAbstractItemModelTester tester(View_->Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(WriteFile(Path(QStringLiteral("new.bin")), "x"));
    QVERIFY(QFile::remove(Path(QStringLiteral("a.log"))));
    QVERIFY(WriteFile(Path(QStringLiteral("b.txt")), "longer text"));
    // A finished download shows at once, without waiting for the watcher.
    TTransferItem item;
    View_->AddTransferredItem(item, QFile::encodeName(Home_->path()), 0, 1, 0, "new.bin");
    QVERIFY(View_->RowOfName(QStringLiteral("new.bin")) >= 0);
    QCOMPARE(View_->RowOfName(QStringLiteral("a.log")), -1);
    QCOMPARE(View_->ItemSize(View_->RowOfName(QStringLiteral("b.txt"))), 11);

    View_->SetMask(QStringLiteral("*.txt"));
    QCOMPARE(ShownNames(*View_), (QStringList{"Alpha", "data", "zeta", "b.txt", "C.txt"}));
}

void TestLocalView::sortOrder_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("expected");
    // "data" is the folder holding the trash.
    QTest::newRow("name up") << 0 << Qt::AscendingOrder
                             << QStringList{"Alpha", "data", "zeta", "a.log", "b.txt", "C.txt"};
    QTest::newRow("name down") << 0 << Qt::DescendingOrder
                               << QStringList{"zeta", "data", "Alpha", "C.txt", "b.txt", "a.log"};
    QTest::newRow("size up") << 1 << Qt::AscendingOrder
                             << QStringList{"Alpha", "data", "zeta", "a.log", "C.txt", "b.txt"};
    QTest::newRow("size down") << 1 << Qt::DescendingOrder
                               << QStringList{"zeta", "data", "Alpha", "b.txt", "C.txt", "a.log"};
}

void TestLocalView::sortOrder() {
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, expected);
    QVERIFY(WriteFile(Path(QStringLiteral("a.log")), "1"));
    QVERIFY(WriteFile(Path(QStringLiteral("C.txt")), "123"));
    QVERIFY(View_->Refresh());
    View_->ListView()->model()->sort(column, order);
    QCOMPARE(ShownNames(*View_), expected);
}

void TestLocalView::itemDateDropsSeconds() {
    // Remote dates have no seconds; the same file must compare equal on both sides.
    QFile file(Path(QStringLiteral("b.txt")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(10, 15, 59)),
                             QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(View_->Refresh());
    QCOMPARE(View_->ItemDate(View_->RowOfName(QStringLiteral("b.txt"))),
             SafeEncodeDateTime(2024, 3, 5, 10, 15, 2024));
}

void TestLocalView::unreadableFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing") << "gone";
    QTest::newRow("a file") << "b.txt";
    QTest::newRow("no permission") << "Alpha";
}

void TestLocalView::unreadableFolder() {
    QFETCH(QString, folder);
    if (folder == QStringLiteral("Alpha")) {
        if (::geteuid() == 0) QSKIP("root reads every folder");
        QVERIFY(QFile::setPermissions(Path(folder), {}));
    }
    const QString before = View_->Folder();
    const int count = View_->ItemCount();
    QVERIFY(!View_->ShowFolder(Path(folder)));
    QCOMPARE(View_->Folder(), before);
    QCOMPARE(View_->ItemCount(), count);
    QFile::setPermissions(Path(folder),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A cut pasted in another folder moves the file, the pane shows it, and the clipboard no
// longer names a file that is gone.
void TestLocalView::cutAndPaste() {
    View_->SelectRows({View_->RowOfName(QStringLiteral("b.txt"))});
    View_->CutSelected();
    QVERIFY(View_->ShowFolder(Path(QStringLiteral("zeta"))));
    View_->Paste();
    QCOMPARE(ShownNames(*View_), QStringList{"b.txt"});
    QVERIFY(!QFileInfo::exists(Path(QStringLiteral("b.txt"))));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!data || !data->hasUrls());
}

void TestLocalView::treeComboFollowsFolder() {
    TTreeCombo combo;
    View_->SetTreeCombo(&combo);
    QCOMPARE(combo.CurrentPath(), View_->Folder());
    combo.AddPath(Path(QStringLiteral("zeta")), QLatin1Char('/'), true);
    combo.AddPath(Path(QStringLiteral("Alpha")), QLatin1Char('/'), false);
    const QStandardItem* home = combo.Node(View_->Folder());
    QCOMPARE(home->rowCount(), 2);
    QCOMPARE(home->child(0)->text(), QStringLiteral("Alpha"));
    QVERIFY(home->child(1)->data(TTreeCombo::GhostedRole).toBool());
    combo.showPopup();
    QTreeView* tree = combo.TreeView();
    QVERIFY(QTest::qWaitForWindowExposed(tree->window()));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualRect(home->child(1)->index()).center());
    QVERIFY(!tree->window()->isVisible());
    QTRY_COMPARE(View_->Folder(), Path(QStringLiteral("zeta/")));
    QCOMPARE(combo.CurrentPath(), View_->Folder());
}

void TestLocalView::typedFolder_data() {
    QTest::addColumn<QString>("typed");  // "@" stands for the shown folder
    QTest::addColumn<bool>("inTree");    // typed while the folder tree is open
    QTest::addColumn<QString>("result"); // the folder shown after, or a part of the message
    QTest::newRow("full path") << "@/zeta" << false << "zeta/";
    QTest::newRow("full path, tree open") << "@/zeta" << true << "zeta/";
    QTest::newRow("home") << "~/Alpha/" << false << "Alpha/";
    QTest::newRow("missing") << "@/gone" << false << "does not exist";
    QTest::newRow("a file") << "b.txt" << false << "is not a folder";
}

void TestLocalView::typedFolder() {
    QFETCH(QString, typed);
    QFETCH(bool, inTree);
    QFETCH(QString, result);
    TTreeCombo combo;
    View_->SetTreeCombo(&combo);
    const QString before = View_->Folder();
    combo.show();
    QVERIFY(QTest::qWaitForWindowActive(&combo));
    combo.lineEdit()->selectAll(); // as a click or Tab into the box leaves it
    if (inTree) combo.showPopup();
    // From the tree, the first key moves the typing into the box.
    typed.replace(QLatin1Char('@'), Home_->path());
    QTest::keyClicks(inTree ? static_cast<QWidget*>(combo.TreeView()) : &combo, typed.left(1));
    QVERIFY(combo.hasFocus());
    QTest::keyClicks(&combo, typed.mid(1));
    QTest::keyClick(&combo, Qt::Key_Return);
    const bool moved = result.endsWith(QLatin1Char('/'));
    QCOMPARE(View_->Folder(), moved ? Path(result) : before);
    QCOMPARE(combo.currentText(), View_->Folder()); // the box names the folder shown
    QVERIFY(moved ? Questions_.Messages.isEmpty() : Questions_.Messages.value(0).contains(result));
}

void TestLocalView::typeAhead_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("current");
    // Shown in this order: Alpha, data, zeta (current), a.log, b.txt, C.txt.
    const char* const rows[][3] = {{"a letter", "a", "a.log"},
                                   {"a prefix", "al", "Alpha"},
                                   {"the letter again", "aa", "Alpha"},
                                   {"any case", "DA", "data"}};
    for (const int style : {TCustomView::vsList, TCustomView::vsReport})
        for (const auto& row : rows)
            QTest::addRow("%s: %s", style == TCustomView::vsList ? "list" : "details", row[0])
                << style << QString::fromLatin1(row[1]) << QString::fromLatin1(row[2]);
}

void TestLocalView::typeAhead() {
    QFETCH(int, style);
    QFETCH(QString, typed);
    QFETCH(QString, current);
    View_->SetViewStyle(TCustomView::TViewStyle(style));
    View_->show();
    QVERIFY(QTest::qWaitForWindowExposed(View_.get()));
    QTest::keyClicks(View_->ListView(), typed);
    QCOMPARE(View_->ListView()->currentIndex().data().toString(), current);
}

// Another program writes to a shown file (no name comes or goes) and adds one: the pane
// shows both by itself and keeps the user's selection.
void TestLocalView::noticesChangesOnDisk() {
    View_->SelectRows({View_->RowOfName(QStringLiteral("C.txt"))});
    {
        QFile file(Path(QStringLiteral("b.txt")));
        QVERIFY(file.open(QIODevice::Append));
        file.write("appended by another program");
    }
    QTRY_COMPARE(View_->ItemSize(View_->RowOfName(QStringLiteral("b.txt"))), qint64(5 + 27));
    QVERIFY(WriteFile(Path(QStringLiteral("new.txt")), "new"));
    QTRY_VERIFY(View_->RowOfName(QStringLiteral("new.txt")) >= 0);
    QCOMPARE(View_->SelectedRows(), QList<int>{View_->RowOfName(QStringLiteral("C.txt"))});
}

QTEST_MAIN(TestLocalView)
#include "tst_local_view.moc"
