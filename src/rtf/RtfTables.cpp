#include "rtf/RtfTables.h"

#include <algorithm>
#include <array>

namespace Rtf {
namespace {

constexpr size_t kMaxFonts = 4096;
constexpr size_t kMaxColours = 4096;
constexpr qsizetype kMaxName = 256;
constexpr size_t kMaxStyles = 1024;
constexpr size_t kMaxStyleWords = 64;
constexpr int kMaxStyleChain = 8;

}  // namespace

// ---- fonts ----

void Tables::startFonts() {
    fontEntry_ = -1;
    fontName_.clear();
}

void Tables::fontWord(Kw kw, int param) {
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

void Tables::fontText(const QString& text) {
    for (const QChar ch : text) {
        if (ch == u';') {
            endFontName();
            fontEntry_ = -1;
        } else if (fontEntry_ >= 0) {
            appendCapped(fontName_, QStringView(&ch, 1), kMaxName);
        }
    }
}

void Tables::endFontName() {
    const QString name = fontName_.trimmed();
    fontName_.clear();
    if (fontEntry_ < 0 || name.isEmpty()) return;
    fonts_[fontEntry_].family = families_.id(name);
}

int Tables::codePageFor(int font) const {
    const auto it = fonts_.find(font);
    if (it == fonts_.end()) return docCodePage_;
    if (it->second.codePage > 0) return it->second.codePage;
    const int fromCharset = charsetCodePage(it->second.charset);
    return fromCharset != 0 ? fromCharset : docCodePage_;
}

int Tables::familyOf(int font) const {
    const auto it = fonts_.find(font);
    return it == fonts_.end() ? -1 : it->second.family;
}

// ---- colours ----

void Tables::colourWord(Kw kw, int param) {
    const int v = std::clamp(param, 0, 255);
    switch (kw) {
        case Kw::Red: red_ = v; break;
        case Kw::Green: green_ = v; break;
        case Kw::Blue: blue_ = v; break;
        default: return;
    }
    colourSet_ = true;
}

void Tables::colourText(QByteArrayView bytes) {
    for (const char c : bytes)
        if (c == ';') endColour();
}

void Tables::endColours() {
    if (colourSet_) endColour();
}

void Tables::endColour() {
    if (colours_.size() < kMaxColours) {
        // An entry without components is the automatic colour.
        colours_.push_back(colourSet_ ? std::make_optional(QColor(red_, green_, blue_)) : std::nullopt);
    }
    resetColour();
}

void Tables::resetColour() {
    red_ = green_ = blue_ = 0;
    colourSet_ = false;
}

int Tables::rgbOf(int colour) const {
    if (colour < 0 || size_t(colour) >= colours_.size()) return -1;
    const std::optional<QColor>& c = colours_[size_t(colour)];
    return c ? int(c->rgb() & 0xFFFFFF) : -1;
}

// ---- styles ----

void Tables::startStyle() {
    styleMap_ = &paraStyles_;
    styleIndex_ = 0;
    style_ = Style{};
}

void Tables::styleWord(const Word& w, bool hasParam, int param) {
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

void Tables::commitStyle() {
    if (styleMap_ && (styleMap_->size() < kMaxStyles || styleMap_->count(styleIndex_)))
        (*styleMap_)[styleIndex_] = std::move(style_);
    style_ = Style{};
}

// Writers repeat a style's formatting after \sN, so replaying the style's own words rarely changes
// anything; it matters for the few that rely on the style sheet.
void Tables::applyStyle(State& s, Kw which, int index) const {
    const StyleMap& styles = which == Kw::CharStyle ? charStyles_ : paraStyles_;
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
            applyProperty(s, w.kw, w.arg, w.hasParam, w.param, defaultFont_);
    }
}

}  // namespace Rtf
