#pragma once

#include <QtGlobal>

#include <string_view>

// The control words the reader knows, each with what it means.
namespace Rtf {

enum class Kw : quint8 {
    // clang-format off
    // destinations
    FontTable, ColourTable, StyleSheet, Picture, Field, FieldCode, FieldResult, Shape, ShapeInstructions,
    ShapeText, ShapeProperty, ShapeName, ShapeValue, UnicodePair, Bookmark, SkipDestination, KeepDestination,
    // document, tables of fonts, colours and styles, pictures and shapes
    CodePage, AnsiCodePage, DefaultFont, DefaultTab, UnicodeSkip, Unicode, FontCharset, FontCodePage, Red,
    Green, Blue, Style, CharStyle, OtherStyle, BasedOn, Blip, PicWidthGoal, PicHeightGoal, PicScaleX,
    PicScaleY, ShapeLeft, ShapeTop, ShapeRight, ShapeBottom,
    // text and tables
    Par, Line, Tab, Char, Cell, Row, NestedCell, NestedRow, RowDefaults, CellRight,
    // character and paragraph properties, which styles may hold
    Plain, Font, Bold, Italic, Underline, UnderlineNone, Strike, Hidden, Caps, VAlign, FontSize, Foreground,
    Background, ParDefaults, Align, LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter,
    LineSpacing, LineMultiple, InTable, TableLevel, TabKind, TabStop,
    // clang-format on
};

constexpr bool isDestination(Kw kw) { return kw <= Kw::KeepDestination; }
constexpr bool isProperty(Kw kw) { return kw >= Kw::Plain; }

struct Word {
    Kw kw;
    int arg = 0;
};

// The word of that name; nullptr for words the reader does not know.
const Word* findWord(std::string_view name);

}  // namespace Rtf
