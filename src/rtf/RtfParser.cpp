#include "rtf/RtfParser.h"

#include "text/CodePage.h"

#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace Rtf {
namespace {

constexpr int kMaxDepth = 1000;  // groups; deeper braces are only counted
constexpr int kMaxUc = 255;

}  // namespace

Parser::Parser(const QByteArray& data, qsizetype start, QTextDocument* doc)
    : tokens_(data, start), doc_(doc), builder_(doc, formats_, decoders_) {
    stack_.reserve(kMaxDepth + 1);
    stack_.emplace_back();
}

void Parser::run() {
    tokens_.run(*this);
    builder_.finish(top().para);
}

// ---- groups ----

void Parser::openGroup() {
    if (int(stack_.size()) > kMaxDepth) {
        ++overflow_;
        return;
    }
    State child = stack_.back();
    child.starred = false;
    if (child.dest == Dest::StyleSheet) {
        child.dest = Dest::StyleEntry;
        tables_.startStyle();
    }
    stack_.push_back(child);
}

void Parser::closeGroup() {
    if (overflow_ > 0) {
        --overflow_;
        return;
    }
    if (stack_.size() <= 1) return;  // a stray closing brace
    const Dest closed = stack_.back().dest;
    stack_.pop_back();
    endDestination(closed, top().dest);
}

void Parser::endDestination(Dest closed, Dest parent) {
    switch (closed) {
        case Dest::FontTable: tables_.endFontName(); break;
        case Dest::ColourTable: tables_.endColours(); break;
        case Dest::StyleEntry:
            if (parent == Dest::StyleSheet) tables_.commitStyle();
            break;
        case Dest::Picture:
            if (parent != Dest::Picture) endPicture();
            break;
        case Dest::Bookmark:
            if (parent == Dest::Text) links_.endBookmark();
            break;
        default: break;
    }
}

// ---- dispatch ----

