#include "listview/modListViewEnh.h"

#include "listview/ListItems.h"

#include <exception>
#include <new>

namespace {

struct SortError {
    int number;
    QString description;
};

void sortColumns(ListItems& list, int column) {
    if (list.count() == 0) return;
    const bool wasSorted = list.sorted();
    if (column < 1 || column > list.columnHeaderCount()) {
        if (!wasSorted) list.setSorted(true);
        throw SortError{35600, QStringLiteral("Index out of bounds")};
    }
    const int order = list.sortOrder() == 0 ? 1 : 0;
    // Key and direction change while the list is unsorted, so that it re-sorts
    // once, when switched back on, and inside this call rather than in a
    // destructor, where a failure could not be caught.
    list.setSorted(false);
    list.setSortKey(column - 1);
    list.setSortOrder(order);
    list.setSorted(true);
}

}  // namespace

bool EnhListView_SortColumns(ListItems& list, int column, bool showErrors, const SortErrorReporter& report) {
    SortError error{0, {}};
    try {
        sortColumns(list, column);
        return true;
    } catch (const SortError& e) {
        error = e;
    } catch (const std::bad_alloc&) {
        error = {7, QStringLiteral("Out of memory")};
    } catch (const std::exception& e) {
        const QString what = QString::fromLocal8Bit(e.what());
        error = {51, what.isEmpty() ? QStringLiteral("Internal error") : what};
    } catch (...) {
        error = {51, QStringLiteral("Internal error")};
    }
    if (showErrors && report) {
        MessageBoxRequest box;
        box.text = QStringLiteral("Error") + QString::number(error.number) + QLatin1Char('\t') + error.description;
        box.caption = QStringLiteral("Error in Function : EnhListView_SortColumns");
        box.buttons = MsgButtons::Ok;
        box.defaultButton = MsgResult::Ok;
        box.icon = MsgIcon::Information;
        report(box);
    }
    return false;
}
