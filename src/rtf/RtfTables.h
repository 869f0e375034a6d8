#pragma once

#include "rtf/CodePages.h"
#include "rtf/Names.h"
#include "rtf/RtfState.h"

#include <QColor>
#include <QString>

#include <optional>
#include <unordered_map>
#include <vector>

namespace Rtf {

// The font, colour and style tables at a document's start, and the document's code page and default
// font: what later text refers to by number.
class Tables {
public:
    int codePage() const { return docCodePage_; }
    void setCodePage(int codePage) { docCodePage_ = codePage; }
    int defaultFont() const { return defaultFont_; }
    void setDefaultFont(int font) { defaultFont_ = font; }

    // Fonts: {\fonttbl{\f0\fcharset0 Name;}...}
    void startFonts();
    void fontWord(Kw kw, int param);
    void fontText(const QString& text);
    void endFontName();
    // The code page of text in that font.
    int codePageFor(int font) const;
    // The font's name by its number in familyName; -1 when it has none.
    int familyOf(int font) const;
    const QString& familyName(int family) const { return families_.text(family); }

    // Colours: {\colortbl;\red0\green0\blue255;...}
    void startColours() { resetColour(); }
    void colourWord(Kw kw, int param);
    void colourText(QByteArrayView bytes);
    void endColours();
    // The colour's 0xRRGGBB; -1 when automatic or not in the table.
    int rgbOf(int colour) const;

    // Styles: {\stylesheet{\s1\b\sbasedon0 Heading;}...}
    void startStyle();
    void styleWord(const Word& w, bool hasParam, int param);
    void commitStyle();
    // Replays the paragraph (\sN) or character (\csN) style's words, and those it is based on, on s.
    void applyStyle(State& s, Kw which, int index) const;

private:
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

    void endColour();
    void resetColour();

    int docCodePage_ = kAnsiCodePage;
    int defaultFont_ = -1;

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
};

}  // namespace Rtf
