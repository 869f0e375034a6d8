#pragma once

#include "skin/SkinLabel.h"

#include <QAccessible>
#include <QLabel>
#include <QWidget>

#include <initializer_list>

// Where controls sit for the user: relative to each other and to their window,
// never in the numbers they were placed with.

// lower starts below the bottom of upper.
inline bool below(const QWidget* lower, const QWidget* upper) { return lower->y() > upper->geometry().bottom(); }

// Left to right on one line, none overlapping the next.
inline bool inARow(std::initializer_list<const QWidget*> controls) {
    const QWidget* before = nullptr;
    for (const QWidget* c : controls) {
        if (before && (c->y() != before->y() || c->x() <= before->geometry().right())) return false;
        before = c;
    }
    return true;
}

// What a screen reader says a control is called.
inline QString spokenName(QWidget* control) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control);
    return a ? a->text(QAccessible::Name) : QString();
}

// A label on the line of its box, its words ending left of the box.
inline bool labels(const QLabel* label, const QWidget* box) {
    const auto* skin = qobject_cast<const SkinLabel*>(label);
    const int words = label->fontMetrics().horizontalAdvance(skin ? skin->caption() : label->text());
    const int middle = label->geometry().center().y();
    return label->x() + words < box->x() && middle > box->y() && middle < box->geometry().bottom();
}

// ... and, for a box that takes text, what a screen reader calls it: the
// label's words without the colon, the label its buddy.
inline bool labelsBox(const QLabel* label, QWidget* box) {
    const auto* skin = qobject_cast<const SkinLabel*>(label);
    const QString caption = skin ? skin->caption() : label->text();
    return labels(label, box) && caption.endsWith(QLatin1Char(':')) && spokenName(box) == caption.chopped(1) &&
           label->buddy() == box;
}

// Wholly inside its window (or whatever holds it).
inline bool inside(const QWidget* c) { return QRect(QPoint(), c->parentWidget()->size()).contains(c->geometry()); }
