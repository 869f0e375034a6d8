#pragma once

#include <QWidget>

// Something said to screen readers without moving the keyboard focus: an
// unseen notification that appears again with each new text. Screen readers
// speak a notification as it appears; one said while its window is hidden
// appears, and is spoken, when the window shows.
class Notice : public QWidget {
    Q_OBJECT
public:
    explicit Notice(QWidget* parent);

    void say(const QString& text);
    QString said() const { return accessibleName(); }
};
