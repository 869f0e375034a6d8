#pragma once

#include <QString>

#include <functional>

class ListItems;

// Shows a caught sorting error to the user: text and title.
using SortErrorReporter = std::function<void(const QString& text, const QString& title)>;

// Sorts a list by the column header with the given 1-based index, reversing
// the one direction of the whole list on every call. An empty list is left
// alone. Errors never escape: they give false, and are shown through report
// only when showErrors is true.
bool EnhListView_SortColumns(ListItems& list, int column, bool showErrors, const SortErrorReporter& report = {});
