// Sorting a large list on a column header click, and adding rows to a sorted
// list, each timed beside std::stable_sort of the same keys with the list's
// own comparison. After the run the program prints the ratios and exits
// non-zero when a step misses its goal or fails.

#include "listview/ListItems.h"
#include "listview/modListViewEnh.h"

#include <QHash>
#include <QLocale>
#include <QSet>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr qsizetype kRows = 100000;
constexpr qsizetype kBatch = 1000;  // rows added per timed iteration
constexpr double kSortGoal = 1.5;
// A sorted add exists so the list need not be re-sorted: it must cost a small
// fraction of one sort.
constexpr double kAddVsSortGoal = 0.01;
constexpr double kAddGoal = 1.5;

// The same name typed with other capitals: equal for the list's comparison,
// so it exercises the order of equal keys.
QString recased(Random& rng, QString s) {
    for (QChar& c : s)
        if (rng.chancePercent(50)) c = c.isUpper() ? c.toLower() : c.toUpper();
    return s;
}

// users holds every username made so far; some new ones repeat one of them.
std::vector<Entry> makeEntries(Random& rng, qsizetype count, std::vector<QString>& users) {
    const QString user = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-");
    // Printable ASCII without "|", plus a few Windows-1252 letters people do type.
    QString pass;
    for (char16_t c = 33; c < 127; ++c)
        if (c != u'|') pass.append(QChar(c));
    pass.append(QStringLiteral("\u00E9\u00FC\u00DF\u20AC\u00A3"));

    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        Entry e;
        const int kind = static_cast<int>(rng.drawBetween(0, 99));
        if (!users.empty() && kind < 6) {
            e.username = users[static_cast<size_t>(rng.drawBetween(0, static_cast<qsizetype>(users.size()) - 1))];
        } else if (!users.empty() && kind < 10) {
            e.username =
                recased(rng, users[static_cast<size_t>(rng.drawBetween(0, static_cast<qsizetype>(users.size()) - 1))]);
        } else {
            e.username = randomText(rng, 8, 20, user);
        }
        users.push_back(e.username);
        e.password = randomText(rng, 10, 24, pass);
        if (!rng.chancePercent(10))
            e.location = QStringLiteral("https://www.example-%1.com/login").arg(rng.drawBetween(1, kRows));
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<PackedEntry> pack(const std::vector<Entry>& entries) {
    std::vector<PackedEntry> rows;
    rows.reserve(entries.size());
    for (const Entry& e : entries) rows.emplace_back(e.username, e.password, e.location);
    return rows;
}

[[noreturn]] void die(const QString& why) {
    std::fprintf(stderr, "tressik_bench_sort: %s\n", qPrintable(why));
    std::exit(2);
}

void fail(benchmark::State& state, const QString& why) { state.SkipWithError(why.toStdString().c_str()); }

// A list as the main window holds one: three column headers, filled at once.
std::unique_ptr<ListItems> makeList(const std::vector<PackedEntry>& rows) {
    auto items = std::make_unique<ListItems>();
    items->addColumnHeader(QStringLiteral("Username"));
    items->addColumnHeader(QStringLiteral("Password"));
    items->addColumnHeader(QStringLiteral("Location"));
    items->appendMany(std::vector<PackedEntry>(rows));
    return items;
}

// A first click sorts descending.
bool descendingBefore(const ListItems& order, QStringView a, QStringView b) { return order.compareKeys(a, b) > 0; }

struct Data {
    std::unique_ptr<ListItems> order;                            // its compareKeys is the baselines' comparison
    std::vector<PackedEntry> rows;                               // unsorted, as loaded
    std::array<std::vector<QString>, ListItems::kColumns> keys;  // each column of rows
    std::vector<PackedEntry> rowsByUser;                         // rows sorted descending by username
    std::vector<QString> sortedUsers;                            // their usernames
    std::vector<Entry> added;                                    // the rows a sorted add brings
};

std::shared_ptr<const Data> makeData() {
    auto d = std::make_shared<Data>();
    d->order = std::make_unique<ListItems>();
    Random rng(0x534F52544245ull);
    std::vector<QString> users;
    const std::vector<Entry> entries = makeEntries(rng, kRows, users);
    d->added = makeEntries(rng, kBatch, users);
    d->rows = pack(entries);
    for (int c = 0; c < ListItems::kColumns; ++c) {
        auto& k = d->keys[static_cast<size_t>(c)];
        k.reserve(entries.size());
        for (const PackedEntry& r : d->rows) k.push_back(r.field(c));
    }

    std::vector<size_t> byUser(entries.size());
    for (size_t i = 0; i < byUser.size(); ++i) byUser[i] = i;
    std::stable_sort(byUser.begin(), byUser.end(),
                     [&](size_t a, size_t b) { return descendingBefore(*d->order, d->keys[0][a], d->keys[0][b]); });
    for (size_t i : byUser) {
        d->rowsByUser.push_back(d->rows[i]);
        d->sortedUsers.push_back(d->keys[0][i]);
    }

    // A column the list would see as all equal, or already in order, would flatter the sort.
    for (int c = 0; c < ListItems::kColumns; ++c) {
        const auto& k = d->keys[static_cast<size_t>(c)];
        qsizetype inversions = 0;
        for (size_t i = 1; i < k.size(); ++i) inversions += d->order->compareKeys(k[i - 1], k[i]) < 0;
        if (inversions < kRows / 4 || inversions > kRows * 3 / 4)
            die(QStringLiteral("column %1 of the generated rows is nearly in order").arg(c));
    }
    // Without equal usernames the order of equal keys would go unchecked.
    qsizetype equal = 0;
    for (size_t i = 1; i < d->sortedUsers.size(); ++i)
        equal += d->order->compareKeys(d->sortedUsers[i - 1], d->sortedUsers[i]) == 0;
    if (equal < kRows / 20) die(QStringLiteral("too few equal usernames: %1").arg(equal));
    return d;
}

// Where a row should be: its rank among rows with an equal key, and its text.
struct Expected {
    qsizetype rank;
    std::array<QString, ListItems::kColumns> cells;
};
using ExpectedRows = QHash<ListItems::RowId, Expected>;

void expect(ExpectedRows& rows, ListItems::RowId id, qsizetype rank, const PackedEntry& cells) {
    rows.insert(id, Expected{rank, {cells.field(0), cells.field(1), cells.field(2)}});
}
void expect(ExpectedRows& rows, ListItems::RowId id, qsizetype rank, const Entry& cells) {
    rows.insert(id, Expected{rank, {cells.username, cells.password, cells.location}});
}

// Empty when the list holds exactly the expected rows, each once and
// unchanged, sorted descending by column k, equal keys in rank order.
QString checkList(const ListItems& items, int k, const ExpectedRows& expected) {
    if (!items.sorted() || items.sortKey() != k || items.sortOrder() != 1)
        return QStringLiteral("the list is not marked sorted descending by column %1").arg(k);
    if (items.count() != expected.size())
        return QStringLiteral("%1 rows instead of %2").arg(items.count()).arg(expected.size());
    QSet<ListItems::RowId> seen;
    seen.reserve(items.count());
    qsizetype previousRank = -1;
    for (qsizetype p = 1; p <= items.count(); ++p) {
        const auto it = expected.constFind(items.rowId(p));
        if (it == expected.cend() || seen.contains(it.key()))
            return QStringLiteral("row %1 is unknown or doubled").arg(p);
        seen.insert(it.key());
        for (int c = 0; c < ListItems::kColumns; ++c)
            if (items.field(p, c) != it->cells[static_cast<size_t>(c)])
                return QStringLiteral("row %1 changed its text").arg(p);
        if (p > 1) {
            const int cmp = items.compareKeys(items.field(p - 1, k), items.field(p, k));
            if (cmp < 0 || (cmp == 0 && previousRank > it->rank))
                return QStringLiteral("rows %1 and %2 are out of order").arg(p - 1).arg(p);
        }
        previousRank = it->rank;
    }
    return {};
}

QString checkKeys(const ListItems& order, const std::vector<QString>& keys, qsizetype count) {
    if (static_cast<qsizetype>(keys.size()) != count)
        return QStringLiteral("%1 keys instead of %2").arg(keys.size()).arg(count);
    for (size_t i = 1; i < keys.size(); ++i)
        if (descendingBefore(order, keys[i], keys[i - 1]))
            return QStringLiteral("keys %1 and %2 are out of order").arg(i - 1).arg(i);
    return {};
}

std::vector<ListItems::RowId> rowIds(const ListItems& items) {
    std::vector<ListItems::RowId> ids;
    ids.reserve(static_cast<size_t>(items.count()));
    for (qsizetype p = 1; p <= items.count(); ++p) ids.push_back(items.rowId(p));
    return ids;
}

// One column header click on a freshly loaded list.
void sortList(benchmark::State& state, const Data& d, int column) {
    std::unique_ptr<ListItems> items;
    std::vector<ListItems::RowId> loaded;
    for (auto _ : state) {
        state.PauseTiming();
        items.reset();
        items = makeList(d.rows);
        loaded = rowIds(*items);
        state.ResumeTiming();

        if (!EnhListView_SortColumns(*items, column + 1, false))
            return fail(state, QStringLiteral("EnhListView_SortColumns gave false"));
    }
    ExpectedRows expected;
    expected.reserve(kRows);
    for (size_t i = 0; i < loaded.size(); ++i) expect(expected, loaded[i], static_cast<qsizetype>(i), d.rows[i]);
    if (const QString why = checkList(*items, column, expected); !why.isEmpty()) fail(state, why);
}

void stableSortBaseline(benchmark::State& state, const Data& d, int column) {
    const ListItems& order = *d.order;
    std::vector<QString> keys;
    for (auto _ : state) {
        state.PauseTiming();
        keys = d.keys[static_cast<size_t>(column)];
        state.ResumeTiming();

        std::stable_sort(keys.begin(), keys.end(),
                         [&](const QString& a, const QString& b) { return descendingBefore(order, a, b); });
    }
    if (const QString why = checkKeys(order, keys, kRows); !why.isEmpty()) fail(state, why);
}

// kBatch rows added one by one to a list sorted by username.
void addSorted(benchmark::State& state, const Data& d) {
    std::unique_ptr<ListItems> items;
    std::vector<ListItems::RowId> before;
    std::vector<ListItems::RowId> added(static_cast<size_t>(kBatch));
    for (auto _ : state) {
        state.PauseTiming();
        items.reset();
        items = makeList(d.rowsByUser);
        if (!EnhListView_SortColumns(*items, 1, false))
            return fail(state, QStringLiteral("EnhListView_SortColumns gave false"));
        before = rowIds(*items);
        state.ResumeTiming();

        for (size_t i = 0; i < d.added.size(); ++i) {
            const Entry& e = d.added[i];
            added[i] = items->rowId(items->add(e.username, e.password, e.location));
        }
    }
    ExpectedRows expected;
    expected.reserve(kRows + kBatch);
    for (size_t i = 0; i < before.size(); ++i) expect(expected, before[i], static_cast<qsizetype>(i), d.rowsByUser[i]);
    for (size_t i = 0; i < added.size(); ++i) expect(expected, added[i], kRows + static_cast<qsizetype>(i), d.added[i]);
    if (const QString why = checkList(*items, 0, expected); !why.isEmpty()) fail(state, why);
}

// The same kBatch keys placed by binary search into a plain sorted vector.
void upperBoundInsertBaseline(benchmark::State& state, const Data& d) {
    const ListItems& order = *d.order;
    std::vector<QString> keys;
    for (auto _ : state) {
        state.PauseTiming();
        keys = std::vector<QString>(d.sortedUsers);  // no spare capacity, as a freshly loaded list
        state.ResumeTiming();

        for (const Entry& e : d.added) {
            const auto at =
                std::upper_bound(keys.begin(), keys.end(), e.username,
                                 [&](const QString& v, const QString& k) { return descendingBefore(order, v, k); });
            keys.insert(at, e.username);
        }
    }
    if (const QString why = checkKeys(order, keys, kRows + kBatch); !why.isEmpty()) fail(state, why);
}

std::string name(const std::string& step) { return step + "/" + std::to_string(kRows); }

}  // namespace

