#include "rtf/RtfFormats.h"

#include <QColor>
#include <QList>
#include <QTextLength>

#include <algorithm>
#include <cstdlib>

namespace Rtf {
namespace {

constexpr double kMinColumnWidth = 8;  // pixels
constexpr double kMaxColumnWidth = 2000;

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

QTextBlockFormat makeBlockFormat(const ParaProps& p) {
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

QTextTableFormat makeTableFormat(const TableKey& key) {
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

}  // namespace

size_t qHash(const CharProps& c, size_t seed) {
    return qHashMulti(seed, c.font, c.halfPoints, c.foreground, c.background, c.underline, c.valign, c.caps, c.bold,
                      c.italic, c.strike, c.hidden);
}

size_t qHash(const RunKey& k, size_t seed) { return qHashMulti(seed, k.chr, k.link, k.anchors); }

size_t qHash(const TableKey& k, size_t seed) {
    return qHashMulti(seed, k.columns, qHashRange(k.cellx.begin(), k.cellx.end()));
}

size_t qHash(const ParaProps& p, size_t seed) {
    seed = qHashMulti(seed, p.align, p.left, p.right, p.first, p.before, p.after, p.lineSpacing, p.lineMultiple,
                      p.inTable, p.tabKind, p.tabCount);
    for (int i = 0; i < p.tabCount; ++i) seed = qHashMulti(seed, p.tabs[size_t(i)].twips, p.tabs[size_t(i)].kind);
    return seed;
}

// Past the limit, the nearest format made already, giving up in turn the background, the font, the
// size, the colour, the style and the link; the plain format is made whatever the count.
QTextCharFormat Formats::charFormat(const RunKey& run) {
    RunKey key = formatKey(run);
    if (const QTextCharFormat* f = charFormats_.find(key)) return *f;
    if (!charFormats_.full()) return charFormats_.add(key, makeCharFormat(key));
    const int defaultFamily = tables_.familyOf(tables_.defaultFont());
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

QTextCharFormat Formats::makeCharFormat(const RunKey& key) const {
    const CharProps& c = key.chr;
    QTextCharFormat f;
    if (c.bold) f.setFontWeight(QFont::Bold);
    if (c.italic) f.setFontItalic(true);
    if (c.underline != QTextCharFormat::NoUnderline) f.setUnderlineStyle(QTextCharFormat::UnderlineStyle(c.underline));
    if (c.strike) f.setFontStrikeOut(true);
    if (c.valign != QTextCharFormat::AlignNormal) f.setVerticalAlignment(QTextCharFormat::VerticalAlignment(c.valign));
    if (c.caps != QFont::MixedCase) f.setFontCapitalization(QFont::Capitalization(c.caps));
    f.setFontPointSize(c.halfPoints / 2.0);
    if (c.font >= 0) f.setFontFamilies(QStringList{tables_.familyName(c.font)});
    if (c.foreground >= 0) f.setForeground(QColor(QRgb(c.foreground)));
    if (c.background >= 0) f.setBackground(QColor(QRgb(c.background)));
    if (key.anchors >= 0) {
        f.setAnchor(true);
        f.setAnchorNames(links_.anchorNames(key.anchors));
    }
    if (key.link >= 0) {
        f.setAnchor(true);
        f.setAnchorHref(links_.target(key.link));
        f.setForeground(QColor(Qt::blue));
        f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    }
    return f;
}

// A run's format by what it holds: the font's name and the colours rather than their table entries.
RunKey Formats::formatKey(const RunKey& run) const {
    RunKey key = run;
    key.chr.font = tables_.familyOf(run.chr.font);
    key.chr.foreground = tables_.rgbOf(run.chr.foreground);
    key.chr.background = tables_.rgbOf(run.chr.background);
    key.chr.hidden = false;
    return key;
}

// Past the limit, the nearest format made already: without tab stops, or the plain one.
QTextBlockFormat Formats::blockFormat(const ParaProps& props) {
    ParaProps p = props;
    p.inTable = false;
    p.tabKind = QTextOption::LeftTab;
    if (const QTextBlockFormat* f = blockFormats_.find(p)) return *f;
    if (!blockFormats_.full()) return blockFormats_.add(p, makeBlockFormat(p));
    p.tabCount = 0;
    p.tabs = {};
    if (const QTextBlockFormat* f = blockFormats_.find(p)) return *f;
    p = ParaProps{};
    if (const QTextBlockFormat* f = blockFormats_.find(p)) return *f;
    return blockFormats_.add(p, makeBlockFormat(p));
}

// Past the limit, tables keep their columns but not their widths.
QTextTableFormat Formats::tableFormat(qsizetype columns, const std::vector<int>& cellx) {
    TableKey key{columns, cellx};
    if (const QTextTableFormat* f = tableFormats_.find(key)) return *f;
    if (!tableFormats_.full()) return tableFormats_.add(key, makeTableFormat(key));
    key.cellx.clear();
    if (const QTextTableFormat* f = tableFormats_.find(key)) return *f;
    return tableFormats_.add(key, makeTableFormat(key));  // one per column count at most
}

}  // namespace Rtf
