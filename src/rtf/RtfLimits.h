#pragma once

#include <QtGlobal>

// What one document may cost, however damaged or hostile: see RtfReader.h.
namespace RtfReader {

constexpr qsizetype kMaxCharFormats = 1024;
constexpr qsizetype kMaxParagraphFormats = 256;
constexpr qint64 kMaxPictureBytes = 64LL << 20;

}  // namespace RtfReader
