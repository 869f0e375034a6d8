#include "listview/ListView.h"

#include "forms/ControlType.h"
#include "forms/Twips.h"
#include "listview/ListItems.h"

#include <QHeaderView>

ListView::ListView(QWidget* parent) : QTreeView(parent), items_(new ListItems(this)) {
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
}
