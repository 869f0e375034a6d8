#include "session/VaultSync.h"

#include "listview/ListItems.h"
#include "platform/Memory.h"
#include "vault/VaultCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

VaultSync::VaultSync(Vault& vault) : vault_(vault) {
    QObject::connect(&watch_, &FileWatch::settled, &watch_, [this] { check(); });
}

void VaultSync::follow() {
    if (watch_.watching()) return;
    watch_.watch(vault_.vaultPath());
    // Copies already there are asked about once the window is up.
    QTimer::singleShot(0, &watch_, [this] { check(); });
}

void VaultSync::stop() { watch_.stop(); }

namespace {

// Far more rounds than two writers racing ever need; past them what was
// displaced is kept aside.
constexpr int kMaxRounds = 8;

// No master password and no entries: a file with nothing in it to lose.
bool holdsNothing(const QByteArray& bytes) {
    return VaultCodec::readMasterPassword(bytes).isEmpty() && !VaultCodec::hasEntryLines(bytes);
}

VaultMerge::Fingerprints fingerprintsOf(const VaultCodec::EntryLines& lines) {
    VaultMerge::Fingerprints f(static_cast<size_t>(lines.count()));
    for (qsizetype i = 0; i < lines.count(); ++i) f[static_cast<size_t>(i)] = lines.fingerprint(i);
    return f;
}

VaultMerge::Fingerprints fingerprintsOf(const ListItems& list) {
    VaultMerge::Fingerprints f(static_cast<size_t>(list.count()));
    for (qsizetype i = 0; i < list.count(); ++i)
        f[static_cast<size_t>(i)] = VaultCodec::fingerprintOf(list.entry(i + 1));
    return f;
}

std::optional<QByteArray> serialised(const VaultSync::Vault& vault, const ListItems& items) {
    return VaultCodec::serialiseVault(vault.masterPassword(), items.count(),
                                      [&](qsizetype n) { return &items.entry(n + 1); });
}

// Entries held in a vector, for the list to take in at once.
class Held : public EntrySource {
public:
    explicit Held(std::vector<PackedEntry> entries) : entries_(std::move(entries)) {}
    qsizetype count() const override { return static_cast<qsizetype>(entries_.size()); }
    bool holds(qsizetype i, const PackedEntry& entry) const override {
        return entries_[static_cast<size_t>(i)] == entry;
    }
    PackedEntry make(qsizetype i) const override { return entries_[static_cast<size_t>(i)]; }

private:
    std::vector<PackedEntry> entries_;
};

// Past this many changes the list is rebuilt at once rather than changed row by row.
constexpr size_t kRowByRow = 256;

// Applies a merge to the list: some of its rows go, some of theirs are added
// where they stand in theirs.
void apply(const VaultMerge::Plan& plan, const VaultCodec::EntryLines& theirs, ListItems& list) {
    // Theirs' additions by the row they follow, in their order.
    std::vector<size_t> order(plan.addTheirs.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return plan.addAfter[a] < plan.addAfter[b]; });
    if (plan.dropMine.size() + plan.addTheirs.size() <= kRowByRow) {
        for (auto i = plan.dropMine.rbegin(); i != plan.dropMine.rend(); ++i) list.remove(*i + 1);
        // From the last place up, so that the places before stay where they are.
        for (auto k = order.rbegin(); k != order.rend(); ++k) {
            const qsizetype after = plan.addAfter[*k];
            const auto gone =
                std::upper_bound(plan.dropMine.begin(), plan.dropMine.end(), after) - plan.dropMine.begin();
            list.insert(after + 1 - gone + 1, theirs.make(plan.addTheirs[*k]));
        }
        return;
    }
    std::vector<PackedEntry> all;
    all.reserve(static_cast<size_t>(list.count()) - plan.dropMine.size() + plan.addTheirs.size());
    size_t next = 0;
    size_t drop = 0;
    const auto addUpTo = [&](qsizetype after) {
        for (; next < order.size() && plan.addAfter[order[next]] <= after; ++next)
            all.push_back(theirs.make(plan.addTheirs[order[next]]));
    };
    addUpTo(-1);
    for (qsizetype i = 0; i < list.count(); ++i) {
        if (drop < plan.dropMine.size() && plan.dropMine[drop] == i) {
            ++drop;
        } else {
            all.push_back(list.entry(i + 1));
        }
        addUpTo(i);
    }
    list.replaceAll(Held(std::move(all)));
}

