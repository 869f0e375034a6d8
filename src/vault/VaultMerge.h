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

// One entry of a merged list: line `index` of theirs, or entry `index` of mine.
struct Pick {
    bool mine = false;
    qsizetype index = 0;
};

struct Plan {
    std::vector<Pick> picks;
    // Entries that mine removed and theirs no longer holds either: the
    // removal found nothing to remove (an edit of them is then an addition).
    qsizetype unmatched = 0;
    // Mine's changes that made a difference to theirs.
    qsizetype added = 0;
    qsizetype removed = 0;
};

// Theirs with mine's additions and removals relative to base applied, in
// theirs' order: an addition takes the place of a removed entry, the rest
// come at the end in mine's order. A change made on both sides counts once.
Plan merge(const Base& base, const Fingerprints& mine, const Fingerprints& theirs);

// For two versions with no common base: mine as it is, then the entries of
// theirs that mine lacks. Nothing is removed.
Plan addMissing(const Fingerprints& mine, const Fingerprints& theirs);

}  // namespace VaultMerge
