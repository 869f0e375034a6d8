#include "forms/PictureButton.h"

#include <QIcon>

PictureButton::PictureButton(const QString& caption, const QString& picture, QWidget* parent) : QToolButton(parent) {
    setText(caption);
    if (!picture.isEmpty()) setIcon(QIcon(picture));
    setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    setIconSize(caption.isEmpty() ? QSize(24, 24) : QSize(32, 32));
    setFocusPolicy(Qt::StrongFocus);
    setAutoRaise(false);
}
