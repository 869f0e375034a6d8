#include "listview/modListViewEnh.h"

#include "listview/ListItems.h"

namespace {

struct SortError {
    int number;
    QString description;
};

}  // namespace

bool EnhListView_SortColumns(ListItems& list, int column, bool showErrors, const SortErrorReporter& report) {
    try {
        if (list.count() == 0) return true;
        // One re-sort for the whole change, not one per property.
        const ListItems::SortBatch batch(list);
        if (!list.sorted()) list.setSorted(true);
        if (column < 1 || column > list.columnHeaderCount()) throw SortError{35600, QStringLiteral("Index out of bounds")};
        list.setSortKey(column - 1);
        list.setSortOrder(list.sortOrder() == 0 ? 1 : 0);
        return true;
    } catch (const SortError& e) {
        if (showErrors && report) {
            report(QStringLiteral("Error") + QString::number(e.number) + QLatin1Char('\t') + e.description,
                   QStringLiteral("Error in Function : EnhListView_SortColumns"));
        }
        return false;
    }
}
