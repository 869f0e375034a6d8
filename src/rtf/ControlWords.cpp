#include "rtf/ControlWords.h"

#include "rtf/CodePages.h"

#include <QFont>
#include <QTextCharFormat>
#include <QTextOption>

#include <unordered_map>
#include <utility>

namespace Rtf {
namespace {

using WordTable = std::unordered_map<std::string_view, Word>;

// clang-format off
void addSkipped(WordTable& t) {
    // Destinations whose content is not part of the text.
    for (std::string_view name :
         {"info", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
          "footnote", "themedata", "colorschememapping", "datastore", "latentstyles", "generator", "xmlnstbl",
          "listtable", "listoverridetable", "rsidtbl", "revtbl", "filetbl", "pgdsctbl", "xe", "tc",
          "bkmkend", "annotation", "atnid", "atnauthor", "atndate", "atnref", "atnicn",
          "atrfstart", "atrfend", "atnparent", "pn", "pnseclvl", "nonshppict", "shprslt", "objdata",
          "objclass", "objname", "mmathPr", "fchars", "lchars", "private", "docvar", "template", "userprops",
          "nesttableprops", "nonesttables", "listpicture", "ftnsep", "ftnsepc", "ftncn", "aftnsep",
          "aftnsepc", "aftncn", "wgrffmtfilter", "pgptbl", "protusertbl", "fontemb", "fontfile", "falt",
          "panose", "keycode", "datafield", "formfield", "blipuid", "picprop", "background", "do",
          "passwordhash", "title", "author", "operator", "subject", "keywords", "comment", "doccomm",
          "company"})
        t.emplace(name, Word{Kw::SkipDestination});
    for (std::string_view name : {"listtext", "pntext", "shppict", "object", "result", "ud"})
        t.emplace(name, Word{Kw::KeepDestination});
}

void addCharacters(WordTable& t) {
    const std::pair<std::string_view, int> chars[] = {
        {"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},  {"lquote", 0x2018},
        {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
        {"enspace", 0x2002}, {"qmspace", 0x2005},   {"zwj", 0x200D},     {"zwnj", 0x200C},
        {"ltrmark", 0x200E}, {"rtlmark", 0x200F},   {"zwbo", 0x200B},    {"zwnbo", 0x2060}};
    for (const auto& [name, c] : chars) t.emplace(name, Word{Kw::Char, c});
}

void addUnderlines(WordTable& t) {
    const std::pair<std::string_view, QTextCharFormat::UnderlineStyle> styles[] = {
        {"ul", QTextCharFormat::SingleUnderline},       {"uldb", QTextCharFormat::SingleUnderline},
        {"ulth", QTextCharFormat::SingleUnderline},     {"ulw", QTextCharFormat::SingleUnderline},
        {"uld", QTextCharFormat::DotLine},              {"ulthd", QTextCharFormat::DotLine},
        {"uldash", QTextCharFormat::DashUnderline},     {"ulthdash", QTextCharFormat::DashUnderline},
        {"ulldash", QTextCharFormat::DashUnderline},    {"ulthldash", QTextCharFormat::DashUnderline},
        {"uldashd", QTextCharFormat::DashDotLine},      {"ulthdashd", QTextCharFormat::DashDotLine},
        {"uldashdd", QTextCharFormat::DashDotDotLine},  {"ulthdashdd", QTextCharFormat::DashDotDotLine},
        {"ulwave", QTextCharFormat::WaveUnderline},     {"ulhwave", QTextCharFormat::WaveUnderline},
        {"ululdbwave", QTextCharFormat::WaveUnderline}};
    for (const auto& [name, style] : styles) t.emplace(name, Word{Kw::Underline, style});
}

WordTable makeWords() {
    WordTable t;
    addSkipped(t);
    addCharacters(t);
    addUnderlines(t);
    const std::pair<std::string_view, Word> words[] = {
        {"fonttbl", {Kw::FontTable}}, {"colortbl", {Kw::ColourTable}}, {"stylesheet", {Kw::StyleSheet}},
        {"pict", {Kw::Picture}}, {"field", {Kw::Field}}, {"fldinst", {Kw::FieldCode}},
        {"fldrslt", {Kw::FieldResult}}, {"shp", {Kw::Shape}}, {"shpgrp", {Kw::Shape}},
        {"shpinst", {Kw::ShapeInstructions}}, {"shptxt", {Kw::ShapeText}}, {"sp", {Kw::ShapeProperty}},
        {"sn", {Kw::ShapeName}}, {"sv", {Kw::ShapeValue}}, {"upr", {Kw::UnicodePair}},
        {"bkmkstart", {Kw::Bookmark}},
        {"ansi", {Kw::CodePage, kAnsiCodePage}}, {"mac", {Kw::CodePage, 10000}}, {"pc", {Kw::CodePage, 437}},
        {"pca", {Kw::CodePage, 850}}, {"ansicpg", {Kw::AnsiCodePage}}, {"deff", {Kw::DefaultFont}},
        {"uc", {Kw::UnicodeSkip}}, {"u", {Kw::Unicode}}, {"fcharset", {Kw::FontCharset}},
        {"cpg", {Kw::FontCodePage}}, {"red", {Kw::Red}}, {"green", {Kw::Green}}, {"blue", {Kw::Blue}},
        {"s", {Kw::Style}}, {"cs", {Kw::CharStyle}}, {"ds", {Kw::OtherStyle}}, {"ts", {Kw::OtherStyle}},
        {"sbasedon", {Kw::BasedOn}}, {"pngblip", {Kw::Blip, 1}}, {"jpegblip", {Kw::Blip, 2}},
        {"emfblip", {Kw::Blip, 0}}, {"wmetafile", {Kw::Blip, 0}}, {"dibitmap", {Kw::Blip, 0}},
        {"wbitmap", {Kw::Blip, 0}}, {"macpict", {Kw::Blip, 0}}, {"pmmetafile", {Kw::Blip, 0}},
        {"picwgoal", {Kw::PicWidthGoal}}, {"pichgoal", {Kw::PicHeightGoal}}, {"picscalex", {Kw::PicScaleX}},
        {"picscaley", {Kw::PicScaleY}}, {"shpleft", {Kw::ShapeLeft}}, {"shptop", {Kw::ShapeTop}},
        {"shpright", {Kw::ShapeRight}}, {"shpbottom", {Kw::ShapeBottom}}, {"par", {Kw::Par}},
        {"sect", {Kw::Par}}, {"page", {Kw::Par}}, {"column", {Kw::Par}}, {"line", {Kw::Line}},
        {"tab", {Kw::Tab}}, {"cell", {Kw::Cell}}, {"row", {Kw::Row}}, {"nestcell", {Kw::NestedCell}},
        {"nestrow", {Kw::NestedRow}}, {"trowd", {Kw::RowDefaults}}, {"cellx", {Kw::CellRight}},
        {"plain", {Kw::Plain}}, {"f", {Kw::Font}}, {"b", {Kw::Bold}}, {"i", {Kw::Italic}},
        {"ulnone", {Kw::UnderlineNone}}, {"strike", {Kw::Strike}}, {"striked", {Kw::Strike}},
        {"v", {Kw::Hidden}}, {"caps", {Kw::Caps, QFont::AllUppercase}},
        {"scaps", {Kw::Caps, QFont::SmallCaps}},
        {"super", {Kw::VAlign, QTextCharFormat::AlignSuperScript}},
        {"sub", {Kw::VAlign, QTextCharFormat::AlignSubScript}},
        {"nosupersub", {Kw::VAlign, QTextCharFormat::AlignNormal}}, {"fs", {Kw::FontSize}},
        {"cf", {Kw::Foreground}}, {"cb", {Kw::Background}}, {"highlight", {Kw::Background}},
        {"chcbpat", {Kw::Background}}, {"pard", {Kw::ParDefaults}}, {"ql", {Kw::Align, Qt::AlignLeft}},
        {"qc", {Kw::Align, Qt::AlignHCenter}}, {"qr", {Kw::Align, Qt::AlignRight}},
        {"qj", {Kw::Align, Qt::AlignJustify}}, {"qd", {Kw::Align, Qt::AlignJustify}},
        {"li", {Kw::LeftIndent}}, {"lin", {Kw::LeftIndent}}, {"ri", {Kw::RightIndent}},
        {"rin", {Kw::RightIndent}}, {"fi", {Kw::FirstIndent}}, {"sb", {Kw::SpaceBefore}},
        {"sa", {Kw::SpaceAfter}}, {"sl", {Kw::LineSpacing}}, {"slmult", {Kw::LineMultiple}},
        {"intbl", {Kw::InTable}}, {"itap", {Kw::TableLevel}}, {"tqr", {Kw::TabKind, QTextOption::RightTab}},
        {"tqc", {Kw::TabKind, QTextOption::CenterTab}}, {"tqdec", {Kw::TabKind, QTextOption::DelimiterTab}},
        {"tx", {Kw::TabStop}}, {"deftab", {Kw::DefaultTab}}};
    for (const auto& [name, word] : words) t.emplace(name, word);
    return t;
}
// clang-format on

}  // namespace

const Word* findWord(std::string_view name) {
    static const WordTable table = makeWords();
    const auto found = table.find(name);
    return found == table.end() ? nullptr : &found->second;
}

}  // namespace Rtf