void Parser::word(std::string_view name, bool hasParam, int param) {
    State& s = top();
    if (s.dest == Dest::Skip) return;
    if (s.dest == Dest::Upr) {
        // The star of {\*\ud ...} is used up here, or it would skip the text it marks.
        s.starred = false;
        if (name == "ud") s.dest = s.uprOuter;
        return;
    }
    const bool starred = std::exchange(s.starred, false);
    const Word* found = findWord(name);
    if (!found) {
        if (starred) s.dest = Dest::Skip;
        return;
    }
    const Word w = *found;
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

void Parser::destinationWord(const Word& w, bool hasParam, int param) {
    switch (top().dest) {
        case Dest::Text: textWord(w, hasParam, param); break;
        case Dest::FontTable: tables_.fontWord(w.kw, param); break;
        case Dest::ColourTable: tables_.colourWord(w.kw, param); break;
        case Dest::StyleEntry: tables_.styleWord(w, hasParam, param); break;
        case Dest::Picture: pictures_.word(w, param); break;
        case Dest::Shape: pictures_.shapeWord(w.kw, param); break;
        default: break;
    }
}

void Parser::openDestination(Kw kw) {
    State& s = top();
    const Dest d = s.dest;
    const bool text = d == Dest::Text;
    switch (kw) {
        case Kw::FontTable:
            s.dest = text ? Dest::FontTable : Dest::Skip;
            tables_.startFonts();
            break;
        case Kw::ColourTable:
            s.dest = text ? Dest::ColourTable : Dest::Skip;
            tables_.startColours();
            break;
        case Kw::StyleSheet: s.dest = text ? Dest::StyleSheet : Dest::Skip; break;
        case Kw::Picture: startPicture(); break;
        case Kw::Field:
            if (text) links_.startField(s);
            break;
        case Kw::FieldCode: s.dest = text && s.field >= 0 ? Dest::FieldCode : Dest::Skip; break;
        case Kw::FieldResult:
            if (text) links_.fieldResult(s);
            break;
        case Kw::Shape:
            if (text) pictures_.startShape();
            break;
        case Kw::ShapeInstructions: s.dest = text ? Dest::Shape : Dest::Skip; break;
        case Kw::ShapeText:
            if (d == Dest::Shape) s.dest = Dest::Text;
            break;
        case Kw::ShapeProperty:
            if (d == Dest::Shape) pictures_.startShapeProperty();
            else s.dest = Dest::Skip;
            break;
        case Kw::ShapeName: s.dest = d == Dest::Shape ? Dest::ShapeName : Dest::Skip; break;
        case Kw::ShapeValue:
            s.dest = d == Dest::Shape && pictures_.inPictureProperty() ? Dest::ShapePicture : Dest::Skip;
            break;
        case Kw::UnicodePair:
            s.uprOuter = d;
            s.dest = Dest::Upr;
            break;
        case Kw::Bookmark:
            s.dest = text ? Dest::Bookmark : Dest::Skip;
            links_.startBookmark();
            break;
        case Kw::SkipDestination: s.dest = Dest::Skip; break;
        default: break;
    }
}

void Parser::symbol(char c) {
    switch (c) {
        case '\\':
        case '{':
        case '}': bytes(QByteArrayView(&c, 1)); break;
        case '~': onText(QString(QChar(0x00A0))); break;
        case '-': onText(QString(QChar(0x00AD))); break;
        case '_': onText(QString(QChar(0x2011))); break;
        case '\t': onText(QStringLiteral("\t")); break;
        case '*': top().starred = true; break;
        case '\r':
        case '\n':
            if (top().dest == Dest::Text) builder_.endParagraph(top().para);
            break;
        default: break;  // \| \: and the like are index and formula marks
    }
}

void Parser::bytes(QByteArrayView bytes) {
    State& s = top();
    if (std::exchange(s.starred, false)) s.dest = Dest::Skip;
    switch (s.dest) {
        case Dest::Text: addBytes(bytes); break;
        case Dest::FontTable: tables_.fontText(decoders_.decode(bytes, tables_.codePage())); break;
        case Dest::ColourTable: tables_.colourText(bytes); break;
        case Dest::FieldCode: links_.fieldCode(s, decoders_.decode(bytes, tables_.codePageFor(s.chr.font))); break;
        case Dest::Picture: pictures_.hexText(bytes); break;
        case Dest::ShapeName: pictures_.shapeNameText(CodePage::decode(bytes)); break;
        case Dest::Bookmark: links_.bookmarkText(decoders_.decode(bytes, tables_.codePage())); break;
        default: break;
    }
}

// Characters that need no decoding: \uN and the special characters.
void Parser::onText(const QString& text) {
    State& s = top();
    if (std::exchange(s.starred, false)) s.dest = Dest::Skip;
    switch (s.dest) {
        case Dest::Text: addText(text); break;
        case Dest::FontTable: tables_.fontText(text); break;
        case Dest::FieldCode: links_.fieldCode(s, text); break;
        case Dest::ShapeName: pictures_.shapeNameText(text); break;
        case Dest::Bookmark: links_.bookmarkText(text); break;
        default: break;
    }
}

void Parser::unicodeChar(int param) {
    const qint64 value = param < 0 ? qint64(param) + 65536 : param;
    const bool valid = value >= 0 && value <= 0x10FFFF;
    onText(fromCodePoint(valid ? char32_t(value) : char32_t(QChar::ReplacementCharacter)));
    tokens_.skipFallback(top().uc);
}

void Parser::textWord(const Word& w, bool hasParam, int param) {
    State& s = top();
    switch (w.kw) {
        case Kw::Par: builder_.endParagraph(s.para); break;
        case Kw::Line: addText(QString(QChar(QChar::LineSeparator))); break;
        case Kw::Tab:
        case Kw::NestedCell: addText(QStringLiteral("\t")); break;  // nested tables are flattened
        case Kw::Char: addText(fromCodePoint(char32_t(w.arg))); break;
        case Kw::Cell: builder_.endCell(s.para); break;
        case Kw::Row: builder_.endRow(s.para); break;
        case Kw::NestedRow: builder_.endNestedRow(s.para); break;
        case Kw::RowDefaults: builder_.rowDefaults(); break;
        case Kw::CellRight: builder_.cellRight(param); break;
        case Kw::CodePage: tables_.setCodePage(w.arg); break;
        case Kw::AnsiCodePage:
            if (hasParam) tables_.setCodePage(param);
            break;
        case Kw::DefaultTab:
            if (param > 0) builder_.setDefaultTab(param);
            break;
        case Kw::DefaultFont:
            tables_.setDefaultFont(param);
            if (s.chr.font < 0) s.chr.font = param;
            break;
        case Kw::Style:
        case Kw::CharStyle: tables_.applyStyle(s, w.kw, param); break;
        default: applyProperty(s, w.kw, w.arg, hasParam, param, tables_.defaultFont()); break;
    }
}
void Parser::binary(QByteArrayView bytes) {
    if (top().dest == Dest::Picture && overflow_ == 0) pictures_.binary(bytes);
}

// ---- the document's text ----

// Bookmarks waiting for text start with this run.
RunKey Parser::takeRunKey() {
    RunKey key{top().chr, top().link};
    key.anchors = links_.takeAnchors();
    return key;
}

void Parser::addBytes(QByteArrayView bytes) {
    if (top().chr.hidden) return;
    const RunKey key = takeRunKey();
    builder_.addBytes(key, tables_.codePageFor(key.chr.font), bytes);
}

void Parser::addText(const QString& text) {
    if (top().chr.hidden) return;
    builder_.addText(takeRunKey(), text);
}

void Parser::startPicture() {
    State& s = top();
    if (s.dest != Dest::Text && s.dest != Dest::ShapePicture) {
        s.dest = Dest::Skip;
        return;
    }
    pictures_.start(s.dest == Dest::ShapePicture);
    s.dest = Dest::Picture;
}

void Parser::endPicture() {
    const auto placed = pictures_.finish(doc_, top().chr.hidden);
    if (placed) builder_.addPicture(takeRunKey(), *placed);
}

}  // namespace Rtf