int main(int argc, char** argv) {
    if (!initBenchmarks(argc, argv)) return 2;

    // The list compares in the user's language; the C locale would skip the
    // collation library altogether, so a fixed locale stands in unless one is asked for.
    const QByteArray wanted = qgetenv("TRESSIK_BENCH_LOCALE");
    QLocale::setDefault(QLocale(wanted.isEmpty() ? QStringLiteral("en_US") : QString::fromLocal8Bit(wanted)));
    std::printf("collation locale: %s\n", qPrintable(QLocale().name()));

    const auto d = makeData();
    Steps steps;
    const auto add = [&steps](const std::string& label, std::function<void(benchmark::State&)> fn) {
        steps.addStep(label, std::move(fn));
    };
    for (int c = 0; c < ListItems::kColumns; ++c) {
        const std::string col = std::to_string(c);
        add(name("stable_sort_column_" + col), [d, c](benchmark::State& s) { stableSortBaseline(s, *d, c); });
        add(name("sort_column_" + col), [d, c](benchmark::State& s) { sortList(s, *d, c); });
    }
    const std::string batch = std::to_string(kBatch);
    add(name("upper_bound_insert_" + batch), [d](benchmark::State& s) { upperBoundInsertBaseline(s, *d); });
    add(name("add_sorted_" + batch), [d](benchmark::State& s) { addSorted(s, *d); });

    CapturingReporter reporter(benchmark::CreateDefaultDisplayReporter());
    bool ok = steps.runAll(reporter);
    const auto report = [&ok](const std::string& label, std::optional<double> step, std::optional<double> base,
                              double goal, const char* unit) {
        if (!step || !base) return;  // filtered out or failed
        const double ratio = *step / *base;
        const bool met = ratio <= goal;
        ok = ok && met;
        std::printf("ratio %s (%lld): %.*f  (%.4g ms / %.4g ms%s, goal <= %g: %s)\n", label.c_str(),
                    static_cast<long long>(kRows), ratio < 0.1 ? 5 : 2, ratio, *step, *base, unit, goal,
                    met ? "met" : "MISSED");
    };
    for (int c = 0; c < ListItems::kColumns; ++c) {
        const std::string col = std::to_string(c);
        report("sort column " + col + " / stable_sort", reporter.stepTime(name("sort_column_" + col)),
               reporter.stepTime(name("stable_sort_column_" + col)), kSortGoal, "");
    }
    const auto perRow = [](std::optional<double> t) { return t ? std::optional<double>(*t / kBatch) : t; };
    const auto added = perRow(reporter.stepTime(name("add_sorted_" + batch)));
    report("add one row / stable_sort column 0", added, reporter.stepTime(name("stable_sort_column_0")), kAddVsSortGoal,
           "");
    report("add one row / upper_bound+insert", added, perRow(reporter.stepTime(name("upper_bound_insert_" + batch))),
           kAddGoal, " per row");
    return ok ? 0 : 1;
}
