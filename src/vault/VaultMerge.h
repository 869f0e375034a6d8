#pragma once

#include <QtGlobal>

#include <vector>

// Merging entry lists by their entries' fingerprints. Entries are equal when
// their three texts are; equal entries count as many times as they occur.
namespace VaultMerge {

using Fingerprints = std::vector<quint64>;

// What a version held, as much as a merge needs: its entries' fingerprints,
// sorted. A fraction of the version's size.
using Base = Fingerprints;
Base baseOf(Fingerprints fingerprints);
void sortFingerprints(Fingerprints& fingerprints);

// How mine becomes the merged list: some of its entries go, some of theirs
// are added, each after the entry that comes before it in theirs. Mine's
// order is kept.
struct Plan {
    std::vector<qsizetype> dropMine;   // mine's entries that go, ascending
    std::vector<qsizetype> addTheirs;  // theirs' entries added, in theirs' order
    std::vector<qsizetype> addAfter;   // for each: the entry of mine it follows, -1 for the start
    // The merged list's base once it is saved: the fingerprints of its entries.
    Base merged;
    // Entries that mine removed and theirs no longer holds either: the
    // removal found nothing to remove (an edit of them is then an addition).
    qsizetype unmatched = 0;
};

// Theirs with mine's additions and removals relative to base applied: mine
// with theirs' additions and removals relative to base applied, which is the
// same list. A change made on both sides counts once. theirsSorted, when
// given, is theirs sorted, as baseOf gives it.
Plan merge(const Base& base, const Fingerprints& mine, const Fingerprints& theirs, const Base* theirsSorted = nullptr);

// For two versions with no common base: the entries of theirs that mine
// lacks are added. Nothing is removed.
Plan addMissing(const Fingerprints& mine, const Fingerprints& theirs);

}  // namespace VaultMerge
