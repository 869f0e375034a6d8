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
    frm->setProperty("tressikOnTop", onTop);
    if (frm->isVisible()) {
        frm->raise();
        frm->activateWindow();
    }
}

bool IsOnTop(const QWidget* frm) { return frm && frm->property("tressikOnTop").toBool(); }
