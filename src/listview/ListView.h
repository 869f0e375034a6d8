#pragma once

#include <QTreeView>

class ListItems;

// The report-view list control over its rows: clickable column headers,
// full-row and multiple selection. The rows live in the model, so the control
// stays fast with any number of them.
class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent);

    ListItems& items() { return *items_; }
    const ListItems& items() const { return *items_; }

signals:
    // The 1-based index of the clicked column header.
    void ColumnClick(int columnHeaderIndex);

private:
    ListItems* items_;
};
