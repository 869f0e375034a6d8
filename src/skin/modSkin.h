#pragma once

#include "skin/SkinControl.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class Form;
class QWidget;
class SkinLabel;

// The kind of control a widget stands for: "CommandButton", "TextBox",
// "ListView", "PictureBox", "Label", "SkinLabel", "Frame", …
QString TypeName(const QWidget* control);

// The window's controls in collection order, those inside frames and picture
// boxes included, but not the inner parts of composite controls.
QList<QWidget*> Controls(QWidget* frm);

// Colours the window's standard controls from the skin's colours, by kind.
void SetControlColors(QWidget* frm, OleColor backColor, OleColor textColor, OleColor panelColor);

// Gives a loaded window the skin. When the skin has gone with the splash
// window, asks reload to bring that window back (without running start-up
// again), which sets objSkin, and tries once more. False when the second try
// failed too; the window then stays unskinned.
bool ApplySkin(const QPointer<SkinControl>& objSkin, const std::function<void()>& reload, Form* frm);

// Lays a skin label over every plain label of the window (only those in
// container, when given), copying place, size, font, caption and visibility.
void SubstituteLabels(QWidget* frm, QList<SkinLabel*>& skinLabels, const QWidget* container = nullptr);
