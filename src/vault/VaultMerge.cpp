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
    std::sort(fingerprints.begin(), fingerprints.end());
    return runsOf(fingerprints);
}

// For a fingerprint whose entries change: how many of theirs stay, and how
// many of mine are added.
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

qsizetype countAt(const std::vector<Run>& runs, size_t& at, quint64 f) {
    if (at < runs.size() && runs[at].fingerprint == f) return runs[at++].count;
    return 0;
}

}  // namespace

Base baseOf(Fingerprints fingerprints) {
    std::sort(fingerprints.begin(), fingerprints.end());
    fingerprints.shrink_to_fit();
    return fingerprints;
}

Plan merge(const Base& base, const Fingerprints& mine, const Fingerprints& theirs) {
    const std::vector<Run> b = runsOf(base);
    const std::vector<Run> m = runsOfUnsorted(mine);
    const std::vector<Run> t = runsOfUnsorted(theirs);
    Plan plan;
    std::vector<Quota> quotas;
    size_t ib = 0;
    size_t im = 0;
    size_t it = 0;
    while (ib < b.size() || im < m.size() || it < t.size()) {
        quint64 f = ~quint64{0};
        if (ib < b.size()) f = std::min(f, b[ib].fingerprint);
        if (im < m.size()) f = std::min(f, m[im].fingerprint);
        if (it < t.size()) f = std::min(f, t[it].fingerprint);
        const qsizetype inBase = countAt(b, ib, f);
        const qsizetype inMine = countAt(m, im, f);
        const qsizetype inTheirs = countAt(t, it, f);
        const qsizetype dm = inMine - inBase;
        const qsizetype dt = inTheirs - inBase;
        qsizetype result = inBase + dm + dt;
        if (dm > 0 && dt > 0) result = inBase + std::max(dm, dt);
        if (dm < 0 && dt < 0) {
            result = inBase + std::min(dm, dt);
            plan.unmatched += -dm - std::max<qsizetype>(0, inTheirs - inMine);
        }
        result = std::max<qsizetype>(result, 0);
        const qsizetype keep = std::min(inTheirs, result);
        const qsizetype add = result - keep;
        if (keep == inTheirs && add == 0) continue;
        plan.removed += inTheirs - keep;
        plan.added += add;
        quotas.push_back({f, keep, add});
    }

    std::vector<qsizetype> additions;
    for (qsizetype i = 0; i < static_cast<qsizetype>(mine.size()); ++i) {
        Quota* q = find(quotas, mine[static_cast<size_t>(i)]);
        if (q && q->add > 0) {
            --q->add;
            additions.push_back(i);
        }
    }
    plan.picks.reserve(theirs.size() + additions.size());
    size_t next = 0;
    for (qsizetype j = 0; j < static_cast<qsizetype>(theirs.size()); ++j) {
        Quota* q = find(quotas, theirs[static_cast<size_t>(j)]);
        if (!q || q->keep > 0) {
            if (q) --q->keep;
            plan.picks.push_back({false, j});
        } else if (next < additions.size()) {
            // An edit stays where the entry it replaces was.
            plan.picks.push_back({true, additions[next++]});
        }
    }
    for (; next < additions.size(); ++next) plan.picks.push_back({true, additions[next]});
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
    plan.picks.reserve(mine.size());
    for (qsizetype i = 0; i < static_cast<qsizetype>(mine.size()); ++i) plan.picks.push_back({true, i});
    for (qsizetype j = 0; j < static_cast<qsizetype>(theirs.size()); ++j) {
        Quota* q = find(quotas, theirs[static_cast<size_t>(j)]);
        if (q && q->add > 0) {
            --q->add;
            plan.picks.push_back({false, j});
            ++plan.added;
        }
    }
    return plan;
}

}  // namespace VaultMerge
