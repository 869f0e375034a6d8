#pragma once

#include <QToolButton>

// A graphical command button: its picture with the caption under it.
class PictureButton : public QToolButton {
    Q_OBJECT
public:
    PictureButton(const QString& caption, const QString& picture, QWidget* parent);
};
