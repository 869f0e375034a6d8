#include "skin/SkinLabel.h"

#include "forms/Twips.h"

SkinLabel::SkinLabel(const QString& caption, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setCaption(caption);
}

void SkinLabel::setCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setText(shown);
}

SkinLabel* SkinLabel::hiddenTemplate(QWidget* parent, int left, int top, int width, int height) {
    auto* label = new SkinLabel(QStringLiteral("Windowed Label"), parent);
    label->setObjectName(QStringLiteral("SkinLabel1"));
    QFont sans(QStringLiteral("MS Sans Serif"));
    sans.setPointSizeF(8.25);
    label->setFont(sans);
    Twips::place(label, left, top, width, height);
    label->setVisible(false);
    return label;
}
