#pragma once

#include <QTreeView>

class ListItems;

// The report-view list control over its rows: clickable column headers,
// full-row and multiple selection. The rows live in the model, so the control
// stays fast with any number of them.
class ListView : public QTreeView {
    Q_OBJECT
public:
    // Shows items, which outlive the control; without, rows of its own.
    explicit ListView(QWidget* parent, ListItems* items = nullptr);

    ListItems& items() { return *items_; }
    const ListItems& items() const { return *items_; }

    // Put before the list's description for screen readers while it has no rows.
    static QString emptyText() { return QStringLiteral("The list is empty."); }

signals:
    // The 1-based index of the clicked column header.
    void ColumnClick(int columnHeaderIndex);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void describeEmptiness();
    void tellCurrentEntry();

    ListItems* items_;
};
