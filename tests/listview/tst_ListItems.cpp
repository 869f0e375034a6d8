#include "listview/ListItems.h"

#include <QAbstractItemModelTester>
#include <QTest>

namespace {

QStringList column(const ListItems& items, int c) {
    QStringList out;
    for (qsizetype i = 1; i <= items.count(); ++i) out << (c == 0 ? items.text(i) : items.subItem(i, c));
    return out;
}

void fill(ListItems& items, const QStringList& names) {
    for (const QString& n : names) items.add(n, n + "-pw", n + "-loc");
}

}  // namespace

class tst_ListItems : public QObject {
    Q_OBJECT
private slots:
    void rowsAndSubItems() {
        ListItems items;
        QAbstractItemModelTester tester(&items, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(items.addColumnHeader("Username"), 1);
        QCOMPARE(items.addColumnHeader("Password"), 2);
        QCOMPARE(items.addColumnHeader("Website/Location"), 3);
        QCOMPARE(items.columnHeaderText(3), QStringLiteral("Website/Location"));
        QCOMPARE(items.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Username"));

        QCOMPARE(items.add("bob", "pw", "site"), qsizetype{1});
        QCOMPARE(items.add("al", "", ""), qsizetype{2});
        QCOMPARE(items.count(), qsizetype{2});
        QCOMPARE(items.subItem(1, 2), QStringLiteral("site"));
        items.setSubItem(2, 1, "secret");
        QCOMPARE(items.data(items.index(1, 1), Qt::DisplayRole).toString(), QStringLiteral("secret"));
        items.remove(1);
        QCOMPARE(column(items, 0), QStringList{"al"});
        items.remove(5);  // no such row: nothing happens
        QCOMPARE(items.count(), qsizetype{1});
    }

    void identitySurvivesSortAndRemoval() {
        ListItems items;
        items.addColumnHeader("U");
        fill(items, {"c", "a", "b"});
        const ListItems::RowId idOfA = items.rowId(2);
        items.setSorted(true);  // ascending by username
        QCOMPARE(column(items, 0), (QStringList{"a", "b", "c"}));
        QCOMPARE(items.positionOf(idOfA), qsizetype{1});
        items.remove(1);
        QCOMPARE(items.positionOf(idOfA), qsizetype{0});
    }

    void firstSelectedIsTheUpperOne() {
        ListItems items;
        items.addColumnHeader("U");
        fill(items, {"a", "b", "c", "d"});
        QCOMPARE(items.firstSelected(), qsizetype{0});
        items.setSelected(4, true);
        items.setSelected(2, true);
        QCOMPARE(items.firstSelected(), qsizetype{2});
        QVERIFY(items.selected(4));
        QVERIFY(!items.selected(3));
        items.setSelected(2, false);
        QCOMPARE(items.firstSelected(), qsizetype{4});
    }

    void selectionFollowsItsRowThroughASort() {
        ListItems items;
        QAbstractItemModelTester tester(&items, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const char* h : {"U", "P", "L"}) items.addColumnHeader(h);
        fill(items, {"d", "b", "a", "c"});
        items.setSelected(1, true);  // "d"
        items.setSortOrder(1);
        items.setSorted(true);  // descending
        QCOMPARE(column(items, 0), (QStringList{"d", "c", "b", "a"}));
        items.setSortOrder(0);
        QCOMPARE(column(items, 0), (QStringList{"a", "b", "c", "d"}));
        QCOMPARE(items.firstSelected(), qsizetype{4});
        QCOMPARE(items.text(items.firstSelected()), QStringLiteral("d"));
    }

    void sortsByTheKeyColumnCaseInsensitivelyAndStably() {
        ListItems items;
        for (const char* h : {"U", "P", "L"}) items.addColumnHeader(h);
        items.add("x1", "beta", "");
        items.add("x2", "Alpha", "");
        items.add("x3", "alpha", "");
        items.add("x4", "ALPHA", "");
        items.setSortKey(1);
        items.setSorted(true);
        QCOMPARE(column(items, 0), (QStringList{"x2", "x3", "x4", "x1"}));
        items.setSortOrder(1);
        // Equal keys keep the order they had.
        QCOMPARE(column(items, 0), (QStringList{"x1", "x2", "x3", "x4"}));
    }

    void addWhileSortedTakesItsPlace() {
        ListItems items;
        items.addColumnHeader("U");
        fill(items, {"b", "d"});
        QCOMPARE(items.add("c"), qsizetype{3});  // unsorted: at the end
        items.setSorted(true);
        QCOMPARE(items.add("a"), qsizetype{1});
        QCOMPARE(items.add("C"), qsizetype{4});  // after its equal
        QCOMPARE(column(items, 0), (QStringList{"a", "b", "c", "C", "d"}));
        items.setSortOrder(1);
        QCOMPARE(items.add("bb"), qsizetype{4});
        QCOMPARE(column(items, 0), (QStringList{"d", "c", "C", "bb", "b", "a"}));
    }

    void anyTextSurvivesSortAndEdit() {
        // Rows hold the vault's code page compactly and anything else as it is.
        ListItems items;
        for (const char* h : {"U", "P", "L"}) items.addColumnHeader(h);
        const QString wide = QStringLiteral("\u65e5\u672c");
        const QString euro = QStringLiteral("\u20ac\u0160\u00e9");
        items.add("b", euro, "");
        items.add(wide, "p", "l");
        items.add("A", "", euro + wide);
        QVERIFY(items.entry(1).isCodePage());
        QVERIFY(!items.entry(2).isCodePage());
        items.setSorted(true);
        QCOMPARE(column(items, 0), (QStringList{"A", "b", wide}));
        QCOMPARE(column(items, 1), (QStringList{"", euro, "p"}));
        QCOMPARE(column(items, 2), (QStringList{euro + wide, "", "l"}));
        items.setSubItem(3, 2, "plain");  // the wide row, now storable
        items.setText(2, wide);
        QCOMPARE(column(items, 0), (QStringList{"A", wide, wide}));
        QCOMPARE(items.data(items.index(1, 1), Qt::DisplayRole).toString(), euro);
        QCOMPARE(items.subItem(3, 2), QStringLiteral("plain"));
        items.setText(3, "z");
        QVERIFY(items.entry(3).isCodePage());
        QCOMPARE(items.field(3, 1), QStringLiteral("p"));
    }

    void appendManyKeepsOrderAndSelectionModel() {
        ListItems items;
        QAbstractItemModelTester tester(&items, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const char* h : {"U", "P", "L"}) items.addColumnHeader(h);
        std::vector<PackedEntry> rows;
        for (int i = 0; i < 1000; ++i) rows.emplace_back(QString::number(i), "p", "l");
        items.appendMany(std::move(rows));
        QCOMPARE(items.count(), qsizetype{1000});
        QCOMPARE(items.text(1000), QStringLiteral("999"));
        QCOMPARE(items.rowCount(), 1000);
        QCOMPARE(items.columnCount(), 3);
    }
};

QTEST_GUILESS_MAIN(tst_ListItems)
#include "tst_ListItems.moc"
