#include "listview/ListView.h"

#include "forms/ControlType.h"
#include "forms/Twips.h"
#include "listview/ListItems.h"

#include <QAccessible>
#include <QHeaderView>
#include <QTimer>

ListView::ListView(QWidget* parent, ListItems* items) : QTreeView(parent), items_(items ? items : new ListItems(this)) {
    setControlType(this, QStringLiteral("ListView"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setModel(items_);
    QItemSelectionModel* own = selectionModel();
    setSelectionModel(items_->selectionModel());
    delete own;

    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) { emit ColumnClick(section + 1); });
    connect(items_, &ListItems::columnHeaderWidthChanged, this,
            [this](int index, int twips) { setColumnWidth(index - 1, Twips::toPixels(twips)); });
    for (auto signal : {&ListItems::rowsInserted, &ListItems::rowsRemoved})
        connect(items_, signal, this, &ListView::describeEmptiness);
    connect(items_, &ListItems::modelReset, this, &ListView::describeEmptiness);
}

void ListView::focusInEvent(QFocusEvent* event) {
    // A screen reader reads the description as the list gets the focus.
    describeEmptiness();
    QTreeView::focusInEvent(event);
    // The list says it has the focus after this; the entry follows, so that
    // it is what a screen reader reads last.
    QTimer::singleShot(0, this, &ListView::tellCurrentEntry);
}

void ListView::showEvent(QShowEvent* event) {
    QTreeView::showEvent(event);
    describeEmptiness();
}

void ListView::describeEmptiness() {
    const QString empty = emptyText();
    QString said = accessibleDescription();
    const bool marked = said.startsWith(empty);
    if (marked == (items_->count() == 0)) return;
    if (marked) said = said.mid(empty.size()).trimmed();
    else said = said.isEmpty() ? empty : empty + QLatin1Char(' ') + said;
    setAccessibleDescription(said);
}

void ListView::tellCurrentEntry() {
    const QModelIndex current = currentIndex();
    if (!hasFocus() || !current.isValid() || !QAccessible::isActive()) return;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* table = list ? list->tableInterface() : nullptr;
    QAccessibleInterface* cell = table ? table->cellAt(current.row(), current.column()) : nullptr;
    if (!cell) return;
    // As the list does itself when the current row moves.
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(list->indexOfChild(cell));
    QAccessible::updateAccessibility(&focus);
}
