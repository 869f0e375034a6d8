// Loading and saving a large vault, each step timed beside the plain file
// work it cannot avoid, and a save that merges onto another program's change
// beside a plain save. After the run the program prints the ratios and exits
// non-zero when a step misses its goal or fails.

#include "VaultEntries.h"
#include "listview/ListItems.h"
#include "platform/DurableFile.h"
#include "platform/FileWatch.h"
#include "platform/Memory.h"
#include "session/VaultSync.h"
#include "vault/VaultCodec.h"
#include "vault/VaultFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

constexpr double kGoal = 2.0;
const qsizetype kSizes[] = {32767, 100000};

std::vector<Entry> makeEntries(qsizetype count) {
    const QString user = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789._-");
    // Printable ASCII without "|", plus a few Windows-1252 letters people do type.
    QString pass;
    for (char16_t c = 33; c < 127; ++c)
        if (c != u'|') pass.append(QChar(c));
    pass.append(QStringLiteral("\u00E9\u00FC\u00DF\u20AC\u00A3"));
    Random rng(0x5452455353494Bull);
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        Entry e;
        e.username = randomText(rng, 8, 20, user);
        e.password = randomText(rng, 10, 24, pass);
        e.location = QStringLiteral("https://www.example-%1.com/login").arg(i + 1);
        entries.push_back(std::move(e));
    }
    return entries;
}

// One vault of a given size, on disk and in memory.
struct Vault {
    qsizetype count = 0;
    QString master;
    std::vector<PackedEntry> parsed;  // as read back from readPath
    QByteArray bytes;                 // what a save writes
    QString readPath;
    QString savePath;
    QString baselinePath;
    QString changedPath;  // the same vault as another program changed it: one entry edited, one added
};

[[noreturn]] void die(const QString& why) {
    std::fprintf(stderr, "tressik_bench_vault: %s\n", qPrintable(why));
    std::exit(2);
}

std::shared_ptr<const Vault> makeVault(const QString& root, qsizetype count) {
    auto v = std::make_shared<Vault>();
    v->count = count;
    v->master = QStringLiteral("correct horse battery staple");
    const std::vector<Entry> entries = makeEntries(count);
    const std::optional<QByteArray> bytes = VaultCodec::serialiseVault(v->master, entries);
    if (!bytes) die(QStringLiteral("generated entries cannot be encoded"));
    v->bytes = *bytes;

    const QString dir = root + QStringLiteral("/vault-%1").arg(count);
    if (!QDir().mkpath(dir)) die(QStringLiteral("cannot create ") + dir);
    v->readPath = VaultFile::vaultPath(dir);
    v->savePath = dir + QStringLiteral("/saved.enc");
    v->baselinePath = dir + QStringLiteral("/baseline.enc");
    if (const VaultFile::Result r = VaultFile::writeAtomic(v->readPath, v->bytes); !r.ok) die(r.error);
    std::vector<Entry> changed = entries;
    changed[static_cast<size_t>(count / 2)].password = QStringLiteral("changed elsewhere");
    changed.push_back({QStringLiteral("added"), QStringLiteral("elsewhere"), QString()});
    v->changedPath = dir + QStringLiteral("/changed.enc");
    if (const VaultFile::Result r =
            VaultFile::writeAtomic(v->changedPath, *VaultCodec::serialiseVault(v->master, changed));
        !r.ok)
        die(r.error);

    // The timed steps only count what they produce; make sure it is right once.
    QByteArray back;
    if (const VaultFile::Result r = VaultFile::read(v->readPath, &back); !r.ok) die(r.error);
    v->parsed = VaultCodec::readPackedEntries(back);
    if (VaultCodec::readEntries(back) != entries || VaultCodec::readMasterPassword(back) != v->master)
        die(QStringLiteral("the generated vault does not read back as written"));
    return v;
}

void fail(benchmark::State& state, const QString& why) { state.SkipWithError(why.toStdString().c_str()); }

// Freeing the results is not part of the step being measured.
template <class... T>
void dropUntimed(benchmark::State& state, T&... values) {
    state.PauseTiming();
    (void(std::remove_reference_t<T>(std::move(values))), ...);
    state.ResumeTiming();
}

