#include "rtf/RtfState.h"

#include <algorithm>

namespace Rtf {
namespace {

constexpr int kMaxTwips = 31680;  // 22 inches, more than any page
constexpr int kMaxHalfPoints = 3276;

}  // namespace

void applyProperty(State& s, Kw kw, int arg, bool hasParam, int param, int defaultFont) {
    const bool on = !hasParam || param != 0;
    CharProps& c = s.chr;
    ParaProps& p = s.para;
    switch (kw) {
        case Kw::Plain:
            c = CharProps{};
            c.font = defaultFont;
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
        case Kw::FontSize: c.halfPoints = hasParam ? std::clamp(param, 2, kMaxHalfPoints) : kDefaultHalfPoints; break;
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

}  // namespace Rtf
