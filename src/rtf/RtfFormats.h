#pragma once

#include "rtf/RtfLimits.h"
#include "rtf/RtfLinks.h"
#include "rtf/RtfState.h"
#include "rtf/RtfTables.h"

#include <QRandomGenerator>
#include <QTextFormat>

#include <unordered_map>
#include <utility>
#include <vector>

namespace Rtf {

// Layouts are written in twips, 15 to a pixel at 96 dpi.
inline double toPixels(int twips) { return twips / 15.0; }

// A table's format: its column count and the first row's cell edges.
struct TableKey {
    qsizetype columns = 0;
    std::vector<int> cellx;
    bool operator==(const TableKey&) const = default;
};

size_t qHash(const CharProps& c, size_t seed = 0);
size_t qHash(const RunKey& k, size_t seed = 0);
size_t qHash(const ParaProps& p, size_t seed = 0);
size_t qHash(const TableKey& k, size_t seed = 0);

// QTextDocument files formats under a hash in which font families, colour pairs with equal sums and tab
// stops collide, and compares each format it is given with every one it collides with: making a format
// per run is quadratic on a file built for it. So each distinct format is made once, carries a random tag
// that spreads it over that hash, and a document makes only so many.
template <class Key, class Format>
class FormatCache {
public:
    explicit FormatCache(size_t limit) : limit_(limit) {}

    bool full() const { return made_.size() >= limit_; }

    const Format* find(const Key& key) const {
        const auto it = made_.find(key);
        return it == made_.end() ? nullptr : &it->second;
    }

    const Format& add(const Key& key, Format format) {
        format.setProperty(kTagProperty, int(QRandomGenerator::global()->generate()));
        return made_.insert_or_assign(key, std::move(format)).first->second;
    }

private:
    static constexpr int kTagProperty = QTextFormat::UserProperty;
    struct Hash {
        size_t operator()(const Key& key) const { return qHash(key); }
    };
    std::unordered_map<Key, Format, Hash> made_;
    size_t limit_;
};

// The formats of one document's text, paragraphs and tables, each made once, and within the bounds of
// RtfReader.h: past them, the nearest format made already.
class Formats {
public:
    Formats(const Tables& tables, const Links& links) : tables_(tables), links_(links) {}

    QTextCharFormat charFormat(const RunKey& run);
    QTextBlockFormat blockFormat(const ParaProps& props);
    QTextTableFormat tableFormat(qsizetype columns, const std::vector<int>& cellx);

private:
    static constexpr size_t kMaxTableFormats = 256;  // distinct ones per document, as for text and paragraphs

    RunKey formatKey(const RunKey& run) const;
    QTextCharFormat makeCharFormat(const RunKey& key) const;

    const Tables& tables_;
    const Links& links_;
    FormatCache<RunKey, QTextCharFormat> charFormats_{size_t(RtfReader::kMaxCharFormats)};
    FormatCache<ParaProps, QTextBlockFormat> blockFormats_{size_t(RtfReader::kMaxParagraphFormats)};
    FormatCache<TableKey, QTextTableFormat> tableFormats_{kMaxTableFormats};
};

}  // namespace Rtf
