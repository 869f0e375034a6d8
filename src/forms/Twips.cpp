#include "forms/Twips.h"

#include <QVariant>
#include <QWidget>

#include <cmath>

namespace Twips {
namespace {
constexpr char kProperty[] = "tressikTwips";

void apply(QWidget* w, const QRect& r) {
    // Layouts rerun on every repaint: leave a control alone when nothing changed.
    if (const QVariant now = w->property(kProperty); now.isValid() && now.toRect() == r) return;
    w->setProperty(kProperty, r);
    w->setGeometry(toPixels(r.x()), toPixels(r.y()), toPixels(r.width()), toPixels(r.height()));
}
}  // namespace

int toPixels(double twips) { return static_cast<int>(std::lround(twips / kPerPixel)); }

double fromPixels(int pixels) { return pixels * kPerPixel; }

void place(QWidget* w, int left, int top, int width, int height) { apply(w, QRect(left, top, width, height)); }

QRect rect(const QWidget* w) {
    const QVariant v = w->property(kProperty);
    if (v.isValid()) return v.toRect();
    const QRect g = w->geometry();
    return {static_cast<int>(fromPixels(g.x())), static_cast<int>(fromPixels(g.y())),
            static_cast<int>(fromPixels(g.width())), static_cast<int>(fromPixels(g.height()))};
}

namespace {

template <class Change>
void change(QWidget* w, Change&& c) {
    QRect r = rect(w);
    c(r);
    apply(w, r);
}

}  // namespace

void setLeft(QWidget* w, int left) {
    change(w, [&](QRect& r) { r.moveLeft(left); });
}
void setTop(QWidget* w, int top) {
    change(w, [&](QRect& r) { r.moveTop(top); });
}
void setWidth(QWidget* w, int width) {
    change(w, [&](QRect& r) { r.setWidth(width); });
}
void setHeight(QWidget* w, int height) {
    change(w, [&](QRect& r) { r.setHeight(height); });
}

}  // namespace Twips
