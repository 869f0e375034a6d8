#include "listview/ListItems.h"
#include "listview/modListViewEnh.h"

#include <QSignalSpy>
#include <QTest>

#include <new>
#include <stdexcept>

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

    // One re-sort a click, whether the list was sorted before or not.
    void oneResortPerClick() {
        ListItems items;
        setUp(items);
        for (const char* n : {"b", "a", "c"}) items.add(n, n);
        QSignalSpy layouts(&items, &QAbstractItemModel::layoutChanged);
        QVERIFY(EnhListView_SortColumns(items, 2, false));
        QCOMPARE(layouts.count(), 1);
        QVERIFY(EnhListView_SortColumns(items, 1, false));
        QCOMPARE(layouts.count(), 2);
        QCOMPARE(names(items), (QStringList{"a", "b", "c"}));
    }

    void badColumnIsCaughtAndReportedOnlyWhenAsked() {
        ListItems items;
        setUp(items);
        items.add("a");
        QList<MessageBoxRequest> reports;
        const auto report = [&](const MessageBoxRequest& box) { reports << box; };
        QVERIFY(!EnhListView_SortColumns(items, 9, false, report));
        QVERIFY(reports.isEmpty());
        QVERIFY(!EnhListView_SortColumns(items, 0, true, report));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].text, QStringLiteral("Error35600\tIndex out of bounds"));
        QCOMPARE(reports[0].caption, QStringLiteral("Error in Function : EnhListView_SortColumns"));
        QCOMPARE(reports[0].buttons, MsgButtons::Ok);
        QCOMPARE(reports[0].icon, MsgIcon::Information);
    }

    // Whatever the sort itself throws turns into false, never into an escape.
    void everyErrorInTheSortIsCaught_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("out of memory") << 0 << "Error7\tOut of memory";
        QTest::newRow("std::exception") << 1 << "Error51\tkey table broken";
        QTest::newRow("anything") << 2 << "Error51\tInternal error";
    }
    void everyErrorInTheSortIsCaught() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        ListItems items;
        setUp(items);
        for (const char* n : {"b", "c", "a"}) items.add(n);
        QList<MessageBoxRequest> reports;
        const auto report = [&](const MessageBoxRequest& box) { reports << box; };
        // The re-sort announces itself before it moves a row; a failure there
        // stands in for one anywhere in the sort.
        auto fail = QObject::connect(&items, &QAbstractItemModel::layoutAboutToBeChanged, [kind] {
            if (kind == 0) throw std::bad_alloc();
            if (kind == 1) throw std::runtime_error("key table broken");
            throw 42;
        });
        bool result = true;
        try {
            result = EnhListView_SortColumns(items, 1, false, report);
        } catch (...) {
            QFAIL("an error escaped from the sort");
        }
        QVERIFY(!result);
        QVERIFY(reports.isEmpty());  // not asked to show it
        QVERIFY(items.sorted());     // already a sorted list, whatever happened
        // Already sorted, the next one fails in the sort too, and is shown when asked.
        QVERIFY(!EnhListView_SortColumns(items, 1, true, report));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports[0].text, text);  // in a box as for a bad column (above)
        // Once the trouble is gone the list sorts again.
        QObject::disconnect(fail);
        QVERIFY(EnhListView_SortColumns(items, 1, true, report));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(names(items), (QStringList{"c", "b", "a"}));  // the third click: descending
    }
};

QTEST_APPLESS_MAIN(tst_modListViewEnh)
#include "tst_modListViewEnh.moc"
