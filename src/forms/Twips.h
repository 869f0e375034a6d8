#pragma once

#include <QRect>

class QWidget;

// Window layouts are written in twips, 15 twips to a pixel at 96 dpi, so the
// numbers in the code read like the layout tables.
namespace Twips {

inline constexpr double kPerPixel = 15.0;

int toPixels(double twips);
double fromPixels(int pixels);

// Places a control by twips and remembers the exact twips, so arithmetic on
// positions is not rounded through pixels.
void place(QWidget* w, int left, int top, int width, int height);
QRect rect(const QWidget* w);
void setLeft(QWidget* w, int left);
void setTop(QWidget* w, int top);
void setWidth(QWidget* w, int width);
void setHeight(QWidget* w, int height);
inline int left(const QWidget* w) { return rect(w).x(); }
inline int top(const QWidget* w) { return rect(w).y(); }
inline int width(const QWidget* w) { return rect(w).width(); }
inline int height(const QWidget* w) { return rect(w).height(); }

}  // namespace Twips
