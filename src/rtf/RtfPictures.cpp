#include "rtf/RtfPictures.h"

#include "rtf/CodePages.h"
#include "rtf/RtfFormats.h"
#include "rtf/RtfTokenizer.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace Rtf {
namespace {

constexpr int kMaxImageSide = 16384;
constexpr qint64 kMaxImagePixels = 4096LL * 4096;
constexpr double kMaxShownSide = 8000;  // pixels
constexpr qsizetype kMaxName = 256;

}  // namespace

void Pictures::start(bool inShape) {
    picture_ = Picture{};
    picture_.inShape = inShape;
}

void Pictures::word(const Word& w, int param) {
    switch (w.kw) {
        case Kw::Blip: picture_.kind = Picture::Kind(w.arg); break;
        case Kw::PicWidthGoal: picture_.goalWidth = std::max(param, 0); break;
        case Kw::PicHeightGoal: picture_.goalHeight = std::max(param, 0); break;
        case Kw::PicScaleX: picture_.scaleX = std::clamp(param, 1, 1000); break;
        case Kw::PicScaleY: picture_.scaleY = std::clamp(param, 1, 1000); break;
        default: break;
    }
}

void Pictures::shapeWord(Kw kw, int param) {
    switch (kw) {
        case Kw::ShapeLeft: shape_.left = param; break;
        case Kw::ShapeTop: shape_.top = param; break;
        case Kw::ShapeRight: shape_.right = param; break;
        case Kw::ShapeBottom: shape_.bottom = param; break;
        default: break;
    }
}

void Pictures::hexText(QByteArrayView bytes) {
    for (const char c : bytes) {
        const int v = hexValue(c);
        if (v < 0) continue;
        if (picture_.nibble < 0) {
            picture_.nibble = v;
        } else {
            picture_.data.append(char(picture_.nibble << 4 | v));
            picture_.nibble = -1;
        }
    }
}

void Pictures::shapeNameText(QStringView text) { appendCapped(shapeName_, text, kMaxName); }

std::optional<Pictures::Placed> Pictures::finish(QTextDocument* doc, bool hidden) {
    const Picture pic = std::exchange(picture_, Picture{});
    if (pic.kind == Picture::Kind::Other || pic.data.isEmpty() || hidden) return std::nullopt;
    const QImage image = decodeImage(pic);
    if (image.isNull()) return std::nullopt;
    const QString name = QStringLiteral("rtf-picture:%1").arg(++pictures_);
    doc->addResource(QTextDocument::ImageResource, QUrl(name), image);
    return Placed{name, shownSize(pic, image.size())};
}

// Reads the header first, so a small file cannot unpack into a huge image.
QImage Pictures::decodeImage(const Picture& pic) {
    QBuffer buffer;
    buffer.setData(pic.data);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer, pic.kind == Picture::Kind::Png ? "png" : "jpeg");
    const QSize size = reader.size();
    if (size.isEmpty() || size.width() > kMaxImageSide || size.height() > kMaxImageSide) return {};
    const qint64 pixels = qint64(size.width()) * size.height();
    // Four bytes a pixel, or more for the deeper pixels of 16-bit PNGs.
    const int depth = QImage::toPixelFormat(reader.imageFormat()).bitsPerPixel();
    const qint64 bytes = pixels * std::max(4, depth / 8);
    if (pixels > kMaxImagePixels || bytes > pictureBytes_) return {};
    // Charged even when decoding fails late, since the work is done by then.
    pictureBytes_ -= bytes;
    return reader.read();
}

QSizeF Pictures::shownSize(const Picture& pic, QSize image) const {
    const int boxWidth = pic.inShape ? shape_.right - shape_.left : 0;
    const int boxHeight = pic.inShape ? shape_.bottom - shape_.top : 0;
    const int twipsWide = pic.goalWidth > 0 ? pic.goalWidth : boxWidth;
    const int twipsHigh = pic.goalHeight > 0 ? pic.goalHeight : boxHeight;
    double w = twipsWide > 0 ? toPixels(twipsWide) : image.width();
    double h = twipsHigh > 0 ? toPixels(twipsHigh) : image.height();
    w = w * pic.scaleX / 100.0;
    h = h * pic.scaleY / 100.0;
    return {std::clamp(w, 1.0, kMaxShownSide), std::clamp(h, 1.0, kMaxShownSide)};
}

}  // namespace Rtf
