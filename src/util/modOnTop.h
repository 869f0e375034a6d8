#pragma once

class QWidget;

// Keeps a window above all ordinary windows (onTop true) or returns it to the
// normal layer, without moving or resizing it; either way it becomes active.
void SetOnTop(QWidget* frm, bool onTop);

// Whether SetOnTop last made the window topmost.
bool IsOnTop(const QWidget* frm);