QString unreachable(const QString& path, int error) {
    return QStringLiteral("The vault file %1 cannot be reached: %2.")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

void VaultSync::rememberEntries(const QByteArray& bytes) {
    base_ = VaultMerge::baseOf(fingerprintsOf(VaultCodec::EntryLines(bytes)));
}

bool VaultSync::sameBytes(const QByteArray& bytes) const {
    return known_.read && bytes.size() == known_.stamp.size &&
           VaultFile::Version::fingerprintOf(bytes) == known_.fingerprint;
}

VaultSync::Kind VaultSync::kindOf(const QByteArray& bytes) const {
    if (sameBytes(bytes)) return Kind::Same;
    if (holdsNothing(bytes)) return Kind::Empty;
    const QString password = VaultCodec::readMasterPassword(bytes);
    if (password.isEmpty()) return Kind::NoPassword;
    return password == vault_.masterPassword() ? Kind::Mergeable : Kind::OtherPassword;
}

bool VaultSync::keepUnseen(QString* keptAs, QString* error) {
    const QString path = vault_.vaultPath();
    const DurableFile::Stamp now = DurableFile::stampOf(path);
    // Unchanged, or gone: there is nothing to lose. A folder in the way is the
    // save's to tell.
    if (now == known_.stamp || !now.exists || !QFileInfo(path).isFile()) return true;
    QByteArray bytes;
    DurableFile::Stamp read;
    if (VaultFile::Result r = VaultFile::read(path, &bytes, &read); !r.ok) {
        *error = QStringLiteral(
                     "The vault file has been changed by another program and cannot be read, so it cannot be kept "
                     "before your changes replace it: ") +
                 r.error;
        return false;
    }
    if (sameBytes(bytes) || holdsNothing(bytes)) return true;
    return keepSeen(bytes, VaultFile::Version::of(read, bytes), keptAs, error);
}

// Keeps a version before a save replaces it; kept, it is seen, and never kept again.
bool VaultSync::keepSeen(const QByteArray& bytes, const VaultFile::Version& version, QString* keptAs, QString* error) {
    if (VaultFile::Result r = VaultFile::keep(vault_.vaultPath(), bytes, keptAs); !r.ok) {
        *error = QStringLiteral(
                     "The vault file has been changed by another program, and that version could not be kept "
                     "before your changes replace it: ") +
                 r.error;
        return false;
    }
    known_ = version;
    return true;
}

void VaultSync::mergeIn(const QByteArray& theirs, const VaultFile::Version& version, Saved* saved) {
    const VaultCodec::EntryLines lines(theirs);
    const VaultMerge::Fingerprints t = fingerprintsOf(lines);
    VaultMerge::Base sorted = VaultMerge::baseOf(t);
    ListItems& list = vault_.entries();
    VaultMerge::Plan plan = VaultMerge::merge(base_, fingerprintsOf(list), t, &sorted);
    apply(plan, lines, list);
    // The list is now theirs with the user's changes: theirs is the base.
    base_ = std::move(sorted);
    mergedBase_ = std::move(plan.merged);
    known_ = version;
    saved->merged = true;
    saved->unmatched += plan.unmatched;
    vault_.entriesReplaced();
}

VaultFile::Result VaultSync::save(Saved* saved) {
    *saved = std::exchange(pending_, {});
    unsaved_ = true;  // until it is known to be in place
    const QString path = vault_.vaultPath();
    const ListItems& list = vault_.entries();
    mergedBase_.reset();

    const DurableFile::Stamp now = DurableFile::stampOf(path);
    if (now.error != 0) return {false, unreachable(path, now.error), false};
    const bool aFile = now.exists && QFileInfo(path).isFile();
    // The version this save expects to displace.
    DurableFile::Stamp onto = known_.stamp;
    if (aFile && now != known_.stamp) {
        QByteArray theirs;
        DurableFile::Stamp read;
        if (VaultFile::Result r = VaultFile::read(path, &theirs, &read); !r.ok) {
            return {false,
                    QStringLiteral("The vault file has been changed by another program and cannot be read, so "
                                   "your changes were not saved over it: ") +
                        r.error,
                    false};
        }
        onto = read;
        const VaultFile::Version version = VaultFile::Version::of(read, theirs);
        switch (kindOf(theirs)) {
            case Kind::Same:
            case Kind::Empty: known_ = version; break;
            case Kind::Mergeable: mergeIn(theirs, version, saved); break;
            case Kind::NoPassword:
            case Kind::OtherPassword:
            case Kind::Unreadable:
                if (QString error; !keepSeen(theirs, version, &saved->keptAs, &error)) return {false, error, false};
                break;
        }
    }
    std::optional<QByteArray> bytes = serialised(vault_, list);
    if (!bytes) return {false, QStringLiteral("An entry holds a character that the vault file cannot store."), false};
    if (!aFile) {
        // Gone, or something else in the way: made again, or told.
        if (VaultFile::Result r = VaultFile::EnsureDataFile(path); !r.ok) return r;
        onto = DurableFile::stampOf(path);
    }

    // A version merged into the list after a swap displaced it: dropped once
    // the file that holds its entries is in place.
    QString merged;
    VaultFile::Result result;
    DurableFile::Stamp created;
    for (int round = 1;; ++round) {
        const VaultFile::Swap s = VaultFile::swapIn(path, *bytes);
        if (!s.result.ok && !s.result.replaced) {
            if (!merged.isEmpty()) VaultFile::keepFile(path, merged, &saved->keptAs);
            return s.result;
        }
        result = s.result;
        created = s.created;
        if (!merged.isEmpty()) VaultFile::drop(std::exchange(merged, {}));
        if (s.displaced.isEmpty()) break;
        const DurableFile::Stamp was = DurableFile::stampOf(s.displaced);
        if (DurableFile::sameFile(was, onto)) {
            VaultFile::drop(s.displaced);
            break;
        }
        // A version that landed between the look before the save and the swap.
        QByteArray displaced;
        const Kind kind = VaultFile::read(s.displaced, &displaced).ok ? kindOf(displaced) : Kind::Unreadable;
        if (kind == Kind::Same || kind == Kind::Empty) {
            VaultFile::drop(s.displaced);
            break;
        }
        if (kind != Kind::Mergeable || round == kMaxRounds) {
            // Where it is, it is never removed unread; beside the vault it is plain to see.
            if (!VaultFile::keepFile(path, s.displaced, &saved->keptAs).ok) saved->keptAs = s.displaced;
            break;
        }
        mergeIn(displaced, VaultFile::Version::of(was, displaced), saved);
        bytes = serialised(vault_, list);
        if (!bytes) {
            VaultFile::keepFile(path, s.displaced, &saved->keptAs);
            return {false, QStringLiteral("An entry holds a character that the vault file cannot store."), false};
        }
        onto = created;  // what the next swap displaces is this save's own file
        merged = s.displaced;
    }
    return afterSwap(*bytes, created, result);
}

VaultFile::Result VaultSync::afterSwap(const QByteArray& written, const DurableFile::Stamp& created,
                                       const VaultFile::Result& swapped) {
    VaultFile::Version onDisk;
    bool ours = false;
    VaultFile::Result back = VaultFile::readBack(vault_.vaultPath(), written, created, &onDisk, &ours);
    if (!ours) {
        // Replaced again by another program since the swap: its notification
        // merges the list's changes onto that version, from the same base.
        known_ = VaultFile::Version::of(created, written);
        return swapped;
    }
    known_ = onDisk;
    // Read back different: counts as not saved.
    if (back.differs) return back;
    if (mergedBase_) {
        base_ = std::move(*mergedBase_);  // what was written, known without reading it again
        mergedBase_.reset();
    } else {
        rememberEntries(written);
    }
    unsaved_ = false;
    return back.ok ? swapped : back;
}

void VaultSync::check() {
    // A message box below runs events, and with them further notifications.
    if (checking_) {
        again_ = true;
        return;
    }
    checking_ = true;
    do {
        again_ = false;
        checkOnce();
        lookForCopies();
    } while (again_ && watch_.watching() && !vault_.ended());
    checking_ = false;
}

void VaultSync::checkOnce() {
    if (!watch_.watching()) return;
    const QString path = vault_.vaultPath();
    const DurableFile::Stamp now = DurableFile::stampOf(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (now.error != 0) {
        // Out of reach is not deleted: the version known stays known.
        if (std::exchange(unreachable_, true)) return;
        vault_.SetStatus(QStringLiteral("The vault file cannot be reached"));
        tell(unreachable(path, now.error) +
             QStringLiteral("\n\nThe list still shows your entries, but no change can be saved until the file "
                            "can be reached again."));
        return;
    }
    unreachable_ = false;
    // Known, or already told as one that can be neither read nor kept.
    if (now == known_.stamp || (now.exists && now == untaken_)) return;
    if (!now.exists) {
        if (std::exchange(gone_, true)) return;
        vault_.SetStatus(QStringLiteral("The vault file was deleted by another program"));
        tell(QStringLiteral("The vault file %1 has been deleted by another program.\n\nThe list still shows your "
                            "entries; your next change writes the vault file again.")
                 .arg(shown));
        return;
    }
    gone_ = false;
    QByteArray bytes;
    DurableFile::Stamp read;
    if (VaultFile::Result r = VaultFile::read(path, &bytes, &read); !r.ok) {
        untaken_ = now;
        tell(QStringLiteral("The vault file %1 has been changed by another program, and Tressik cannot read it.\n\n"
                            "%2\n\nThe list stays as it was, and Tressik saves nothing over the file while it "
                            "cannot keep a copy of it.")
                 .arg(shown, r.error));
        return;
    }
    const VaultFile::Version version = VaultFile::Version::of(read, bytes);
    switch (kindOf(bytes)) {
        case Kind::Same: known_.stamp = read; return;  // touched, or back as it was
        case Kind::Empty:
            known_ = version;
            vault_.SetStatus(QStringLiteral("The vault file was emptied by another program"));
            tell(QStringLiteral("The vault file %1 has been emptied by another program.\n\nThe list still shows "
                                "your entries; your next change writes the vault file again.")
                     .arg(shown));
            return;
        case Kind::NoPassword: keepAside(bytes, version, QStringLiteral("it holds no master password")); return;
        case Kind::OtherPassword:
        case Kind::Unreadable:
            keepAside(bytes, version, QStringLiteral("it was saved with another master password"));
            return;
        case Kind::Mergeable: break;
    }
    if (!unsaved_) {
        take(bytes, version);
        return;
    }
    // The list holds changes whose save failed: they go onto this version,
    // and are saved with it.
    mergeIn(bytes, version, &pending_);
    vault_.saveEntries();
}

void VaultSync::take(const QByteArray& bytes, const VaultFile::Version& version) {
    const VaultCodec::EntryLines lines(bytes);
    const qsizetype count = lines.count();
    vault_.entries().replaceAll(lines);
    base_ = VaultMerge::baseOf(fingerprintsOf(lines));
    known_ = version;
    releaseFreeMemory();
    vault_.entriesReplaced();
    vault_.SetStatus(QStringLiteral("Reloaded ") + QString::number(count) +
                     QStringLiteral(" entries: the vault file was changed by another program"));
}

void VaultSync::keepAside(const QByteArray& bytes, const VaultFile::Version& version, const QString& why) {
    const QString path = vault_.vaultPath();
    const QString shown = QDir::toNativeSeparators(path);
    QString keptAs;
    if (VaultFile::Result r = VaultFile::keep(path, bytes, &keptAs); !r.ok) {
        // Not remembered: the next save tries to keep it again, and does not go on without.
        untaken_ = version.stamp;
        tell(QStringLiteral("The vault file %1 has been changed by another program, and Tressik cannot show that "
                            "version: %2.  It could not be kept aside either.\n\n%3\n\nThe list stays as it was, "
                            "and Tressik saves nothing over the file until it can keep a copy of it.")
                 .arg(shown, why, r.error));
        return;
    }
    known_ = version;
    vault_.SetStatus(QStringLiteral("Another version of the vault file was kept as ") +
                     QDir::toNativeSeparators(keptAs));
    tell(QStringLiteral("The vault file %1 has been changed by another program, and Tressik cannot show that "
                        "version: %2.\n\nThat version has been kept as %3.  The list stays as it was; your next "
                        "change saves it over the vault file.")
             .arg(shown, why, QDir::toNativeSeparators(keptAs)));
}

void VaultSync::lookForCopies() {
    if (!watch_.watching() || vault_.ended()) return;
    for (const QString& copy : VaultFile::conflictCopies(vault_.vaultPath())) {
        if (asked_.contains(copy)) continue;
        asked_.insert(copy);
        askAbout(copy);
        if (!watch_.watching() || vault_.ended()) return;
    }
}

void VaultSync::askAbout(const QString& copy) {
    const QString shown = QDir::toNativeSeparators(copy);
    const QString found = QStringLiteral(
                              "Beside the vault file there is %1, another version of it: a sync tool keeps one "
                              "when the vault was changed in two places at once.")
                              .arg(shown);
    QByteArray bytes;
    if (VaultFile::Result r = VaultFile::read(copy, &bytes); !r.ok) {
        tell(found + QStringLiteral("\n\nTressik cannot read it, so it cannot be merged into the vault.\n\n%1\n\nIt "
                                    "was left as it is.")
                         .arg(r.error));
        return;
    }
    if (holdsNothing(bytes)) return;
    if (VaultCodec::readMasterPassword(bytes) != vault_.masterPassword()) {
        tell(found + QStringLiteral("\n\nIt was saved with another master password, or with none, so it cannot be "
                                    "merged into the vault.  It was left as it is."));
        return;
    }
    const VaultCodec::EntryLines lines(bytes);
    const VaultMerge::Fingerprints theirs = fingerprintsOf(lines);
    const auto missing =
        static_cast<qsizetype>(VaultMerge::addMissing(fingerprintsOf(vault_.entries()), theirs).addTheirs.size());
    const QString holds = missing == 0 ? QStringLiteral("Every entry it holds is in the vault already.")
                                       : QStringLiteral("It holds %1 %2 that the vault does not.")
                                             .arg(QString::number(missing),
                                                  missing == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
    const MsgResult answer = vault_.msgBox(
        found + QStringLiteral("\n\n") + holds +
            QStringLiteral("\n\nMerge it into the vault?  Its entries that the vault lacks are added and saved; "
                           "nothing is removed.  The copy is then renamed to end in \".merged\", so that it is not "
                           "asked about again."),
        MsgButtons::YesNo, MsgResult::No, MsgIcon::Warning);
    if (answer != MsgResult::Yes) return;
    // The list may have been read again while the question was open.
    ListItems& list = vault_.entries();
    const VaultMerge::Plan plan = VaultMerge::addMissing(fingerprintsOf(list), theirs);
    apply(plan, lines, list);
    const auto added = static_cast<qsizetype>(plan.addTheirs.size());
    // Not saved: the copy stays, and the list keeps what it took from it.
    if (!vault_.saveEntries()) return;
    QString movedAs;
    if (VaultFile::Result r = VaultFile::setAside(copy, &movedAs); !r.ok) {
        tell(QStringLiteral("The entries of %1 have been merged into the vault, but the copy could not be renamed: "
                            "%2\n\nYou can remove it yourself.")
                 .arg(shown, r.error));
        return;
    }
    vault_.SetStatus(QStringLiteral("Merged %1 %2 from %3, now renamed %4")
                         .arg(QString::number(added), added == 1 ? QStringLiteral("entry") : QStringLiteral("entries"),
                              shown, QFileInfo(movedAs).fileName()));
}

void VaultSync::tell(const QString& text) { vault_.msgBox(text, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning); }
