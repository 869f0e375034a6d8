#pragma once

#include "rtf/ControlWords.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextOption>

#include <array>

// What each group of a document is in: its destination and the character and paragraph properties in
// force, which a group's end restores to its parent's.
namespace Rtf {

constexpr int kMaxTabs = 16;
constexpr int kDefaultHalfPoints = 24;

enum class Dest : quint8 {
    Text,  // shown
    Skip,  // nothing inside is shown
    Upr,   // the ANSI half of \upr: skipped up to its \ud
    FontTable,
    ColourTable,
    StyleSheet,
    StyleEntry,
    FieldCode,     // \fldinst
    Picture,       // \pict data
    Shape,         // \shpinst: only its properties count
    ShapeName,     // \sn
    ShapePicture,  // the \sv of a shape's picture property
    Bookmark,      // the name of a bookmark that starts here
};

struct CharProps {
    int font = -1;
    int halfPoints = kDefaultHalfPoints;
    int foreground = -1;  // colour table index; -1 is automatic
    int background = -1;
    int underline = QTextCharFormat::NoUnderline;
    int valign = QTextCharFormat::AlignNormal;
    int caps = QFont::MixedCase;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharProps&) const = default;
};

struct TabStop {
    int twips = 0;
    quint8 kind = QTextOption::LeftTab;
    bool operator==(const TabStop&) const = default;
};

struct ParaProps {
    int align = Qt::AlignLeft;
    int left = 0, right = 0, first = 0, before = 0, after = 0, lineSpacing = 0;  // twips
    bool lineMultiple = false;
    bool inTable = false;
    quint8 tabKind = QTextOption::LeftTab;  // for the next \tx
    quint8 tabCount = 0;
    std::array<TabStop, kMaxTabs> tabs{};
    bool operator==(const ParaProps&) const = default;
};

struct State {
    CharProps chr;
    ParaProps para;
    Dest dest = Dest::Text;
    Dest uprOuter = Dest::Text;
    int uc = 1;
    int field = -1;
    int link = -1;  // the field whose hyperlink this text is
    bool starred = false;
};

// Text that shares one character format.
struct RunKey {
    CharProps chr;
    int link = -1;     // the link target's number in the reader's names
    int anchors = -1;  // the bookmarks that start here
    bool operator==(const RunKey&) const = default;
};

// Applies a character or paragraph property word to s; \plain returns to defaultFont.
void applyProperty(State& s, Kw kw, int arg, bool hasParam, int param, int defaultFont);

}  // namespace Rtf