void readSplitBaseline(benchmark::State& state, const Vault& v) {
    const size_t expected = static_cast<size_t>(v.count) + 2;  // password line, entries, closing empty line
    for (auto _ : state) {
        QByteArray bytes;
        {
            QFile file(v.readPath);
            if (!file.open(QIODevice::ReadOnly)) return fail(state, file.errorString());
            bytes = file.readAll();
        }
        std::vector<QByteArray> lines = VaultCodec::splitLines(bytes);
        if (lines.size() != expected) return fail(state, QStringLiteral("wrong line count"));
        dropUntimed(state, lines, bytes);
    }
}

void parse(benchmark::State& state, const Vault& v) {
    for (auto _ : state) {
        QByteArray bytes;
        if (const VaultFile::Result r = VaultFile::read(v.readPath, &bytes); !r.ok) return fail(state, r.error);
        std::vector<PackedEntry> entries = VaultCodec::readPackedEntries(bytes);
        if (static_cast<qsizetype>(entries.size()) != v.count) return fail(state, QStringLiteral("wrong entry count"));
        dropUntimed(state, entries, bytes);
    }
}

// What loading does after parsing: the entries go into the list.
void fill(benchmark::State& state, const Vault& v) {
    for (auto _ : state) {
        state.PauseTiming();
        auto items = std::make_unique<ListItems>();
        std::vector<PackedEntry> entries = v.parsed;
        state.ResumeTiming();

        items->appendMany(std::move(entries));

        if (items->count() != v.count) return fail(state, QStringLiteral("wrong row count"));
        dropUntimed(state, items, entries);
    }
}

// What the password window's Return costs in the vault: read, parse, fill a
// new list and give back the memory freed on the way.
void unlock(benchmark::State& state, const Vault& v) {
    for (auto _ : state) {
        auto items = std::make_unique<ListItems>();
        QByteArray bytes;
        if (const VaultFile::Result r = VaultFile::read(v.readPath, &bytes); !r.ok) return fail(state, r.error);
        items->appendMany(VaultCodec::readPackedEntries(bytes));
        releaseFreeMemory();  // as the program does after a load
        if (items->count() != v.count) return fail(state, QStringLiteral("wrong row count"));
        dropUntimed(state, items, bytes);
    }
}

// An outside change read again into the open list, every unchanged row
// keeping its identity.
void reload(benchmark::State& state, const Vault& v) {
    for (auto _ : state) {
        state.PauseTiming();
        auto items = std::make_unique<ListItems>();
        items->appendMany(std::vector<PackedEntry>(v.parsed));
        const ListItems::RowId first = items->rowId(1);
        state.ResumeTiming();

        QByteArray bytes;
        if (const VaultFile::Result r = VaultFile::read(v.changedPath, &bytes); !r.ok) return fail(state, r.error);
        items->replaceAll(VaultCodec::EntryLines(bytes));
        releaseFreeMemory();

        if (items->count() != v.count + 1 || items->positionOf(first) != 1)
            return fail(state, QStringLiteral("wrong rows after the reload"));
        dropUntimed(state, items, bytes);
    }
}

// The check before a save while the file is the one last written: one stat.
void checkBeforeSave(benchmark::State& state, const Vault& v) {
    const DurableFile::Stamp known = DurableFile::stampOf(v.readPath);
    for (auto _ : state) {
        if (!(DurableFile::stampOf(v.readPath) == known)) return fail(state, QStringLiteral("the file changed"));
    }
}

// Watching an unchanged vault for a few seconds: how often it is read.
void idleReads(benchmark::State& state, const Vault& v) {
    for (auto _ : state) {
        int reads = 0;
        const auto old = DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::ReadOpen) ++reads;
            return 0;
        });
        FileWatch watch;
        QObject::connect(&watch, &FileWatch::settled, [&] {
            QByteArray bytes;
            VaultFile::read(v.readPath, &bytes);  // what an outside change costs, were there one
        });
        watch.watch(v.readPath);
        QTimer::singleShot(3000, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
        DurableFile::setFaultHook(old);
        state.counters["reads"] = reads;
    }
}

void writeFsyncBaseline(benchmark::State& state, const Vault& v) {
    const QByteArray path = QFile::encodeName(v.baselinePath);
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return fail(state, QStringLiteral("cannot open ") + v.baselinePath);
        const ssize_t written = ::write(fd, v.bytes.constData(), static_cast<size_t>(v.bytes.size()));
        const bool ok = written == v.bytes.size() && ::fsync(fd) == 0;
        ::close(fd);
        if (!ok) return fail(state, QStringLiteral("cannot write ") + v.baselinePath);
    }
}

