#pragma once

#include "rtf/RtfLimits.h"

#include <QByteArray>

class QTextDocument;

// Reads Rich Text Format, as word processors write it, into a QTextDocument: text with its character and
// paragraph formatting, tables, PNG and JPEG pictures, hyperlinks and bookmarks. Whatever it does not
// know it skips and keeps the text around it. Damaged or hostile files cost at most time and memory in
// proportion to their size:
// - one document makes at most kMaxCharFormats distinct character formats and kMaxParagraphFormats
//   paragraph formats; text past either limit takes the nearest format already made, or a plain one;
// - its pictures together decode to at most kMaxPictureBytes (width x height x 4 bytes, more for deeper
//   pixels); pictures past that are dropped and the text around them kept.
namespace RtfReader {

// True when data starts with "{\rtf", after an optional UTF-8 byte order mark and white space.
bool isRtf(const QByteArray& data);

// Replaces doc's content with the document in data and returns true. When data is not RTF, doc gets the
// bytes as plain text, decoded as Windows-1252, and the result is false.
bool readRtf(const QByteArray& data, QTextDocument* doc);

}  // namespace RtfReader
