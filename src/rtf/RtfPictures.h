#pragma once

#include "rtf/ControlWords.h"
#include "rtf/RtfLimits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringView>

#include <optional>

class QTextDocument;

namespace Rtf {

// Pictures: {\pict\pngblip\picwgoal...\pichgoal... hex data}, PNG and JPEG only, on their own or as the
// picture property of a shape, {\shp{\*\shpinst\shpleft...{\sp{\sn pib}{\sv {\pict...}}}}}. Together
// they decode to no more than RtfReader::kMaxPictureBytes.
class Pictures {
public:
    struct Placed {
        QString name;  // the document's image resource
        QSizeF size;   // as shown, in pixels
    };

    void start(bool inShape);
    void word(const Word& w, int param);
    void hexText(QByteArrayView bytes);
    void binary(QByteArrayView bytes) { picture_.data.append(bytes); }
    // The picture read since start, added to doc; nullopt when it is not shown: hidden, of another
    // kind, broken, or past the limits.
    std::optional<Placed> finish(QTextDocument* doc, bool hidden);

    void startShape() { shape_ = {}; }
    void shapeWord(Kw kw, int param);
    void startShapeProperty() { shapeName_.clear(); }
    void shapeNameText(QStringView text);
    // Whether the shape property being read is the shape's picture.
    bool inPictureProperty() const { return shapeName_ == u"pib"; }

private:
    struct Picture {
        enum class Kind : quint8 { Other, Png, Jpeg };
        Kind kind = Kind::Other;
        int goalWidth = 0, goalHeight = 0;  // twips
        int scaleX = 100, scaleY = 100;     // percent
        bool inShape = false;
        int nibble = -1;
        QByteArray data;
    };
    struct ShapeBox {
        int left = 0, top = 0, right = 0, bottom = 0;  // twips
    };

    QImage decodeImage(const Picture& pic);
    QSizeF shownSize(const Picture& pic, QSize image) const;

    Picture picture_;
    ShapeBox shape_;
    QString shapeName_;
    qint64 pictureBytes_ = RtfReader::kMaxPictureBytes;  // left for decoding
    int pictures_ = 0;
};

}  // namespace Rtf
