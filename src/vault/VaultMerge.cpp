#include "vault/VaultMerge.h"

#include <algorithm>

namespace VaultMerge {
namespace {

// How many times each fingerprint occurs, in fingerprint order.
struct Run {
    quint64 fingerprint;
    qsizetype count;
};

std::vector<Run> runsOf(const Fingerprints& sorted) {
    std::vector<Run> runs;
    for (const quint64 f : sorted) {
        if (runs.empty() || runs.back().fingerprint != f) {
            runs.push_back({f, 1});
        } else {
            ++runs.back().count;
        }
    }
    return runs;
}

std::vector<Run> runsOfUnsorted(Fingerprints fingerprints) {
    sortFingerprints(fingerprints);
    return runsOf(fingerprints);
}

// For a fingerprint whose entries change: how many stay, and how many are
// added.
struct Quota {
    quint64 fingerprint;
    qsizetype keep;
    qsizetype add;
};

Quota* find(std::vector<Quota>& quotas, quint64 f) {
    const auto it = std::lower_bound(quotas.begin(), quotas.end(), f,
                                     [](const Quota& q, quint64 value) { return q.fingerprint < value; });
    return it != quotas.end() && it->fingerprint == f ? &*it : nullptr;
}

// Which entry of mine theirs' entry p is: the same fingerprint, the same
// occurrence of it (or the last there is); -1 when mine has none.
qsizetype inMine(const Fingerprints& mine, const Fingerprints& theirs, qsizetype p) {
    const quint64 f = theirs[static_cast<size_t>(p)];
    const auto occurrence = std::count(theirs.begin(), theirs.begin() + p + 1, f);
    qsizetype found = -1;
    qsizetype seen = 0;
    for (qsizetype i = 0; i < static_cast<qsizetype>(mine.size()) && seen < occurrence; ++i) {
        if (mine[static_cast<size_t>(i)] != f) continue;
        found = i;
        ++seen;
    }
    return found;
}

// Where each of theirs' additions goes in mine: after the entry before it in
// theirs, or else before the entry after it, or else at the end.
void placeAdditions(Plan& plan, const Fingerprints& mine, const Fingerprints& theirs) {
    if (plan.addTheirs.empty()) return;
    std::vector<bool> added(theirs.size(), false);
    for (const qsizetype j : plan.addTheirs) added[static_cast<size_t>(j)] = true;
    const auto n = static_cast<qsizetype>(theirs.size());
    for (const qsizetype j : plan.addTheirs) {
        qsizetype before = j - 1;
        while (before >= 0 && added[static_cast<size_t>(before)]) --before;
        qsizetype after = j + 1;
        while (after < n && added[static_cast<size_t>(after)]) ++after;
        qsizetype place = static_cast<qsizetype>(mine.size()) - 1;
        if (const qsizetype i = before >= 0 ? inMine(mine, theirs, before) : -1; i >= 0) {
            place = i;
        } else if (before < 0 && after >= n) {
            place = static_cast<qsizetype>(mine.size()) - 1;
        } else if (const qsizetype k = after < n ? inMine(mine, theirs, after) : -1; k >= 0) {
            place = k - 1;
        } else if (before < 0) {
            place = -1;  // first in theirs, and nothing after it is known here
        }
        plan.addAfter.push_back(place);
    }
}

}  // namespace

void sortFingerprints(Fingerprints& f) {
    // A hundred thousand fingerprints sort several times faster by their
    // digits than by comparing them, and a merge sorts a few such lists.
    if (f.size() < 512) {
        std::sort(f.begin(), f.end());
        return;
    }
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t{1} << kBits;
    Fingerprints other(f.size());
    for (int shift = 0; shift < 64; shift += kBits) {
        std::vector<size_t> start(kBuckets + 1, 0);
        for (const quint64 v : f) ++start[((v >> shift) & (kBuckets - 1)) + 1];
        for (size_t b = 1; b <= kBuckets; ++b) start[b] += start[b - 1];
        for (const quint64 v : f) other[start[(v >> shift) & (kBuckets - 1)]++] = v;
        f.swap(other);
    }
}

Base baseOf(Fingerprints fingerprints) {
    sortFingerprints(fingerprints);
    fingerprints.shrink_to_fit();
    return fingerprints;
}

Plan merge(const Base& base, const Fingerprints& mine, const Fingerprints& theirs, const Base* theirsSorted) {
    Fingerprints m = mine;
    sortFingerprints(m);
    Fingerprints ownSorted;
    if (!theirsSorted) {
        ownSorted = theirs;
        sortFingerprints(ownSorted);
        theirsSorted = &ownSorted;
    }
    const Fingerprints& b = base;
    const Fingerprints& t = *theirsSorted;
    Plan plan;
    plan.merged.reserve(std::max(mine.size(), theirs.size()) + 16);
    // keep: how many of mine stay; add: how many of theirs are added.
    std::vector<Quota> quotas;
    size_t ib = 0;
    size_t im = 0;
    size_t it = 0;
    // How many times f comes next in a sorted list, moving past them.
    const auto take = [](const Fingerprints& sorted, size_t& at, quint64 f) {
        const size_t from = at;
        while (at < sorted.size() && sorted[at] == f) ++at;
        return static_cast<qsizetype>(at - from);
    };
    while (ib < b.size() || im < m.size() || it < t.size()) {
        quint64 f = ~quint64{0};
        if (ib < b.size()) f = std::min(f, b[ib]);
        if (im < m.size()) f = std::min(f, m[im]);
        if (it < t.size()) f = std::min(f, t[it]);
        const qsizetype inBase = take(b, ib, f);
        const qsizetype inMine = take(m, im, f);
        const qsizetype inTheirs = take(t, it, f);
        if (inBase == inMine && inMine == inTheirs) {
            plan.merged.insert(plan.merged.end(), static_cast<size_t>(inMine), f);
            continue;
        }
        const qsizetype dm = inMine - inBase;
        const qsizetype dt = inTheirs - inBase;
        qsizetype result = inBase + dm + dt;
        if (dm > 0 && dt > 0) result = inBase + std::max(dm, dt);
        if (dm < 0 && dt < 0) {
            result = inBase + std::min(dm, dt);
            plan.unmatched += -dm - std::max<qsizetype>(0, inTheirs - inMine);
        }
        result = std::max<qsizetype>(result, 0);
        plan.merged.insert(plan.merged.end(), static_cast<size_t>(result), f);
        if (result == inMine) continue;
        const qsizetype keep = std::min(inMine, result);
        quotas.push_back({f, keep, result - keep});
    }
    if (quotas.empty()) return plan;
    // Which of mine go: those past the count that stays.
    for (qsizetype i = 0; i < static_cast<qsizetype>(mine.size()); ++i) {
        Quota* q = find(quotas, mine[static_cast<size_t>(i)]);
        if (!q) continue;
        if (q->keep > 0) {
            --q->keep;
        } else {
            plan.dropMine.push_back(i);
        }
    }
    for (qsizetype j = 0; j < static_cast<qsizetype>(theirs.size()) && !quotas.empty(); ++j) {
        Quota* q = find(quotas, theirs[static_cast<size_t>(j)]);
        if (q && q->add > 0) {
            --q->add;
            plan.addTheirs.push_back(j);
        }
    }
    placeAdditions(plan, mine, theirs);
    return plan;
}

Plan addMissing(const Fingerprints& mine, const Fingerprints& theirs) {
    const std::vector<Run> m = runsOfUnsorted(mine);
    const std::vector<Run> t = runsOfUnsorted(theirs);
    std::vector<Quota> quotas;
    size_t im = 0;
    for (const Run& run : t) {
        while (im < m.size() && m[im].fingerprint < run.fingerprint) ++im;
        const qsizetype have = im < m.size() && m[im].fingerprint == run.fingerprint ? m[im].count : 0;
        if (run.count > have) quotas.push_back({run.fingerprint, 0, run.count - have});
    }
    Plan plan;
    for (qsizetype j = 0; j < static_cast<qsizetype>(theirs.size()); ++j) {
        Quota* q = find(quotas, theirs[static_cast<size_t>(j)]);
        if (q && q->add > 0) {
            --q->add;
            plan.addTheirs.push_back(j);
            plan.addAfter.push_back(static_cast<qsizetype>(mine.size()) - 1);  // at the end
        }
    }
    return plan;
}

}  // namespace VaultMerge
