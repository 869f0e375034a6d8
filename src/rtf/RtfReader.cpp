#include "rtf/RtfReader.h"

#include "text/CodePage.h"

#include <QBuffer>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace RtfReader {
namespace {

// Limits that keep a hostile file from costing more than its size.
constexpr int kMaxDepth = 1000;           // groups; deeper braces are only counted
constexpr qsizetype kMaxWordLength = 32;  // letters in a control word
constexpr qint64 kParamLimit = qint64(INT_MAX) + 1;
constexpr size_t kMaxColumns = 64;
constexpr qsizetype kMaxTableCells = 100000;  // grid cells of one table, filled or not
constexpr size_t kMaxFonts = 4096;
constexpr size_t kMaxColours = 4096;
constexpr size_t kMaxFields = 65536;
constexpr qsizetype kMaxFieldCode = 4096;
constexpr qsizetype kMaxName = 256;
constexpr int kMaxAnchorsAtOnePlace = 16;
constexpr size_t kMaxTableFormats = 256;  // distinct ones per document, as for text and paragraphs
constexpr size_t kMaxStyles = 1024;
constexpr size_t kMaxStyleWords = 64;
constexpr int kMaxStyleChain = 8;
constexpr int kMaxUc = 255;
constexpr size_t kMaxDecoders = 16;
constexpr int kMaxImageSide = 16384;
constexpr qint64 kMaxImagePixels = 4096LL * 4096;
constexpr double kMaxShownSide = 8000;  // pixels
constexpr double kMinColumnWidth = 8;  // pixels
constexpr double kMaxColumnWidth = 2000;
constexpr int kMaxTwips = 31680;  // 22 inches, more than any page
constexpr int kMaxTabs = 16;
constexpr int kDefaultTab = 720;  // twips, as Word has it
constexpr int kMaxHalfPoints = 3276;
constexpr int kDefaultHalfPoints = 24;

constexpr int kAnsiCodePage = 1252;
constexpr int kSymbolCodePage = -2;  // the Symbol font's own encoding

// ---- code pages ----

// Bullets set in the Symbol font are its 0xB7; the rest is rare enough to read as Windows-1252.
QString decodeSymbol(QByteArrayView bytes) {
    QString out = CodePage::decode(bytes);
    out.replace(QChar(0x00B7), QChar(0x2022));
    return out;
}

QByteArray codecName(int codePage) {
    switch (codePage) {
        case 874: return "windows-874";
        case 932: return "Shift_JIS";
        case 936: return "GBK";
        case 949: return "windows-949";
        case 950: return "Big5";
        case 10000: return "macintosh";
        case 65001: return "UTF-8";
        default: break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "windows-" + QByteArray::number(codePage);
    if (codePage >= 437 && codePage <= 869) return "IBM" + QByteArray::number(codePage);
    if (codePage >= 28591 && codePage <= 28606) return "ISO-8859-" + QByteArray::number(codePage - 28590);
    return {};
}

// What \fcharsetN means; 0 (ANSI) and 1 (default) defer to the document's \ansicpg.
int charsetCodePage(int charset) {
    switch (charset) {
        case 2: return kSymbolCodePage;
        case 77: return 10000;
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        case 254: return 437;
        case 255: return 850;
        default: return 0;
    }
}

class Decoders {
public:
    QString decode(QByteArrayView bytes, int codePage) {
        if (codePage == kSymbolCodePage) return decodeSymbol(bytes);
        if (codePage == kAnsiCodePage) return CodePage::decode(bytes);
        QStringDecoder* decoder = find(codePage);
        return decoder ? QString(decoder->decode(bytes)) : CodePage::decode(bytes);
    }

private:
    QStringDecoder* find(int codePage) {
        auto it = decoders_.find(codePage);
        if (it == decoders_.end()) {
            if (decoders_.size() >= kMaxDecoders) return nullptr;
            const QByteArray name = codecName(codePage);
            const char* known = name.isEmpty() ? "-" : name.constData();
            it = decoders_.emplace(codePage, QStringDecoder(known, QStringConverter::Flag::Stateless)).first;
        }
        return it->second.isValid() ? &it->second : nullptr;
    }

    std::unordered_map<int, QStringDecoder> decoders_;
};

// Characters a QTextDocument must not get from a file: controls, and the ones it uses for its own
// structure. Surrogates are paired up later, once a run's text is complete.
void appendCleaned(QString& out, QStringView text) {
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\t' || ch.isSurrogate()) {
            out.append(ch);
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            continue;
        } else if (u == QChar::ParagraphSeparator) {
            out.append(QChar(QChar::LineSeparator));
        } else if (u == QChar::ObjectReplacementCharacter || (u >= 0xFDD0 && u <= 0xFDEF) || u >= 0xFFFE) {
            out.append(QChar(QChar::ReplacementCharacter));
        } else {
            out.append(ch);
        }
    }
}

