#include "listview/ListItems.h"
#include "listview/modListViewEnh.h"

#include <QSignalSpy>
#include <QTest>

namespace {

void setUp(ListItems& items) {
    for (const char* h : {"Username", "Password", "Website/Location"}) items.addColumnHeader(h);
}

QStringList names(const ListItems& items) {
    QStringList out;
    for (qsizetype i = 1; i <= items.count(); ++i) out << items.text(i);
    return out;
}

}  // namespace

class tst_modListViewEnh : public QObject {
    Q_OBJECT
private slots:
    void emptyListChangesNothing() {
        ListItems items;
        setUp(items);
        QVERIFY(EnhListView_SortColumns(items, 1, false));
        QVERIFY(EnhListView_SortColumns(items, 2, false));
        QVERIFY(!items.sorted());
        QCOMPARE(items.sortOrder(), 0);
        items.add("a");
        items.add("b");
        QVERIFY(EnhListView_SortColumns(items, 1, false));
        QCOMPARE(names(items), (QStringList{"b", "a"}));  // still descending first
    }

    void directionFlipsOnEveryClick() {
        ListItems items;
        setUp(items);
        items.add("b", "1");
        items.add("c", "3");
        items.add("a", "2");
        QVERIFY(EnhListView_SortColumns(items, 1, false));
        QCOMPARE(names(items), (QStringList{"c", "b", "a"}));
        QCOMPARE(items.sortOrder(), 1);
        QVERIFY(EnhListView_SortColumns(items, 1, false));
        QCOMPARE(names(items), (QStringList{"a", "b", "c"}));
        QVERIFY(EnhListView_SortColumns(items, 2, false));
        QCOMPARE(items.sortKey(), 1);
        QCOMPARE(names(items), (QStringList{"c", "a", "b"}));  // descending by password
        QVERIFY(EnhListView_SortColumns(items, 3, false));
        QCOMPARE(items.sortKey(), 2);
        QCOMPARE(items.sortOrder(), 0);
    }

    void oneResortPerClick() {
        ListItems items;
        setUp(items);
        for (const char* n : {"b", "a", "c"}) items.add(n);
        QSignalSpy layouts(&items, &QAbstractItemModel::layoutChanged);
        QVERIFY(EnhListView_SortColumns(items, 2, false));
        QCOMPARE(layouts.count(), 1);
    }

    void badColumnIsCaughtAndReportedOnlyWhenAsked() {
        ListItems items;
        setUp(items);
        items.add("a");
        QStringList reports;
        const auto report = [&](const QString& text, const QString& title) { reports << text << title; };
        QVERIFY(!EnhListView_SortColumns(items, 9, false, report));
        QVERIFY(reports.isEmpty());
        QVERIFY(!EnhListView_SortColumns(items, 0, true, report));
        QCOMPARE(reports, (QStringList{"Error35600\tIndex out of bounds", "Error in Function : EnhListView_SortColumns"}));
    }
};

QTEST_APPLESS_MAIN(tst_modListViewEnh)
#include "tst_modListViewEnh.moc"
