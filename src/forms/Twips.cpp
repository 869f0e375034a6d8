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

void setLeft(QWidget* w, int left) {
    QRect r = rect(w);
    r.moveLeft(left);
    apply(w, r);
}

void setTop(QWidget* w, int top) {
    QRect r = rect(w);
    r.moveTop(top);
    apply(w, r);
}

void setWidth(QWidget* w, int width) {
    QRect r = rect(w);
    r.setWidth(width);
    apply(w, r);
}

void setHeight(QWidget* w, int height) {
    QRect r = rect(w);
    r.setHeight(height);
    apply(w, r);
}

}  // namespace Twips
