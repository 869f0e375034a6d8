#include "rtf/RtfLinks.h"

#include "rtf/CodePages.h"

#include <utility>

namespace Rtf {
namespace {

constexpr size_t kMaxFields = 65536;
constexpr qsizetype kMaxFieldCode = 4096;
constexpr qsizetype kMaxName = 256;
constexpr int kMaxAnchorsAtOnePlace = 16;

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

}  // namespace

void Links::startField(State& s) {
    s.field = -1;
    if (fields_.size() >= kMaxFields) return;
    fields_.emplace_back();
    s.field = int(fields_.size()) - 1;
}

void Links::fieldCode(const State& s, QStringView text) {
    appendCapped(fields_[size_t(s.field)].code, text, kMaxFieldCode);
}

void Links::fieldResult(State& s) {
    if (s.field < 0) return;
    Field& f = fields_[size_t(s.field)];
    if (!f.resolved) {
        const QString href = hyperlinkTarget(f.code);
        if (!href.isEmpty()) f.target = links_.id(href);
        f.resolved = true;
    }
    if (f.target >= 0) s.link = f.target;
}

void Links::bookmarkText(QStringView text) { appendCapped(bookmark_, text, kMaxName); }

void Links::endBookmark() {
    const QString name = std::exchange(bookmark_, {}).trimmed();
    if (!name.isEmpty() && nextAnchors_.size() < kMaxAnchorsAtOnePlace) nextAnchors_.append(name);
}

int Links::takeAnchors() {
    if (nextAnchors_.isEmpty()) return -1;
    return anchors_.id(std::exchange(nextAnchors_, {}).join(u'\n'));
}

}  // namespace Rtf
