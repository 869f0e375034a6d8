#pragma once

#include "platform/Platform.h"

#include <functional>

class ListItems;

// Shows a caught sorting error to the user, in the box the routine describes.
using SortErrorReporter = std::function<void(const MessageBoxRequest& box)>;

// Sorts a list by the column header with the given 1-based index, reversing
// the one direction of the whole list on every call. An empty list is left
// alone. No error escapes, whatever its kind: each gives false, and is shown
// through report only when showErrors is true.
bool EnhListView_SortColumns(ListItems& list, int column, bool showErrors, const SortErrorReporter& report = {});
