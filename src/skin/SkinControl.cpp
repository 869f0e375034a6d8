#include "skin/SkinControl.h"

#include <QPalette>
#include <QWidget>

QColor toQColor(OleColor c) {
    const auto u = static_cast<quint32>(c);
    return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF), static_cast<int>((u >> 16) & 0xFF));
}

OleColor fromRgb(int red, int green, int blue) { return static_cast<OleColor>(red | (green << 8) | (blue << 16)); }

// "Standard Skin": white background, black text, a sand-coloured panel.
SkinControl::SkinControl(QObject* parent)
    : QObject(parent),
      backColor_(fromRgb(255, 255, 255)),
      textColor_(fromRgb(0, 0, 0)),
      panelColor_(fromRgb(0xD2, 0xBE, 0x96)) {}

void SkinControl::apply(QWidget* window) const {
    QPalette p = window->palette();
    p.setColor(QPalette::Window, toQColor(panelColor_));
    p.setColor(QPalette::WindowText, toQColor(textColor_));
    window->setPalette(p);
    window->setAutoFillBackground(true);
}