void save(benchmark::State& state, const Vault& v) {
    ListItems items;
    items.appendMany(std::vector<PackedEntry>(v.parsed));
    for (auto _ : state) {
        std::optional<QByteArray> bytes =
            VaultCodec::serialiseVault(v.master, items.count(), [&](qsizetype n) { return &items.entry(n + 1); });
        if (!bytes || bytes->size() != v.bytes.size()) return fail(state, QStringLiteral("wrong vault bytes"));
        if (const VaultFile::Result r = VaultFile::writeAtomic(v.savePath, *bytes); !r.ok) return fail(state, r.error);
        dropUntimed(state, bytes);
    }
    // writeAtomic already compared the file with its input; compare the input too.
    QByteArray back;
    if (!VaultFile::read(v.savePath, &back).ok || back != v.bytes) fail(state, QStringLiteral("saved file differs"));
}

// An open vault as following the file sees it, without a window.
class OpenVault : private VaultSync::Vault {
public:
    OpenVault(QString path, QString master, const std::vector<PackedEntry>& entries)
        : path_(std::move(path)), master_(std::move(master)) {
        items_.appendMany(std::vector<PackedEntry>(entries));
    }
    QString vaultPath() const override { return path_; }
    const QString& masterPassword() const override { return master_; }
    ListItems& entries() override { return items_; }
    bool ended() const override { return false; }
    void SetStatus(const QString&) override {}
    MsgResult msgBox(const QString&, MsgButtons, MsgResult defaultButton, MsgIcon) override { return defaultButton; }
    void entriesReplaced() override {}
    bool saveEntries() override { return false; }

    VaultSync sync{*this};

private:
    QString path_;
    QString master_;
    ListItems items_;
};

// The vault as last read, with the user's one edit in the list; on disk that
// version, or (merging) the one another program changed meanwhile.
std::unique_ptr<OpenVault> openedWithAnEdit(const Vault& v, const QString& path, bool changedOnDisk) {
    if (const VaultFile::Result r = VaultFile::writeAtomic(path, v.bytes); !r.ok) die(r.error);
    auto open = std::make_unique<OpenVault>(path, v.master, v.parsed);
    open->sync.remember(VaultFile::Version::of(DurableFile::stampOf(path), v.bytes));
    open->sync.rememberEntries(v.bytes);
    open->entries().setSubItem(v.count / 4, 1, QStringLiteral("edited here"));
    if (changedOnDisk) {
        QByteArray changed;
        if (!VaultFile::read(v.changedPath, &changed).ok) die(QStringLiteral("cannot read the changed vault"));
        if (const VaultFile::Result r = VaultFile::writeAtomic(path, changed); !r.ok) die(r.error);
    }
    return open;
}

// A save through the open vault: plain, or merging onto a changed file.
void syncedSave(benchmark::State& state, const Vault& v, bool merging) {
    const QString path = QFileInfo(v.savePath).absolutePath() + QStringLiteral("/synced.enc");
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<OpenVault> open = openedWithAnEdit(v, path, merging);
        state.ResumeTiming();

        VaultSync::Saved saved;
        if (const VaultFile::Result r = open->sync.save(&saved); !r.ok) return fail(state, r.error);
        if (saved.merged != merging || open->entries().count() != v.count + (merging ? 1 : 0))
            return fail(state, QStringLiteral("the save did not merge as it should"));
        dropUntimed(state, open);
    }
}

void savePlain(benchmark::State& state, const Vault& v) { syncedSave(state, v, false); }
void saveMerged(benchmark::State& state, const Vault& v) { syncedSave(state, v, true); }

// What a merge's base costs: its bytes against the file's.
void baseSize(benchmark::State& state, const Vault& v) {
    const QString path = QFileInfo(v.savePath).absolutePath() + QStringLiteral("/base.enc");
    for (auto _ : state) {
        std::unique_ptr<OpenVault> open = openedWithAnEdit(v, path, false);
        const VaultMerge::Base& base = open->sync.base();
        state.counters["base_bytes"] = static_cast<double>(base.capacity() * sizeof(base[0]));
        state.counters["file_bytes"] = static_cast<double>(v.bytes.size());
        dropUntimed(state, open);
    }
}

