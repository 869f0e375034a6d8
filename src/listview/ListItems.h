#pragma once

#include "entry/EntrySource.h"
#include "entry/PackedEntry.h"

#include <QAbstractTableModel>
#include <QCollator>
#include <QItemSelectionModel>
#include <QString>

#include <array>
#include <vector>

// One row of the list: its identity and its three texts.
struct ListRow {
    quint64 id = 0;
    PackedEntry cells;
};
// Rows shift with a plain memory move when one is inserted or removed.
Q_DECLARE_TYPEINFO(ListRow, Q_RELOCATABLE_TYPE);

// The rows and column headers of a report-view list: each row has its text
// and sub-items 1 and 2, and a stable identity that survives sorts and
// removals. Positions are 1-based, as the commands address rows.
class ListItems : public QAbstractTableModel {
    Q_OBJECT
public:
    using RowId = quint64;
    static constexpr int kColumns = 3;

    explicit ListItems(QObject* parent = nullptr);

    // --- rows ---
    qsizetype count() const { return rows_.size(); }
    QString text(qsizetype position) const { return field(position, 0); }
    QString subItem(qsizetype position, int index) const { return field(position, index); }
    // Column 0 is the row's text, 1 and 2 its sub-items.
    QString field(qsizetype position, int column) const { return row(position).cells.field(column); }
    // The row's three texts as stored; valid until the row changes.
    const PackedEntry& entry(qsizetype position) const { return row(position).cells; }
    void setText(qsizetype position, const QString& value) { setCell(position, 0, value); }
    void setSubItem(qsizetype position, int index, const QString& value) { setCell(position, index, value); }
    RowId rowId(qsizetype position) const { return row(position).id; }
    // 0 when the row is gone.
    qsizetype positionOf(RowId id) const;

    // Adds a row at the end, or at its sorted place while the list is sorted.
    // Returns its position.
    qsizetype add(const QString& text, const QString& sub1 = {}, const QString& sub2 = {});
    // Inserts a row at position (count() + 1 appends), or at its sorted place
    // while the list is sorted. Returns its position.
    qsizetype insert(qsizetype position, PackedEntry cells);
    // Appends many rows at once, in order; a sorted list then re-sorts once.
    void appendMany(std::vector<PackedEntry>&& rows);
    void remove(qsizetype position);
    void clear();
    // Puts these entries, in this order, in place of all rows, then sorts as
    // the list is sorted. A row whose three texts come again keeps its
    // identity (equal rows are matched in order), and stays selected if it was.
    void replaceAll(const EntrySource& entries);

    // --- selection ---
    QItemSelectionModel* selectionModel() { return &selection_; }
    bool selected(qsizetype position) const;
    void setSelected(qsizetype position, bool on);
    // The first selected row from the top, 0 when none is.
    qsizetype firstSelected() const;

    // --- column headers ---
    int addColumnHeader(const QString& text);  // returns its 1-based index
    int columnHeaderCount() const { return static_cast<int>(headers_.size()); }
    QString columnHeaderText(int index) const { return headers_.at(static_cast<size_t>(index - 1)).text; }
    int columnHeaderWidth(int index) const { return headers_.at(static_cast<size_t>(index - 1)).widthTwips; }
    void setColumnHeaderWidth(int index, int twips);

    // --- sorting: a change re-sorts the rows by the key column's text ---
    bool sorted() const { return sorted_; }
    void setSorted(bool on);
    int sortKey() const { return sortKey_; }
    void setSortKey(int key);
    int sortOrder() const { return sortOrder_; }
    void setSortOrder(int order);
    // Case-insensitive, locale-aware; equal keys keep their order.
    int compareKeys(QStringView a, QStringView b) const;

    // Holds back re-sorting while several sort properties change, then sorts once.
    class SortBatch {
    public:
        explicit SortBatch(ListItems& list) : list_(list) { ++list_.batchDepth_; }
        ~SortBatch() {
            if (--list_.batchDepth_ == 0 && list_.resortPending_) list_.resort();
        }
        SortBatch(const SortBatch&) = delete;
        SortBatch& operator=(const SortBatch&) = delete;

    private:
        ListItems& list_;
    };

    // --- QAbstractTableModel ---
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void columnHeaderWidthChanged(int index, int twips);
    void columnHeadersChanged();

private:
    using Row = ListRow;
    struct Header {
        QString text;
        int widthTwips = 0;
    };

    const Row& row(qsizetype position) const { return rows_.at(position - 1); }
    void setCell(qsizetype position, int column, const QString& value);
    void resort();
    void resortSoon();
    qsizetype sortedInsertPlace(QStringView key) const;

    QList<Row> rows_;
    std::vector<Header> headers_;
    QItemSelectionModel selection_;
    QCollator collator_;
    RowId nextId_ = 1;
    bool sorted_ = false;
    int sortKey_ = 0;
    int sortOrder_ = 0;
    int batchDepth_ = 0;
    bool resortPending_ = false;
};
