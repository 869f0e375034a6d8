#pragma once

#include "rtf/Names.h"
#include "rtf/RtfState.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace Rtf {

// Fields, of which the reader follows only hyperlinks, and the bookmarks they may lead to:
// {\field{\*\fldinst HYPERLINK "address"}{\fldrslt shown text}} and {\*\bkmkstart name}.
class Links {
public:
    // A field opens in s; its code follows, then its result, the text shown.
    void startField(State& s);
    void fieldCode(const State& s, QStringView text);
    // Text in s from here on links to the field's target, if it has one.
    void fieldResult(State& s);

    void startBookmark() { bookmark_.clear(); }
    void bookmarkText(QStringView text);
    // A link to "#name" scrolls to the text after the bookmark of that name.
    void endBookmark();

    // The bookmarks that start at the next text, by number for anchorNames, and no longer waiting;
    // -1 when none do.
    int takeAnchors();
    QStringList anchorNames(int anchors) const { return anchors_.text(anchors).split(u'\n'); }
    const QString& target(int link) const { return links_.text(link); }

private:
    struct Field {
        QString code;
        int target = -1;  // a hyperlink's target, by number
        bool resolved = false;
    };

    std::vector<Field> fields_;
    Names links_;
    Names anchors_;            // the names of the bookmarks at one place, a line each
    QStringList nextAnchors_;  // bookmarks that start at the next text
    QString bookmark_;
};

}  // namespace Rtf