std::string name(const char* step, qsizetype count) { return std::string(step) + "/" + std::to_string(count); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);  // the file watch's events
    if (!initBenchmarks(argc, argv)) return 2;

    // TRESSIK_BENCH_DIR puts the files on the disk under test; the system temp folder otherwise.
    const QByteArray where = qgetenv("TRESSIK_BENCH_DIR");
    const QString parent = where.isEmpty() ? QDir::tempPath() : QFile::decodeName(where);
    QTemporaryDir root(parent + QStringLiteral("/tressik-bench-XXXXXX"));
    if (!root.isValid()) die(QStringLiteral("cannot create a folder in ") + parent);

    Steps all;
    for (const qsizetype n : kSizes) {
        auto v = makeVault(root.path(), n);
        const std::pair<const char*, void (*)(benchmark::State&, const Vault&)> stepsOfSize[] = {
            {"read_split_baseline", readSplitBaseline},
            {"parse", parse},
            {"fill", fill},
            {"write_fsync_baseline", writeFsyncBaseline},
            {"save", save},
            {"unlock", unlock},
            {"reload", reload},
            {"check_before_save", checkBeforeSave},
            {"save_plain", savePlain},
            {"save_merged", saveMerged},
            {"base_size", baseSize},
        };
        for (const auto& [step, fn] : stepsOfSize)
            all.addStep(name(step, n), [v, fn = fn](benchmark::State& s) { fn(s, *v); });
        if (n == kSizes[std::size(kSizes) - 1]) {
            benchmark::RegisterBenchmark(name("idle_reads", n).c_str(), [v](benchmark::State& s) { idleReads(s, *v); })
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }

    CapturingReporter reporter(benchmark::CreateDefaultDisplayReporter());
    bool ok = all.runAll(reporter);
    const struct {
        const char* label;
        const char* step;
        const char* yardstick;
        double goal;
        bool largestOnly = false;  // a goal set for the largest vault; smaller ones are only shown
    } ratios[] = {
        {"parse/baseline", "parse", "read_split_baseline", kGoal},
        {"fill/parse", "fill", "parse", kGoal},
        {"save/baseline", "save", "write_fsync_baseline", kGoal},
        {"reload/unlock", "reload", "unlock", 1.0},
        {"check_before_save/save", "check_before_save", "save", 0.05},
        {"save_merged/save_plain", "save_merged", "save_plain", 1.5, true},
    };
    for (const qsizetype n : kSizes) {
        for (const auto& r : ratios) {
            const auto step = reporter.stepTime(name(r.step, n));
            const auto base = reporter.stepTime(name(r.yardstick, n));
            if (!step || !base) continue;  // filtered out or failed
            const double ratio = *step / *base;
            if (r.largestOnly && n != kSizes[std::size(kSizes) - 1]) {
                std::printf("ratio %s (%lld): %.4f  (%.4f ms / %.3f ms, shown only)\n", r.label,
                            static_cast<long long>(n), ratio, *step, *base);
                continue;
            }
            const bool met = ratio <= r.goal;
            ok = ok && met;
            std::printf("ratio %s (%lld): %.4f  (%.4f ms / %.3f ms, goal <= %.2f: %s)\n", r.label,
                        static_cast<long long>(n), ratio, *step, *base, r.goal, met ? "met" : "MISSED");
        }
    }
    const qsizetype largest = kSizes[std::size(kSizes) - 1];
    const auto baseBytes = reporter.stepCounter(name("base_size", largest), "base_bytes");
    const auto fileBytes = reporter.stepCounter(name("base_size", largest), "file_bytes");
    if (baseBytes && fileBytes) {
        const double ratio = *baseBytes / *fileBytes;
        ok = ok && ratio <= 0.25;
        std::printf("ratio base/file (%lld): %.4f  (%.0f bytes / %.0f bytes, goal <= 0.25: %s)\n",
                    static_cast<long long>(largest), ratio, *baseBytes, *fileBytes, ratio <= 0.25 ? "met" : "MISSED");
    }
    if (const auto reads = reporter.stepCounter(name("idle_reads", largest), "reads")) {
        ok = ok && *reads == 0;
        std::printf("reads of an unchanged vault over 3 s of watching: %.0f  (goal 0: %s)\n", *reads,
                    *reads == 0 ? "met" : "MISSED");
    }
    return ok ? 0 : 1;
}
