// Any bytes at all, read as Help.rtf. The help file lies beside the program where anyone can replace it,
// so the reader must take whatever is there and build a sound document from it. Laying the documents out
// is left to the unit tests: Qt keeps every font a random file asks for, which would look like a leak.

#include "rtf/RtfReader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextFragment>
#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_rtf_reader: broken: %s\n", what);
    std::abort();
}

// Characters QTextDocument keeps for its own structure must only come from the structure.
bool hasStructureChars(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == QChar::ObjectReplacementCharacter || u == QChar::ParagraphSeparator) return true;
        if (u == 0xFDD0 || u == 0xFDD1) return true;  // frame start and end
    }
    return false;
}

void checkFragments(const QTextDocument& doc) {
    qint64 pictureBytes = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.isImageFormat()) {
                check(!hasStructureChars(fragment.text()), "a structure character in the text");
                continue;
            }
            const QUrl name(format.toImageFormat().name());
            const QImage image = doc.resource(QTextDocument::ImageResource, name).value<QImage>();
            check(!image.isNull(), "a picture without its image");
            check(qint64(image.width()) * image.height() <= 4096LL * 4096, "a picture past the size limit");
            pictureBytes += image.sizeInBytes();
        }
    }
    check(pictureBytes <= RtfReader::kMaxPictureBytes, "pictures past the document's limit");
}

// Pictures and table cells have a format each of their own.
qsizetype textFormats(const QTextDocument& doc) {
    qsizetype n = 0;
    for (const QTextFormat& f : doc.allFormats()) n += f.isCharFormat() && !f.isImageFormat() && !f.isTableCellFormat();
    return n;
}

// However many the file asks for, beside the ones every document has.
void checkFormats(const QTextDocument& doc) {
    static const qsizetype own = [] {
        QTextDocument empty;
        RtfReader::readRtf("{\\rtf1 x}", &empty);
        return textFormats(empty);
    }();
    check(textFormats(doc) <= RtfReader::kMaxCharFormats + own, "more character formats than the limit");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept for the whole run and never deleted: libFuzzer ends the process with exit().
    new QGuiApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // No copy, so a read past the end lands outside libFuzzer's buffer.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    QTextDocument doc;
    const bool rtf = RtfReader::readRtf(bytes, &doc);
    check(rtf == RtfReader::isRtf(bytes), "readRtf and isRtf disagree");
    if (!rtf) return 0;

    check(doc.characterCount() <= 2 * qsizetype(size) + 2, "a document far larger than its file");
    checkFragments(doc);
    checkFormats(doc);

    // Nothing of one reading may leak into the next.
    const QString first = doc.toPlainText();
    RtfReader::readRtf(bytes, &doc);
    check(doc.toPlainText() == first, "reading twice gives different text");
    return 0;
}