QString pairedSurrogates(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (!out[i].isSurrogate()) continue;
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString fromCodePoint(char32_t c) {
    if (c <= 0xFFFF) return QString(QChar(char16_t(c)));
    const char32_t pair[] = {c};
    return QString::fromUcs4(pair, 1);
}

// ---- control words ----

enum class Kw : quint8 {
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
};

constexpr bool isDestination(Kw kw) { return kw <= Kw::KeepDestination; }
constexpr bool isProperty(Kw kw) { return kw >= Kw::Plain; }

struct Word {
    Kw kw;
    int arg = 0;
};

using WordTable = std::unordered_map<std::string_view, Word>;

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

const WordTable& wordTable() {
    static const WordTable table = makeWords();
    return table;
}

// ---- reader state ----

enum class Dest : quint8 {
    Text,          // shown
    Skip,          // nothing inside is shown
    Upr,           // the ANSI half of \upr: skipped up to its \ud
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

struct Item {
    RunKey key;
    QString text;
    std::optional<QTextImageFormat> image;
};

struct Para {
    std::vector<Item> items;
    QTextBlockFormat format;
};

struct Cell {
    std::vector<Para> paras;
};

struct Row {
    std::vector<Cell> cells;
    // cppcheck-suppress unusedStructMember ; read through rows_ for the table's format
    std::vector<int> cellx;
};

// A table's format: its column count and the first row's cell edges.
struct TableKey {
    qsizetype columns = 0;
    std::vector<int> cellx;
    bool operator==(const TableKey&) const = default;
};

struct Font {
    int family = -1;  // the name, by number
    int charset = 0;
    int codePage = 0;
};

struct StyleWord {
    Kw kw;
    int arg;
    bool hasParam;
    int param;
};

struct Style {
    int basedOn = -1;
    std::vector<StyleWord> words;
};

using StyleMap = std::unordered_map<int, Style>;

struct Field {
    QString code;
    int target = -1;  // a hyperlink's target, by number
    bool resolved = false;
};

struct Picture {
    enum class Kind : quint8 { Other, Png, Jpeg };
    Kind kind = Kind::Other;
    int goalWidth = 0, goalHeight = 0;  // twips
    int scaleX = 100, scaleY = 100;     // percent
    bool inShape = false;
    int nibble = -1;
    QByteArray data;
};

struct ShapeBox {
    int left = 0, top = 0, right = 0, bottom = 0;  // twips
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool endsText(char c) { return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n'; }

// Layouts are written in twips, 15 to a pixel at 96 dpi.
double toPixels(int twips) { return twips / 15.0; }

void appendCapped(QString& to, QStringView text, qsizetype cap) {
    if (to.size() < cap) appendCleaned(to, text.first(std::min(text.size(), cap - to.size())));
}

// Field arguments: words, or "quoted strings" without their quotes.
QStringList fieldArguments(const QString& code) {
    QStringList args;
    qsizetype i = 0;
    const qsizetype n = code.size();
    while (i < n) {
        while (i < n && code[i].isSpace()) ++i;
        if (i >= n) break;
        qsizetype start = i;
        if (code[i] == u'"') {
            start = ++i;
            while (i < n && code[i] != u'"') ++i;
            args.append(code.mid(start, i - start));
            ++i;
        } else {
            while (i < n && !code[i].isSpace()) ++i;
            args.append(code.mid(start, i - start));
        }
    }
    return args;
}

// The target of a HYPERLINK field: its address, or "#name" for \l "name", or both.
QString hyperlinkTarget(const QString& code) {
    const QStringList args = fieldArguments(code);
    if (args.isEmpty() || args.front().compare(u"HYPERLINK", Qt::CaseInsensitive) != 0) return {};
    QString url;
    QString anchor;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"\\l" && i + 1 < args.size()) {
            anchor = args[++i];
        } else if ((a == u"\\o" || a == u"\\t") && i + 1 < args.size()) {
            ++i;  // tooltip or target frame
        } else if (!a.startsWith(u'\\') && url.isEmpty()) {
            url = a;
        }
    }
    if (!anchor.isEmpty()) url += u'#' + anchor;
    return url;
}

// RTF measures tab stops from the margin, Qt from where the line starts; this places them for the first
// line, where tabs nearly always are. A hanging first line tabs to the indent, as in a bulleted list.
void setTabs(QTextBlockFormat& f, const ParaProps& p) {
    const int lineStart = p.left + p.first;
    QList<QTextOption::Tab> tabs;
    if (p.first < 0) tabs.append(QTextOption::Tab(toPixels(-p.first), QTextOption::LeftTab));
    for (int i = 0; i < p.tabCount; ++i) {
        const TabStop& t = p.tabs[size_t(i)];
        if (t.twips > lineStart)
            tabs.append(QTextOption::Tab(toPixels(t.twips - lineStart), QTextOption::TabType(t.kind)));
    }
    // Qt takes the first stop past the pen, so they must be in order.
    using Tab = QTextOption::Tab;
    const auto before = [](const Tab& a, const Tab& b) { return a.position < b.position; };
    std::stable_sort(tabs.begin(), tabs.end(), before);
    if (!tabs.isEmpty()) f.setTabPositions(tabs);
}

QTextBlockFormat blockFormat(const ParaProps& p) {
    QTextBlockFormat f;
    f.setAlignment(Qt::Alignment::fromInt(p.align));
    if (p.left > 0) f.setLeftMargin(toPixels(p.left));
    if (p.right > 0) f.setRightMargin(toPixels(p.right));
    if (p.first != 0) f.setTextIndent(toPixels(p.first));
    if (p.before > 0) f.setTopMargin(toPixels(p.before));
    if (p.after > 0) f.setBottomMargin(toPixels(p.after));
    setTabs(f, p);
    if (p.lineSpacing != 0 && p.lineMultiple) {
        const double percent = std::clamp(std::abs(p.lineSpacing) * 100.0 / 240.0, 50.0, 500.0);
        f.setLineHeight(percent, QTextBlockFormat::ProportionalHeight);
    } else if (p.lineSpacing > 0) {
        f.setLineHeight(toPixels(p.lineSpacing), QTextBlockFormat::MinimumHeight);
    } else if (p.lineSpacing < 0) {
        f.setLineHeight(toPixels(-p.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    return f;
}

// Only the tab distance: a QTextEdit keeps its wrapping in the same option.
void setDefaultTab(QTextDocument* doc, int twips) {
    QTextOption option = doc->defaultTextOption();
    option.setTabStopDistance(std::clamp(toPixels(twips), 1.0, 1000.0));
    doc->setDefaultTextOption(option);
}

QTextTableFormat tableFormat(const TableKey& key) {
    QTextTableFormat f;
    f.setBorder(1);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setBorderCollapse(true);
    f.setCellSpacing(0);
    f.setCellPadding(4);
    if (qsizetype(key.cellx.size()) != key.columns) return f;
    QList<QTextLength> widths;
    int left = 0;
    for (const int right : key.cellx) {
        if (right <= left) return f;
        const double width = std::clamp(toPixels(right - left), kMinColumnWidth, kMaxColumnWidth);
        widths.append(QTextLength(QTextLength::FixedLength, width));
        left = right;
    }
    f.setColumnWidthConstraints(widths);
    return f;
}

// ---- formats ----

// Texts by number, each distinct one once.
class Names {
public:
    int id(const QString& text) {
        const auto it = ids_.constFind(text);
        if (it != ids_.cend()) return *it;
        texts_.push_back(text);
        return *ids_.insert(text, int(texts_.size()) - 1);
    }
    const QString& text(int id) const { return texts_[size_t(id)]; }

private:
    QHash<QString, int> ids_;
    std::vector<QString> texts_;
};

size_t qHash(const CharProps& c, size_t seed = 0) {
    return qHashMulti(seed, c.font, c.halfPoints, c.foreground, c.background, c.underline, c.valign, c.caps,
                      c.bold, c.italic, c.strike, c.hidden);
}

size_t qHash(const RunKey& k, size_t seed = 0) { return qHashMulti(seed, k.chr, k.link, k.anchors); }

size_t qHash(const TableKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.columns, qHashRange(k.cellx.begin(), k.cellx.end()));
}

size_t qHash(const ParaProps& p, size_t seed = 0) {
    seed = qHashMulti(seed, p.align, p.left, p.right, p.first, p.before, p.after, p.lineSpacing, p.lineMultiple,
                      p.inTable, p.tabKind, p.tabCount);
    for (int i = 0; i < p.tabCount; ++i) seed = qHashMulti(seed, p.tabs[size_t(i)].twips, p.tabs[size_t(i)].kind);
    return seed;
}

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

// ---- the reader ----

class Reader {
public:
    Reader(const QByteArray& data, qsizetype start, QTextDocument* doc)
        : data_(data.constData()), pos_(start), size_(data.size()), doc_(doc), cursor_(doc) {
        stack_.reserve(kMaxDepth + 1);
        stack_.emplace_back();
        setDefaultTab(doc_, kDefaultTab);
    }

    void run() {
        cursor_.beginEditBlock();
        while (pos_ < size_) {
            const char c = data_[pos_];
            if (c == '{') {
                ++pos_;
                openGroup();
            } else if (c == '}') {
                ++pos_;
                closeGroup();
            } else if (c == '\\') {
                readControl();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                readText();
            }
        }
        finish();
        cursor_.endEditBlock();
    }

private:
    State& top() { return stack_.back(); }
    const State& top() const { return stack_.back(); }

    // ---- tokens ----

    void readText() {
        const qsizetype start = pos_;
        while (pos_ < size_ && !endsText(data_[pos_])) ++pos_;
        qsizetype from = start;
        if (skip_ > 0) {
            const qsizetype n = std::min<qsizetype>(skip_, pos_ - start);
            skip_ -= int(n);
            from += n;
        }
        if (from < pos_) onBytes(QByteArrayView(data_ + from, pos_ - from));
    }

    void readControl() {
        ++pos_;
        if (pos_ >= size_) return;
        const char c = data_[pos_];
        if (isLetter(c)) {
            readWord();
            return;
        }
        ++pos_;
        if (c == '\'') {
            readHexByte();
        } else if (!skipFallback()) {
            onSymbol(c);
        }
    }

    void readWord() {
        const qsizetype start = pos_;
        while (pos_ < size_ && isLetter(data_[pos_])) ++pos_;
        const qsizetype length = pos_ - start;
        // Longer names are no word we know.
        const std::string_view name =
            length <= kMaxWordLength ? std::string_view(data_ + start, size_t(length)) : std::string_view();
        bool negative = false;
        if (pos_ + 1 < size_ && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        bool hasParam = false;
        qint64 value = 0;
        // Every digit is read, so no digits spill into the text; the value stops growing at the limit.
        while (pos_ < size_ && isDigit(data_[pos_])) {
            hasParam = true;
            if (value < kParamLimit) value = value * 10 + (data_[pos_] - '0');
            ++pos_;
        }
        if (pos_ < size_ && data_[pos_] == ' ') ++pos_;
        const qint64 signedValue = negative ? -value : value;
        const int param = int(std::clamp<qint64>(signedValue, INT_MIN, INT_MAX));
        if (name == "bin") {
            readBinary(hasParam ? param : 0);
        } else if (!skipFallback()) {
            onWord(name, hasParam, param);
        }
    }

    void readHexByte() {
        int value = 0;
        int digits = 0;
        while (digits < 2 && pos_ < size_ && hexValue(data_[pos_]) >= 0) {
            value = value * 16 + hexValue(data_[pos_++]);
            ++digits;
        }
        if (skipFallback() || digits == 0) return;
        const char byte = char(value);
        onBytes(QByteArrayView(&byte, 1));
    }

    void readBinary(int length) {
        const qsizetype n = std::clamp<qsizetype>(length, 0, size_ - pos_);
        const QByteArrayView bytes(data_ + pos_, n);
        pos_ += n;
        if (skipFallback()) return;
        if (top().dest == Dest::Picture && overflow_ == 0) picture_.data.append(bytes);
    }

    // After \uN, the next N characters (bytes, \'hh, whole control words) are the fallback for
    // readers without Unicode.
    bool skipFallback() {
        if (skip_ <= 0) return false;
        --skip_;
        return true;
    }

    // ---- groups ----

    void openGroup() {
        skip_ = 0;
        if (int(stack_.size()) > kMaxDepth) {
            ++overflow_;
            return;
        }
        State child = stack_.back();
        child.starred = false;
        if (child.dest == Dest::StyleSheet) {
            child.dest = Dest::StyleEntry;
            startStyle();
        }
        stack_.push_back(child);
    }

    void closeGroup() {
        skip_ = 0;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.size() <= 1) return;  // a stray closing brace
        const Dest closed = stack_.back().dest;
        stack_.pop_back();
        endDestination(closed, top().dest);
    }

    void endDestination(Dest closed, Dest parent) {
        switch (closed) {
            case Dest::FontTable: endFontName(); break;
            case Dest::ColourTable:
                if (colourSet_) endColour();
                break;
            case Dest::StyleEntry:
                if (parent == Dest::StyleSheet) commitStyle();
                break;
            case Dest::Picture:
                if (parent != Dest::Picture) endPicture();
                break;
            case Dest::Bookmark:
                if (parent == Dest::Text) startBookmark();
                break;
            default: break;
        }
    }

    // ---- dispatch ----

    void onWord(std::string_view name, bool hasParam, int param) {
        State& s = top();
        if (s.dest == Dest::Skip) return;
        if (s.dest == Dest::Upr) {
            // The star of {\*\ud ...} is used up here, or it would skip the text it marks.
            s.starred = false;
            if (name == "ud") s.dest = s.uprOuter;
            return;
        }
        const bool starred = std::exchange(s.starred, false);
        const auto found = wordTable().find(name);
        if (found == wordTable().end()) {
            if (starred) s.dest = Dest::Skip;
            return;
        }
        const Word w = found->second;
        if (overflow_ > 0) {
            // Past the depth limit only the text survives.
            const bool text = w.kw == Kw::Par || w.kw == Kw::Line || w.kw == Kw::Tab || w.kw == Kw::Char;
            if (w.kw == Kw::Unicode) unicodeChar(param);
            else if (text && s.dest == Dest::Text) textWord(w, hasParam, param);
            return;
        }
        if (starred && !isDestination(w.kw) && s.dest != Dest::StyleEntry) {
            s.dest = Dest::Skip;
        } else if (w.kw == Kw::Unicode) {
            unicodeChar(param);
        } else if (w.kw == Kw::UnicodeSkip) {
            s.uc = hasParam ? std::clamp(param, 0, kMaxUc) : 1;
        } else if (isDestination(w.kw)) {
            openDestination(w.kw);
        } else {
            destinationWord(w, hasParam, param);
        }
    }

    void destinationWord(const Word& w, bool hasParam, int param) {
        switch (top().dest) {
            case Dest::Text: textWord(w, hasParam, param); break;
            case Dest::FontTable: fontWord(w.kw, param); break;
            case Dest::ColourTable: colourWord(w.kw, param); break;
            case Dest::StyleEntry: styleWord(w, hasParam, param); break;
            case Dest::Picture: pictureWord(w, param); break;
            case Dest::Shape: shapeWord(w.kw, param); break;
            default: break;
        }
    }

    void openDestination(Kw kw) {
        State& s = top();
        const Dest d = s.dest;
        const bool text = d == Dest::Text;
        switch (kw) {
            case Kw::FontTable:
                s.dest = text ? Dest::FontTable : Dest::Skip;
                fontEntry_ = -1;
                fontName_.clear();
                break;
            case Kw::ColourTable:
                s.dest = text ? Dest::ColourTable : Dest::Skip;
                resetColour();
                break;
            case Kw::StyleSheet: s.dest = text ? Dest::StyleSheet : Dest::Skip; break;
            case Kw::Picture: startPicture(); break;
            case Kw::Field:
                if (text) startField();
                break;
            case Kw::FieldCode: s.dest = text && s.field >= 0 ? Dest::FieldCode : Dest::Skip; break;
            case Kw::FieldResult:
                if (text) fieldResult();
                break;
            case Kw::Shape:
                if (text) shape_ = {};
                break;
            case Kw::ShapeInstructions: s.dest = text ? Dest::Shape : Dest::Skip; break;
            case Kw::ShapeText:
                if (d == Dest::Shape) s.dest = Dest::Text;
                break;
            case Kw::ShapeProperty:
                if (d == Dest::Shape) shapeName_.clear();
                else s.dest = Dest::Skip;
                break;
            case Kw::ShapeName: s.dest = d == Dest::Shape ? Dest::ShapeName : Dest::Skip; break;
            case Kw::ShapeValue:
                s.dest = d == Dest::Shape && shapeName_ == u"pib" ? Dest::ShapePicture : Dest::Skip;
                break;
            case Kw::UnicodePair:
                s.uprOuter = d;
                s.dest = Dest::Upr;
                break;
            case Kw::Bookmark:
                s.dest = text ? Dest::Bookmark : Dest::Skip;
                bookmark_.clear();
                break;
            case Kw::SkipDestination: s.dest = Dest::Skip; break;
            default: break;
        }
    }

    void onSymbol(char c) {
        switch (c) {
            case '\\':
            case '{':
            case '}': onBytes(QByteArrayView(&c, 1)); break;
            case '~': onText(QString(QChar(0x00A0))); break;
            case '-': onText(QString(QChar(0x00AD))); break;
            case '_': onText(QString(QChar(0x2011))); break;
            case '\t': onText(QStringLiteral("\t")); break;
            case '*': top().starred = true; break;
            case '\r':
            case '\n':
                if (top().dest == Dest::Text) endParagraph();
                break;
            default: break;  // \| \: and the like are index and formula marks
        }
    }

    // Bytes in the current code page: plain text, \'hh and escaped characters.
    void onBytes(QByteArrayView bytes) {
        State& s = top();
        if (std::exchange(s.starred, false)) s.dest = Dest::Skip;
        switch (s.dest) {
            case Dest::Text: addBytes(bytes); break;
            case Dest::FontTable: fontText(decoders_.decode(bytes, docCodePage_)); break;
            case Dest::ColourTable:
                for (const char c : bytes)
                    if (c == ';') endColour();
                break;
            case Dest::FieldCode:
                appendCapped(fields_[size_t(s.field)].code, decoders_.decode(bytes, codePageFor(s.chr.font)),
                             kMaxFieldCode);
                break;
            case Dest::Picture: addHex(bytes); break;
            case Dest::ShapeName: appendCapped(shapeName_, CodePage::decode(bytes), kMaxName); break;
            case Dest::Bookmark: appendCapped(bookmark_, decoders_.decode(bytes, docCodePage_), kMaxName); break;
            default: break;
        }
    }

    // Characters that need no decoding: \uN and the special characters.
    void onText(const QString& text) {
        State& s = top();
        if (std::exchange(s.starred, false)) s.dest = Dest::Skip;
        switch (s.dest) {
            case Dest::Text: addText(text); break;
            case Dest::FontTable: fontText(text); break;
            case Dest::FieldCode: appendCapped(fields_[size_t(s.field)].code, text, kMaxFieldCode); break;
            case Dest::ShapeName: appendCapped(shapeName_, text, kMaxName); break;
            case Dest::Bookmark: appendCapped(bookmark_, text, kMaxName); break;
            default: break;
        }
    }

    void unicodeChar(int param) {
        const qint64 value = param < 0 ? qint64(param) + 65536 : param;
        const bool valid = value >= 0 && value <= 0x10FFFF;
        onText(fromCodePoint(valid ? char32_t(value) : char32_t(QChar::ReplacementCharacter)));
        skip_ = top().uc;
    }

    void textWord(const Word& w, bool hasParam, int param) {
        State& s = top();
        switch (w.kw) {
            case Kw::Par: endParagraph(); break;
            case Kw::Line: addText(QString(QChar(QChar::LineSeparator))); break;
            case Kw::Tab:
            case Kw::NestedCell: addText(QStringLiteral("\t")); break;  // nested tables are flattened
            case Kw::Char: addText(fromCodePoint(char32_t(w.arg))); break;
            case Kw::Cell: endCell(); break;
            case Kw::Row: endRow(); break;
            case Kw::NestedRow: currentCell().paras.push_back(takePara()); break;
            case Kw::RowDefaults: cellx_.clear(); break;
            case Kw::CellRight:
                if (cellx_.size() < kMaxColumns) cellx_.push_back(param);
                break;
            case Kw::CodePage: docCodePage_ = w.arg; break;
            case Kw::AnsiCodePage:
                if (hasParam) docCodePage_ = param;
                break;
            case Kw::DefaultTab:
                if (param > 0) setDefaultTab(doc_, param);
                break;
            case Kw::DefaultFont:
                defaultFont_ = param;
                if (s.chr.font < 0) s.chr.font = param;
                break;
            case Kw::Style: applyStyle(paraStyles_, param); break;
            case Kw::CharStyle: applyStyle(charStyles_, param); break;
            default: applyProperty(s, w.kw, w.arg, hasParam, param); break;
        }
    }

    void applyProperty(State& s, Kw kw, int arg, bool hasParam, int param) {
        const bool on = !hasParam || param != 0;
        CharProps& c = s.chr;
        ParaProps& p = s.para;
        switch (kw) {
            case Kw::Plain:
                c = CharProps{};
                c.font = defaultFont_;
                break;
            case Kw::Font: c.font = param; break;
            case Kw::Bold: c.bold = on; break;
            case Kw::Italic: c.italic = on; break;
            case Kw::Underline: c.underline = on ? arg : QTextCharFormat::NoUnderline; break;
            case Kw::UnderlineNone: c.underline = QTextCharFormat::NoUnderline; break;
            case Kw::Strike: c.strike = on; break;
            case Kw::Hidden: c.hidden = on; break;
            case Kw::Caps: c.caps = on ? arg : QFont::MixedCase; break;
            case Kw::VAlign: c.valign = arg; break;
            case Kw::FontSize:
                c.halfPoints = hasParam ? std::clamp(param, 2, kMaxHalfPoints) : kDefaultHalfPoints;
                break;
            case Kw::Foreground: c.foreground = std::max(param, 0); break;
            case Kw::Background: c.background = param > 0 ? param : -1; break;
            case Kw::ParDefaults: p = ParaProps{}; break;
            case Kw::Align: p.align = arg; break;
            case Kw::LeftIndent: p.left = std::clamp(param, 0, kMaxTwips); break;
            case Kw::RightIndent: p.right = std::clamp(param, 0, kMaxTwips); break;
            case Kw::FirstIndent: p.first = std::clamp(param, -kMaxTwips, kMaxTwips); break;
            case Kw::SpaceBefore: p.before = std::clamp(param, 0, kMaxTwips); break;
            case Kw::SpaceAfter: p.after = std::clamp(param, 0, kMaxTwips); break;
            case Kw::LineSpacing: p.lineSpacing = std::clamp(param, -kMaxTwips, kMaxTwips); break;
            case Kw::LineMultiple: p.lineMultiple = on; break;
            case Kw::InTable: p.inTable = on; break;
            case Kw::TableLevel: p.inTable = param > 0; break;
            case Kw::TabKind: p.tabKind = quint8(arg); break;
            case Kw::TabStop:
                if (p.tabCount < kMaxTabs) {
                    p.tabs[p.tabCount++] = {std::clamp(param, 0, kMaxTwips), p.tabKind};
                }
                p.tabKind = QTextOption::LeftTab;
                break;
            default: break;
        }
    }

    // ---- font, colour and style tables ----

    void fontWord(Kw kw, int param) {
        switch (kw) {
            case Kw::Font:
                endFontName();
                fontEntry_ = fonts_.size() < kMaxFonts || fonts_.count(param) ? param : -1;
                if (fontEntry_ >= 0) fonts_[fontEntry_] = Font{};
                break;
            case Kw::FontCharset:
                if (fontEntry_ >= 0) fonts_[fontEntry_].charset = param;
                break;
            case Kw::FontCodePage:
                if (fontEntry_ >= 0) fonts_[fontEntry_].codePage = param;
                break;
            default: break;
        }
    }

    void fontText(const QString& text) {
        for (const QChar ch : text) {
            if (ch == u';') {
                endFontName();
                fontEntry_ = -1;
            } else if (fontEntry_ >= 0) {
                appendCapped(fontName_, QStringView(&ch, 1), kMaxName);
            }
        }
    }

    void endFontName() {
        const QString name = fontName_.trimmed();
        fontName_.clear();
        if (fontEntry_ < 0 || name.isEmpty()) return;
        fonts_[fontEntry_].family = families_.id(name);
    }

    int codePageFor(int font) const {
        const auto it = fonts_.find(font);
        if (it == fonts_.end()) return docCodePage_;
        if (it->second.codePage > 0) return it->second.codePage;
        const int fromCharset = charsetCodePage(it->second.charset);
        return fromCharset != 0 ? fromCharset : docCodePage_;
    }

    void colourWord(Kw kw, int param) {
        const int v = std::clamp(param, 0, 255);
        switch (kw) {
            case Kw::Red: red_ = v; break;
            case Kw::Green: green_ = v; break;
            case Kw::Blue: blue_ = v; break;
            default: return;
        }
        colourSet_ = true;
    }

    void endColour() {
        if (colours_.size() < kMaxColours) {
            // An entry without components is the automatic colour.
            colours_.push_back(colourSet_ ? std::make_optional(QColor(red_, green_, blue_)) : std::nullopt);
        }
        resetColour();
    }

    void resetColour() {
        red_ = green_ = blue_ = 0;
        colourSet_ = false;
    }

    std::optional<QColor> colourAt(int index) const {
        if (index < 0 || size_t(index) >= colours_.size()) return std::nullopt;
        return colours_[size_t(index)];
    }

    void startStyle() {
        styleMap_ = &paraStyles_;
        styleIndex_ = 0;
        style_ = Style{};
    }

    void styleWord(const Word& w, bool hasParam, int param) {
        switch (w.kw) {
            case Kw::Style:
                styleMap_ = &paraStyles_;
                styleIndex_ = param;
                break;
            case Kw::CharStyle:
                styleMap_ = &charStyles_;
                styleIndex_ = param;
                break;
            case Kw::OtherStyle: styleMap_ = nullptr; break;
            case Kw::BasedOn: style_.basedOn = param; break;
            default:
                if (isProperty(w.kw) && style_.words.size() < kMaxStyleWords)
                    style_.words.push_back({w.kw, w.arg, hasParam, param});
                break;
        }
    }

    void commitStyle() {
        if (styleMap_ && (styleMap_->size() < kMaxStyles || styleMap_->count(styleIndex_)))
            (*styleMap_)[styleIndex_] = std::move(style_);
        style_ = Style{};
    }

    // Writers repeat a style's formatting after \sN, so replaying the style's own words rarely changes
    // anything; it matters for the few that rely on the style sheet.
    void applyStyle(const StyleMap& styles, int index) {
        std::array<const Style*, kMaxStyleChain> chain{};
        int n = 0;
        for (int i = index; n < kMaxStyleChain;) {
            const auto it = styles.find(i);
            if (it == styles.end()) break;
            chain[size_t(n++)] = &it->second;
            if (it->second.basedOn < 0 || it->second.basedOn == i) break;
            i = it->second.basedOn;
        }
        for (int k = n - 1; k >= 0; --k) {
            for (const StyleWord& w : chain[size_t(k)]->words)
                applyProperty(top(), w.kw, w.arg, w.hasParam, w.param);
        }
    }

    // ---- fields ----

    void startField() {
        State& s = top();
        s.field = -1;
        if (fields_.size() >= kMaxFields) return;
        fields_.emplace_back();
        s.field = int(fields_.size()) - 1;
    }

    void fieldResult() {
        State& s = top();
        if (s.field < 0) return;
        Field& f = fields_[size_t(s.field)];
        if (!f.resolved) {
            const QString href = hyperlinkTarget(f.code);
            if (!href.isEmpty()) f.target = links_.id(href);
            f.resolved = true;
        }
        if (f.target >= 0) s.link = f.target;
    }

    // A link to "#name" scrolls to the text after the bookmark of that name.
    void startBookmark() {
        const QString name = std::exchange(bookmark_, {}).trimmed();
        if (!name.isEmpty() && nextAnchors_.size() < kMaxAnchorsAtOnePlace) nextAnchors_.append(name);
    }

    // ---- pictures ----

    void startPicture() {
        State& s = top();
        if (s.dest != Dest::Text && s.dest != Dest::ShapePicture) {
            s.dest = Dest::Skip;
            return;
        }
        picture_ = Picture{};
        picture_.inShape = s.dest == Dest::ShapePicture;
        s.dest = Dest::Picture;
    }

    void pictureWord(const Word& w, int param) {
        switch (w.kw) {
            case Kw::Blip: picture_.kind = Picture::Kind(w.arg); break;
            case Kw::PicWidthGoal: picture_.goalWidth = std::max(param, 0); break;
            case Kw::PicHeightGoal: picture_.goalHeight = std::max(param, 0); break;
            case Kw::PicScaleX: picture_.scaleX = std::clamp(param, 1, 1000); break;
            case Kw::PicScaleY: picture_.scaleY = std::clamp(param, 1, 1000); break;
            default: break;
        }
    }

    void shapeWord(Kw kw, int param) {
        switch (kw) {
            case Kw::ShapeLeft: shape_.left = param; break;
            case Kw::ShapeTop: shape_.top = param; break;
            case Kw::ShapeRight: shape_.right = param; break;
            case Kw::ShapeBottom: shape_.bottom = param; break;
            default: break;
        }
    }

    void addHex(QByteArrayView bytes) {
        for (const char c : bytes) {
            const int v = hexValue(c);
            if (v < 0) continue;
            if (picture_.nibble < 0) {
                picture_.nibble = v;
            } else {
                picture_.data.append(char(picture_.nibble << 4 | v));
                picture_.nibble = -1;
            }
        }
    }

    // Reads the header first, so a small file cannot unpack into a huge image.
    QImage decodeImage(const Picture& pic) {
        QBuffer buffer;
        buffer.setData(pic.data);
        if (!buffer.open(QIODevice::ReadOnly)) return {};
        QImageReader reader(&buffer, pic.kind == Picture::Kind::Png ? "png" : "jpeg");
        const QSize size = reader.size();
        if (size.isEmpty() || size.width() > kMaxImageSide || size.height() > kMaxImageSide) return {};
        const qint64 pixels = qint64(size.width()) * size.height();
        // Four bytes a pixel, or more for the deeper pixels of 16-bit PNGs.
        const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
        const qint64 bytes = pixels * std::max(4, depth / 8);
        if (pixels > kMaxImagePixels || bytes > pictureBytes_) return {};
        // Charged even when decoding fails late, since the work is done by then.
        pictureBytes_ -= bytes;
        return reader.read();
    }

    QSizeF shownSize(const Picture& pic, QSize image) const {
        const int boxWidth = pic.inShape ? shape_.right - shape_.left : 0;
        const int boxHeight = pic.inShape ? shape_.bottom - shape_.top : 0;
        const int twipsWide = pic.goalWidth > 0 ? pic.goalWidth : boxWidth;
        const int twipsHigh = pic.goalHeight > 0 ? pic.goalHeight : boxHeight;
        double w = twipsWide > 0 ? toPixels(twipsWide) : image.width();
        double h = twipsHigh > 0 ? toPixels(twipsHigh) : image.height();
        w = w * pic.scaleX / 100.0;
        h = h * pic.scaleY / 100.0;
        return {std::clamp(w, 1.0, kMaxShownSide), std::clamp(h, 1.0, kMaxShownSide)};
    }

    void endPicture() {
        const Picture pic = std::exchange(picture_, Picture{});
        if (pic.kind == Picture::Kind::Other || pic.data.isEmpty() || top().chr.hidden) return;
        const QImage image = decodeImage(pic);
        if (image.isNull()) return;
        const QString name = QStringLiteral("rtf-picture:%1").arg(++pictures_);
        doc_->addResource(QTextDocument::ImageResource, QUrl(name), image);
        const RunKey key = takeRunKey();
        QTextImageFormat format;
        format.merge(charFormat(key));
        format.setName(name);
        const QSizeF size = shownSize(pic, image.size());
        format.setWidth(size.width());
        format.setHeight(size.height());
        flushBytes();
        para_.push_back(Item{key, {}, format});
    }

    // ---- paragraphs ----

    // Bookmarks waiting for text start with this run.
    RunKey takeRunKey() {
        RunKey key{top().chr, top().link};
        if (!nextAnchors_.isEmpty()) key.anchors = anchors_.id(std::exchange(nextAnchors_, {}).join(u'\n'));
        return key;
    }

    void addBytes(QByteArrayView bytes) {
        if (top().chr.hidden) return;
        RunKey key = takeRunKey();
        // A bookmark's run goes on with the bytes after it, so a character of several \'hh stays whole.
        if (!pendingBytes_.isEmpty() && key.anchors < 0) {
            RunKey same = key;
            same.anchors = pendingKey_.anchors;
            if (same == pendingKey_) key = same;
        }
        const int codePage = codePageFor(key.chr.font);
        if (!pendingBytes_.isEmpty() && (!(key == pendingKey_) || codePage != pendingCodePage_)) flushBytes();
        pendingKey_ = key;
        pendingCodePage_ = codePage;
        pendingBytes_.append(bytes);
    }

    // Bytes wait, so that a character written as several \'hh decodes whole.
    void flushBytes() {
        if (pendingBytes_.isEmpty()) return;
        appendRun(pendingKey_, decoders_.decode(pendingBytes_, pendingCodePage_));
        pendingBytes_.resize(0);
    }

    void addText(const QString& text) {
        if (top().chr.hidden) return;
        flushBytes();
        appendRun(takeRunKey(), text);
    }

    void appendRun(const RunKey& key, const QString& text) {
        if (para_.empty() || para_.back().image || !(para_.back().key == key)) {
            QString cleaned;
            appendCleaned(cleaned, text);
            if (!cleaned.isEmpty()) para_.push_back(Item{key, cleaned, std::nullopt});
            return;
        }
        appendCleaned(para_.back().text, text);
    }

    bool paragraphEmpty() const { return para_.empty() && pendingBytes_.isEmpty(); }

    Para takePara() {
        flushBytes();
        Para p{std::move(para_), blockFormatFor(top().para)};
        para_.clear();
        return p;
    }

    // A paragraph's properties are the ones in force at its end, \intbl among them.
    void endParagraph() {
        if (top().para.inTable) {
            currentCell().paras.push_back(takePara());
            return;
        }
        const Para p = takePara();
        leaveTable();
        writeRootParagraph(p);
    }

    void writeRootParagraph(const Para& p) {
        if (needBlock_) cursor_.insertBlock();
        writeParagraph(cursor_, p);
        needBlock_ = true;
    }

    void writeParagraph(QTextCursor& c, const Para& p) {
        c.setBlockFormat(p.format);
        for (const Item& item : p.items) {
            if (item.image) c.insertImage(*item.image);
            else c.insertText(pairedSurrogates(item.text), charFormat(item.key));
        }
    }

    // Past the limit, the nearest format made already: without tab stops, or the plain one.
    QTextBlockFormat blockFormatFor(const ParaProps& props) {
        ParaProps p = props;
        p.inTable = false;
        p.tabKind = QTextOption::LeftTab;
        if (const QTextBlockFormat* f = blockFormats_.find(p)) return *f;
        if (!blockFormats_.full()) return blockFormats_.add(p, blockFormat(p));
        p.tabCount = 0;
        p.tabs = {};
        if (const QTextBlockFormat* f = blockFormats_.find(p)) return *f;
        p = ParaProps{};
        if (const QTextBlockFormat* f = blockFormats_.find(p)) return *f;
        return blockFormats_.add(p, blockFormat(p));
    }

    // A run's format by what it holds: the font's name and the colours rather than their table entries.
    RunKey formatKey(const RunKey& run) const {
        RunKey key = run;
        key.chr.font = familyOf(run.chr.font);
        key.chr.foreground = rgbOf(run.chr.foreground);
        key.chr.background = rgbOf(run.chr.background);
        key.chr.hidden = false;
        return key;
    }

    int familyOf(int font) const {
        const auto it = fonts_.find(font);
        return it == fonts_.end() ? -1 : it->second.family;
    }

    int rgbOf(int colour) const {
        const auto c = colourAt(colour);
        return c ? int(c->rgb() & 0xFFFFFF) : -1;
    }

    // Past the limit, the nearest format made already, giving up in turn the background, the font, the
    // size, the colour, the style and the link; the plain format is made whatever the count.
    QTextCharFormat charFormat(const RunKey& run) {
        RunKey key = formatKey(run);
        if (const QTextCharFormat* f = charFormats_.find(key)) return *f;
        if (!charFormats_.full()) return charFormats_.add(key, makeCharFormat(key));
        const int defaultFamily = familyOf(defaultFont_);
        for (int step = 0; step < 6; ++step) {
            CharProps& c = key.chr;
            switch (step) {
                case 0: c.background = -1; break;
                case 1: c.font = defaultFamily; break;
                case 2: c.halfPoints = kDefaultHalfPoints; break;
                case 3: c.foreground = -1; break;
                case 4:
                    c = CharProps{};
                    c.font = defaultFamily;
                    break;
                default: key = RunKey{}; break;
            }
            if (const QTextCharFormat* f = charFormats_.find(key)) return *f;
        }
        return charFormats_.add(key, makeCharFormat(key));
    }

    QTextCharFormat makeCharFormat(const RunKey& key) const {
        const CharProps& c = key.chr;
        QTextCharFormat f;
        if (c.bold) f.setFontWeight(QFont::Bold);
        if (c.italic) f.setFontItalic(true);
        if (c.underline != QTextCharFormat::NoUnderline)
            f.setUnderlineStyle(QTextCharFormat::UnderlineStyle(c.underline));
        if (c.strike) f.setFontStrikeOut(true);
        if (c.valign != QTextCharFormat::AlignNormal)
            f.setVerticalAlignment(QTextCharFormat::VerticalAlignment(c.valign));
        if (c.caps != QFont::MixedCase) f.setFontCapitalization(QFont::Capitalization(c.caps));
        f.setFontPointSize(c.halfPoints / 2.0);
        if (c.font >= 0) f.setFontFamilies(QStringList{families_.text(c.font)});
        if (c.foreground >= 0) f.setForeground(QColor(QRgb(c.foreground)));
        if (c.background >= 0) f.setBackground(QColor(QRgb(c.background)));
        if (key.anchors >= 0) {
            f.setAnchor(true);
            f.setAnchorNames(anchors_.text(key.anchors).split(u'\n'));
        }
        if (key.link >= 0) {
            f.setAnchor(true);
            f.setAnchorHref(links_.text(key.link));
            f.setForeground(QColor(Qt::blue));
            f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        }
        return f;
    }

    // ---- tables ----

    // Tables are collected whole and inserted at their end: QTextTable rebuilds its cell grid after
    // every added row, which would make long tables quadratic.
    Cell& currentCell() {
        tableActive_ = true;
        if (needNewRow_) {
            rows_.emplace_back();
            rows_.back().cellx = cellx_;
            needNewRow_ = false;
            needNewCell_ = true;
        }
        Row& row = rows_.back();
        // Past the column limit the extra cells' text joins the last cell.
        if (needNewCell_ && (row.cells.empty() || row.cells.size() < kMaxColumns)) row.cells.emplace_back();
        needNewCell_ = false;
        return row.cells.back();
    }

    void endCell() {
        const bool hasText = !paragraphEmpty();
        Cell& cell = currentCell();
        if (hasText || cell.paras.empty()) cell.paras.push_back(takePara());
        needNewCell_ = true;
    }

    void endRow() {
        if (!paragraphEmpty()) endCell();
        if (tableActive_) needNewRow_ = true;
    }

    void leaveTable() {
        if (!tableActive_) return;
        writeTable();
        rows_.clear();
        tableActive_ = false;
        needNewRow_ = true;
    }

    // A grid as wide as its widest row, unless a few wide rows would make it mostly empty cells.
    qsizetype tableColumns() const {
        qsizetype widest = 1;
        qsizetype cells = 0;
        for (const Row& r : rows_) {
            widest = std::max(widest, qsizetype(r.cells.size()));
            cells += qsizetype(r.cells.size());
        }
        const qsizetype budget = std::min(kMaxTableCells, 2 * cells + qsizetype(kMaxColumns));
        return std::clamp(budget / qsizetype(rows_.size()), qsizetype(1), widest);
    }

    // Past the limit, tables keep their columns but not their widths.
    QTextTableFormat tableFormatFor(qsizetype columns) {
        TableKey key{columns, rows_.front().cellx};
        if (const QTextTableFormat* f = tableFormats_.find(key)) return *f;
        if (!tableFormats_.full()) return tableFormats_.add(key, tableFormat(key));
        key.cellx.clear();
        if (const QTextTableFormat* f = tableFormats_.find(key)) return *f;
        return tableFormats_.add(key, tableFormat(key));  // one per column count at most
    }

    void writeTable() {
        if (rows_.empty()) return;
        const qsizetype columns = tableColumns();
        const int rows = int(rows_.size());
        QTextTable* table = cursor_.insertTable(rows, int(columns), tableFormatFor(columns));
        for (size_t r = 0; r < rows_.size(); ++r) {
            for (size_t c = 0; c < rows_[r].cells.size(); ++c) {
                // Cells past the grid's last column add their paragraphs to it.
                const bool own = qsizetype(c) < columns;
                const int column = int(std::min(qsizetype(c), columns - 1));
                QTextCursor cell = table->cellAt(int(r), column).lastCursorPosition();
                const std::vector<Para>& paras = rows_[r].cells[c].paras;
                for (size_t i = 0; i < paras.size(); ++i) {
                    if (i > 0 || !own) cell.insertBlock();
                    writeParagraph(cell, paras[i]);
                }
            }
        }
        cursor_.movePosition(QTextCursor::End);
        needBlock_ = false;  // the empty block after the table takes the next paragraph
    }

    void finish() {
        if (!paragraphEmpty()) endParagraph();
        leaveTable();
    }

    const char* data_;
    qsizetype pos_;
    qsizetype size_;
    QTextDocument* doc_;
    QTextCursor cursor_;

    std::vector<State> stack_;  // stack_[0] is outside every group
    int overflow_ = 0;          // open groups past the depth limit
    int skip_ = 0;              // fallback characters still to skip after \uN

    int docCodePage_ = kAnsiCodePage;
    int defaultFont_ = -1;
    Decoders decoders_;

    std::unordered_map<int, Font> fonts_;
    Names families_;
    int fontEntry_ = -1;
    QString fontName_;

    std::vector<std::optional<QColor>> colours_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colourSet_ = false;

    StyleMap paraStyles_;
    StyleMap charStyles_;
    StyleMap* styleMap_ = nullptr;
    int styleIndex_ = 0;
    Style style_;

    std::vector<Field> fields_;
    Names links_;
    Names anchors_;             // the names of the bookmarks at one place, a line each
    QStringList nextAnchors_;   // bookmarks that start at the next text
    QString bookmark_;

    Picture picture_;
    ShapeBox shape_;
    QString shapeName_;
    qint64 pictureBytes_ = kMaxPictureBytes;  // left for decoding
    int pictures_ = 0;

    std::vector<Item> para_;
    QByteArray pendingBytes_;
    RunKey pendingKey_;
    int pendingCodePage_ = kAnsiCodePage;
    bool needBlock_ = false;
    FormatCache<RunKey, QTextCharFormat> charFormats_{size_t(kMaxCharFormats)};
    FormatCache<ParaProps, QTextBlockFormat> blockFormats_{size_t(kMaxParagraphFormats)};
    FormatCache<TableKey, QTextTableFormat> tableFormats_{kMaxTableFormats};

    bool tableActive_ = false;
    bool needNewRow_ = true;
    bool needNewCell_ = true;
    std::vector<Row> rows_;
    std::vector<int> cellx_;
};

qsizetype rtfStart(const QByteArray& data) {
    qsizetype i = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
    return QByteArrayView(data).sliced(i).startsWith("{\\rtf") ? i : -1;
}

}  // namespace

bool isRtf(const QByteArray& data) { return rtfStart(data) >= 0; }

bool readRtf(const QByteArray& data, QTextDocument* doc) {
    if (!doc) return false;
    const qsizetype start = rtfStart(data);
    if (start < 0) {
        doc->setPlainText(CodePage::decode(data));
        return false;
    }
    // The undo stack would hold a second copy of everything read.
    const bool undo = doc->isUndoRedoEnabled();
    doc->clear();
    doc->setUndoRedoEnabled(false);
    Reader(data, start, doc).run();
    doc->setUndoRedoEnabled(undo);
    return true;
}

}  // namespace RtfReader
