#include "listview/ListItems.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>

ListItems::ListItems(QObject* parent) : QAbstractTableModel(parent), selection_(this) {
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    collator_.setNumericMode(false);
}

qsizetype ListItems::positionOf(RowId id) const {
    for (qsizetype i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id) return i + 1;
    return 0;
}

int ListItems::compareKeys(QStringView a, QStringView b) const { return collator_.compare(a, b); }

qsizetype ListItems::sortedInsertPlace(QStringView key) const {
    const int k = sortKey_;
    const bool descending = sortOrder_ != 0;
    // After every row that sorts equal, so equal keys keep the order they came in.
    auto it = std::upper_bound(rows_.begin(), rows_.end(), key, [&](QStringView value, const Row& r) {
        const int c = compareKeys(value, r.cells.field(k));
        return descending ? c > 0 : c < 0;
    });
    return static_cast<qsizetype>(it - rows_.begin());
}

qsizetype ListItems::add(const QString& text, const QString& sub1, const QString& sub2) {
    Row r{nextId_++, PackedEntry(text, sub1, sub2)};
    const qsizetype at = sorted_ ? sortedInsertPlace(r.cells.field(sortKey_)) : count();
    beginInsertRows({}, static_cast<int>(at), static_cast<int>(at));
    rows_.insert(at, std::move(r));
    endInsertRows();
    return at + 1;
}

qsizetype ListItems::insert(qsizetype position, PackedEntry cells) {
    Row r{nextId_++, std::move(cells)};
    const qsizetype at =
        sorted_ ? sortedInsertPlace(r.cells.field(sortKey_)) : std::clamp<qsizetype>(position - 1, 0, count());
    beginInsertRows({}, static_cast<int>(at), static_cast<int>(at));
    rows_.insert(at, std::move(r));
    endInsertRows();
    return at + 1;
}

void ListItems::appendMany(std::vector<PackedEntry>&& cells) {
    if (cells.empty()) return;
    const qsizetype first = count();
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + static_cast<qsizetype>(cells.size()) - 1));
    // Exactly what a load needs; a few rows more for a list that has some.
    const qsizetype needed = rows_.size() + static_cast<qsizetype>(cells.size());
    if (rows_.capacity() < needed) rows_.reserve(first == 0 ? needed : std::max(needed, first + first / 8));
    for (auto& c : cells) rows_.push_back(Row{nextId_++, std::move(c)});
    endInsertRows();
    if (sorted_) resortSoon();
}

void ListItems::remove(qsizetype position) {
    if (position < 1 || position > count()) return;
    beginRemoveRows({}, static_cast<int>(position - 1), static_cast<int>(position - 1));
    rows_.removeAt(position - 1);
    endRemoveRows();
}

