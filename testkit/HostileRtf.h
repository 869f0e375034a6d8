#pragma once

// Help documents built to make a reader create as many distinct formats as the format allows: each run of
// one word in another font, colour pair or size, each paragraph with another tab stop, each table with
// other column widths. QTextDocument files formats under a hash in which font families, colour pairs with
// equal sums, tab stops and column widths collide, so a reader that makes a new format for each of these
// slows down with the square of their number. Each shape also comes alike, as a yardstick: the same runs
// in the first two formats by turns. Used by the reader's tests and its benchmark; the same shape and size give
// the same bytes on every machine.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace HostileRtf {

enum class Shape {
    Fonts,        // a table of thousands of fonts, each run in the next one
    ColourPairs,  // foreground and background colours whose components always add up the same
    Sizes,        // each run in the next font size, from 12 points up
    Mixed,        // font, colour pair, size and style drawn at random for each run
    TabStops,     // a paragraph for each run, each with its own tab stop
    Tables,       // a one-cell table for each run, each with its own width
};

constexpr int kEntries = 4000;  // fonts, and colours after the automatic one: nearly all a table may hold
// Half-points from 2: 1 to 72 points. Larger type makes a document of this length too tall for Qt's
// layout, which stalls past about eight million pixels whatever the formats.
constexpr int kSizes = 143;

struct Document {
    QByteArray rtf;
    QStringList words;  // the runs' text, in order; each word only once
};

inline const char* shapeName(Shape shape) {
    switch (shape) {
        case Shape::Fonts: return "fonts";
        case Shape::ColourPairs: return "colour_pairs";
        case Shape::Sizes: return "sizes";
        case Shape::Mixed: return "mixed";
        case Shape::TabStops: return "tab_stops";
        case Shape::Tables: return "tables";
    }
    return "?";
}

namespace detail {

// splitmix64, so the documents are the same with every standard library.
class Random {
public:
    explicit Random(quint64 seed) : state_(seed) {}
    int below(int n) {
        quint64 z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return int((z ^ (z >> 31)) % quint64(n));
    }

private:
    quint64 state_;
};

inline QByteArray num(int n) { return QByteArray::number(n); }

inline QByteArray fontTable(int entries) {
    QByteArray t = "{\\fonttbl";
    for (int f = 0; f < entries; ++f) t += "{\\f" + num(f) + "\\fnil Font " + num(f) + ";}";
    return t + "}\n";
}

// Colour 1 + x has the value x, in green and blue, so the pair (1 + x, entries - x) always sums to the same.
inline QByteArray colourTable(int entries) {
    QByteArray t = "{\\colortbl;";
    for (int x = 0; x < entries; ++x) t += "\\red0\\green" + num(x >> 8) + "\\blue" + num(x & 0xFF) + ";";
    return t + "}\n";
}

inline QByteArray colourPair(int x, int entries) { return "\\cf" + num(1 + x) + "\\cb" + num(entries - x); }

inline QByteArray runFormat(Shape shape, int i, int entries, Random& random) {
    switch (shape) {
        case Shape::Fonts: return "\\f" + num(i % entries) + "\\fs24";
        case Shape::ColourPairs: return colourPair(i % entries, entries) + "\\fs24";
        case Shape::Sizes: return "\\f0\\fs" + num(2 + (22 + i) % kSizes);
        case Shape::Mixed: {
            const int font = random.below(entries);  // drawn one at a time, so the order is fixed
            const int pair = random.below(entries);
            QByteArray f = "\\f" + num(font) + colourPair(pair, entries);
            f += "\\fs" + num(2 + random.below(kSizes));
            f += random.below(2) ? "\\b" : "\\b0";
            f += random.below(2) ? "\\i" : "\\i0";
            return f;
        }
        default: return {};
    }
}

// The i-th run, of one word, in format f; runs in formats end their paragraph after every 20th.
inline QByteArray run(Shape shape, int i, int f, int entries, Random& random, const QByteArray& word) {
    const QByteArray width = num(100 + f % 30000);
    switch (shape) {
        case Shape::TabStops: return "\\pard\\tx" + width + " " + word + "\\par\n";
        case Shape::Tables: return "\\trowd\\cellx" + width + "\\intbl " + word + "\\cell\\row\\pard\\par\n";
        default: return runFormat(shape, f, entries, random) + " " + word + (i % 20 == 19 ? "\\par\n" : " ");
    }
}

}  // namespace detail

// Runs of one word each until the file holds at least `bytes` bytes; when alike, in two formats only.
// Smaller font and colour tables make a smaller file.
inline Document make(Shape shape, qsizetype bytes, bool alike = false, int entries = kEntries) {
    using namespace detail;
    constexpr quint64 kSeed = 0x48454C50;
    Random random(kSeed);
    Document d;
    d.rtf = "{\\rtf1\\ansi\\deff0\n" + fontTable(entries) + colourTable(entries);
    d.rtf.reserve(bytes + 256);
    for (int i = 0; d.rtf.size() < bytes; ++i) {
        const QByteArray word = "w" + num(i);
        if (alike) random = Random(kSeed + i % 2);
        d.rtf += run(shape, i, alike ? i % 2 : i, entries, random, word);
        d.words << QString::fromLatin1(word);
    }
    d.rtf += "}";
    return d;
}

}  // namespace HostileRtf
