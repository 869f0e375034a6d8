#include "rtf/RtfReader.h"

#include "rtf/RtfParser.h"
#include "text/CodePage.h"

#include <QTextDocument>

namespace RtfReader {
namespace {

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
    Rtf::Parser(data, start, doc).run();
    doc->setUndoRedoEnabled(undo);
    return true;
}

}  // namespace RtfReader