void ListItems::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ListItems::replaceAll(const EntrySource& source) {
    QSet<RowId> selectedIds;
    for (const QModelIndex& i : selection_.selectedRows()) selectedIds.insert(rows_.at(i.row()).id);
    const RowId currentId = selection_.currentIndex().isValid() ? rows_.at(selection_.currentIndex().row()).id : 0;

    // Most of a new version is the old one in the same order: walk both, a
    // few rows of slack for an edit, an insertion or a removal. A row found
    // again is kept as it is, not built anew.
    constexpr qsizetype kSlack = 8;
    const qsizetype oldCount = rows_.size();
    const qsizetype newCount = source.count();
    std::vector<bool> taken(static_cast<size_t>(oldCount), false);
    QList<Row> next(newCount);
    std::vector<qsizetype> unresolved;
    qsizetype at = 0;
    for (qsizetype j = 0; j < newCount; ++j) {
        bool found = false;
        for (qsizetype k = at; k < std::min(oldCount, at + kSlack) && !found; ++k) {
            if (taken[static_cast<size_t>(k)] || !source.holds(j, rows_[k].cells)) continue;
            taken[static_cast<size_t>(k)] = true;
            next[j] = std::move(rows_[k]);
            at = k + 1;
            found = true;
        }
        if (!found) unresolved.push_back(j);
    }
    // The rest (moved rows, a reordered file) by the hash of their texts,
    // equal rows matched in order.
    if (!unresolved.empty()) {
        std::vector<std::pair<size_t, qsizetype>> left;
        for (qsizetype k = 0; k < oldCount; ++k)
            if (!taken[static_cast<size_t>(k)]) left.emplace_back(rows_[k].cells.hash(), k);
        std::sort(left.begin(), left.end());
        for (const qsizetype j : unresolved) {
            Row& fresh = next[j];
            fresh.cells = source.make(j);
            const size_t h = fresh.cells.hash();
            auto it = std::lower_bound(left.begin(), left.end(), std::pair<size_t, qsizetype>(h, 0));
            for (; it != left.end() && it->first == h && fresh.id == 0; ++it) {
                const auto k = static_cast<size_t>(it->second);
                if (taken[k] || !(rows_[it->second].cells == fresh.cells)) continue;
                taken[k] = true;
                fresh.id = rows_[it->second].id;
            }
            if (fresh.id == 0) fresh.id = nextId_++;
        }
    }

    beginResetModel();
    rows_ = std::move(next);
    endResetModel();
    if (sorted_) resort();
    if (selectedIds.isEmpty() && currentId == 0) return;
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        const QModelIndex place = index(static_cast<int>(i), 0);
        if (rows_[i].id == currentId) selection_.setCurrentIndex(place, QItemSelectionModel::NoUpdate);
        if (selectedIds.contains(rows_[i].id))
            selection_.select(place, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void ListItems::setCell(qsizetype position, int column, const QString& value) {
    Row& r = rows_[position - 1];
    QString f[3] = {r.cells.field(0), r.cells.field(1), r.cells.field(2)};
    f[column] = value;
    r.cells = PackedEntry(f[0], f[1], f[2]);
    const QModelIndex i = index(static_cast<int>(position - 1), column);
    emit dataChanged(i, i);
}

bool ListItems::selected(qsizetype position) const {
    return selection_.isRowSelected(static_cast<int>(position - 1), {});
}

void ListItems::setSelected(qsizetype position, bool on) {
    const QModelIndex i = index(static_cast<int>(position - 1), 0);
    selection_.select(i,
                      (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

qsizetype ListItems::firstSelected() const {
    // The same answer as scanning from the top, without visiting every row.
    int best = -1;
    for (const QItemSelectionRange& range : selection_.selection()) {
        if (range.isValid() && (best < 0 || range.top() < best)) best = range.top();
    }
    return best < 0 ? 0 : best + 1;
}

int ListItems::addColumnHeader(const QString& text) {
    const int at = columnHeaderCount();
    beginInsertColumns({}, at, at);
    headers_.push_back({text, 0});
    endInsertColumns();
    emit columnHeadersChanged();
    return at + 1;
}

void ListItems::setColumnHeaderWidth(int index, int twips) {
    headers_.at(static_cast<size_t>(index - 1)).widthTwips = twips;
    emit columnHeaderWidthChanged(index, twips);
}

void ListItems::setSorted(bool on) {
    if (sorted_ == on) return;
    sorted_ = on;
    if (sorted_) resortSoon();
}

void ListItems::setSortKey(int key) {
    sortKey_ = std::clamp(key, 0, kColumns - 1);
    if (sorted_) resortSoon();
}

void ListItems::setSortOrder(int order) {
    sortOrder_ = order;
    if (sorted_) resortSoon();
}

void ListItems::resortSoon() {
    if (batchDepth_ > 0) {
        resortPending_ = true;
    } else {
        resort();
    }
}

void ListItems::resort() {
    resortPending_ = false;
    const int k = sortKey_;
    const bool descending = sortOrder_ != 0;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<RowId> persistentIds;
    persistentIds.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& i : before) persistentIds.push_back(rows_.at(i.row()).id);

    // Sort compact copies of the keys: comparing the rows in place keeps missing the cache.
    const qsizetype n = rows_.size();
    qsizetype total = 0;
    for (const Row& r : rows_) total += r.cells.fieldSize(k);
    QString keys(total, Qt::Uninitialized);
    struct Key {
        QStringView text;
        qsizetype row;
    };
    std::vector<Key> order(static_cast<size_t>(n));
    std::vector<qsizetype> starts(static_cast<size_t>(n));
    qsizetype filled = 0;
    for (qsizetype i = 0; i < n; ++i) {
        starts[static_cast<size_t>(i)] = filled;
        rows_[i].cells.copyField(k, keys.data() + filled);
        filled += rows_[i].cells.fieldSize(k);
    }
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype begin = starts[static_cast<size_t>(i)];
        const qsizetype end = i + 1 < n ? starts[static_cast<size_t>(i + 1)] : keys.size();
        order[static_cast<size_t>(i)] = {QStringView(keys).sliced(begin, end - begin), i};
    }
    std::stable_sort(order.begin(), order.end(), [&](const Key& a, const Key& b) {
        const int c = compareKeys(a.text, b.text);
        return descending ? c > 0 : c < 0;
    });
    QList<Row> sortedRows;
    sortedRows.reserve(n);
    for (const Key& key : order) sortedRows.push_back(std::move(rows_[key.row]));
    rows_.swap(sortedRows);

    if (!before.isEmpty()) {
        QHash<RowId, int> newRow;
        newRow.reserve(n);
        for (qsizetype i = 0; i < n; ++i) newRow.insert(rows_[i].id, static_cast<int>(i));
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i)
            after.push_back(index(newRow.value(persistentIds[static_cast<size_t>(i)]), before[i].column()));
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ListItems::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListItems::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnHeaderCount(); }

QVariant ListItems::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return rows_[index.row()].cells.field(index.column());
    return {};
}

QVariant ListItems::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= columnHeaderCount()) return {};
    return headers_[static_cast<size_t>(section)].text;
}
