#include "listing/RemoteItem.h"
#include "views/PropertiesLogic.h"
#include "views/widgets/Properties.h"

#include <QCheckBox>
#include <QtTest>

Q_DECLARE_METATYPE(QList<TAttributeChange>)

namespace {
constexpr uint16_t rw_r__r__ = raOwnerRead | raOwnerWrite | raGroupRead | raOthersRead;
constexpr uint16_t rwxr_x___ =
    raOwnerRead | raOwnerWrite | raOwnerExecute | raGroupRead | raGroupExecute;

QList<TPropertiesItem> Items(const QList<uint16_t>& attributes) {
    QList<TPropertiesItem> items;
    for (uint16_t bits : attributes)
        items.append(
            {QStringLiteral("f%1").arg(items.size()), QStringLiteral("Text"), false, 10, 0, bits});
    return items;
}
} // namespace

class TestProperties : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changes_data();
    void changes();
    void unknownPermissionsNotEditable();
};

void TestProperties::changes_data() {
    QTest::addColumn<QList<uint16_t>>("attributes");
    QTest::addColumn<uint16_t>("checked"); // the boxes as the user leaves them
    QTest::addColumn<uint16_t>("partial");
    QTest::addColumn<QList<TAttributeChange>>("expected");

    const uint16_t common = rw_r__r__ & rwxr_x___;
    const uint16_t mixed = uint16_t((rw_r__r__ | rwxr_x___) & ~common);
    QTest::newRow("two modes, untouched: nothing sent")
        << QList<uint16_t>{rw_r__r__, rwxr_x___} << common << mixed << QList<TAttributeChange>{};
    QTest::newRow("two modes, everyone write set: each keeps its other bits")
        << QList<uint16_t>{rw_r__r__, rwxr_x___} << uint16_t(common | raOthersWrite) << mixed
        << QList<TAttributeChange>{{0, uint16_t(rw_r__r__ | raOthersWrite)},
                                   {1, uint16_t(rwxr_x___ | raOthersWrite)}};
    QTest::newRow("mixed box set: only the item without the bit changes")
        << QList<uint16_t>{rw_r__r__, rwxr_x___} << uint16_t(common | raOwnerExecute)
        << uint16_t(mixed & ~raOwnerExecute)
        << QList<TAttributeChange>{{0, uint16_t(rw_r__r__ | raOwnerExecute)}};
    QTest::newRow("mixed box cleared")
        << QList<uint16_t>{rw_r__r__, rwxr_x___} << common << uint16_t(mixed & ~raOthersRead)
        << QList<TAttributeChange>{{0, uint16_t(rw_r__r__ & ~raOthersRead)}};
    QTest::newRow("folder bit kept")
        << QList<uint16_t>{uint16_t(raFolder | rwxr_x___)} << uint16_t(rwxr_x___ & ~raGroupExecute)
        << uint16_t(0)
        << QList<TAttributeChange>{{0, uint16_t(raFolder | (rwxr_x___ & ~raGroupExecute))}};
}

void TestProperties::changes() {
    QFETCH(QList<uint16_t>, attributes);
    QFETCH(uint16_t, checked);
    QFETCH(uint16_t, partial);
    QFETCH(QList<TAttributeChange>, expected);
    const QList<TPropertiesItem> items = Items(attributes);
    const TPermissionBoxes initial = InitialPermissionBoxes(items);
    const uint16_t changed = ChangedPermissions(initial, {checked, partial});
    QCOMPARE(NewAttributes(items, changed, checked), expected);

    // The window starts from the same boxes and, with the user's states, sends the same.
    QList<TPropertiesRecord> records;
    for (const TPropertiesItem& item : items)
        records.append({item, QIcon()});
    TfrmProperties window(records, QStringLiteral("/pub/"), QLatin1Char('/'), true);
    const QList<QCheckBox*> boxes = window.findChildren<QCheckBox*>();
    QCOMPARE(boxes.size(), 9);
    for (QCheckBox* box : boxes) {
        const uint16_t bit = uint16_t(raOwnerRead << boxes.indexOf(box));
        QCOMPARE(box->checkState(), initial.Partial & bit   ? Qt::PartiallyChecked
                                    : initial.Checked & bit ? Qt::Checked
                                                            : Qt::Unchecked);
        box->setCheckState(partial & bit   ? Qt::PartiallyChecked
                           : checked & bit ? Qt::Checked
                                           : Qt::Unchecked);
    }
    window.accept();
    QCOMPARE(window.ChangedItems(), expected);
}

void TestProperties::unknownPermissionsNotEditable() {
    // A DOS listing gives no permission bits; a window that sent a mode built from
    // nothing would strip every permission on the server.
    QList<TPropertiesRecord> records;
    for (const TPropertiesItem& item : Items({0, rw_r__r__}))
        records.append({item, QIcon()});
    TfrmProperties window(records, QStringLiteral("/"), QLatin1Char('/'), true);
    QVERIFY(!window.Editable());
    for (QCheckBox* box : window.findChildren<QCheckBox*>())
        QVERIFY(!box->isEnabled());
    window.accept();
    QVERIFY(window.ChangedItems().isEmpty());
}

QTEST_MAIN(TestProperties)
#include "tst_properties.moc"
