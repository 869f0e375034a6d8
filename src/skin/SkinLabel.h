#pragma once

#include <QLabel>

// A windowed label: shows one or more lines of its caption. Line ends in the
// caption may be CR LF; the caption is kept exactly as given.
class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(const QString& caption, QWidget* parent);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    // The hidden element 0 of a window's skin label array, which label
    // substitution copies: "Windowed Label" in MS Sans Serif, at this place in twips.
    static SkinLabel* hiddenTemplate(QWidget* parent, int left, int top, int width, int height);

private:
    QString caption_;
};
