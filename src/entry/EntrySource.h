#pragma once

#include "entry/PackedEntry.h"

#include <QtGlobal>

// The entries of a new version, built or compared one at a time: an entry
// that is already held need not be built again to be known for the same.
class EntrySource {
public:
    virtual ~EntrySource() = default;
    virtual qsizetype count() const = 0;
    // Entry i holds exactly these three texts.
    virtual bool holds(qsizetype i, const PackedEntry& entry) const = 0;
    virtual PackedEntry make(qsizetype i) const = 0;
};
