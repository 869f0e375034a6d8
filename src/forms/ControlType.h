#pragma once

#include <QString>
#include <QWidget>

// The kind of control a widget stands for ("ListView", "StatusBar",
// "PictureBox", …), for code that treats controls by kind, such as the skin.
// A control of our own says its kind; a plain Qt widget is known by its class.
inline constexpr char kControlTypeProperty[] = "controlType";

inline void setControlType(QWidget* control, const QString& type) { control->setProperty(kControlTypeProperty, type); }
