#include "util/modOnTop.h"

#include <QWidget>
#include <QWindow>

void SetOnTop(QWidget* frm, bool onTop) {
    if (!frm) return;
    // Changing the widget's flags would hide a visible window; the native
    // window takes the change in place.
    if (QWindow* window = frm->windowHandle()) {
        window->setFlag(Qt::WindowStaysOnTopHint, onTop);
    } else {
        // Resetting the flags forgets the window state (maximised, say); keep it.
        const Qt::WindowStates state = frm->windowState();
        frm->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        frm->setWindowState(state);
    }
    if (frm->isVisible()) {
        frm->raise();
        frm->activateWindow();
    }
}

bool IsOnTop(const QWidget* frm) {
    if (!frm) return false;
    // A native window takes the change itself (above); the widget's flags stay as they were.
    const QWindow* window = frm->windowHandle();
    return (window ? window->flags() : frm->windowFlags()).testFlag(Qt::WindowStaysOnTopHint);
}
