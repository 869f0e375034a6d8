#pragma once

#include <QColor>
#include <QObject>

class QWidget;

// Colours are OLE colours: 0x00BBGGRR in a signed 32-bit integer.
using OleColor = qint32;
QColor toQColor(OleColor c);
OleColor fromRgb(int red, int green, int blue);

// The skin that lives on the splash window: three colours and the call that
// gives a window the skin's look.
class SkinControl : public QObject {
    Q_OBJECT
public:
    explicit SkinControl(QObject* parent);

    OleColor backColor() const { return backColor_; }    // the skin background colour
    OleColor textColor() const { return textColor_; }    // the skin text colour
    OleColor panelColor() const { return panelColor_; }  // the skin panel colour

    // Gives the window the skin's frame colours.
    void apply(QWidget* window) const;

    // The object the control's container adds around it, handed to the helper.
    QObject* extender() { return this; }

private:
    OleColor backColor_;
    OleColor textColor_;
    OleColor panelColor_;
};

// Works beside the skin control: takes it over, starts, and stops as the program ends.
class SkinHelper {
public:
    void handOver(QObject* skin) { skin_ = skin; }  // method 2
    void start() { ++starts_; }                     // method 5
    void stop() { ++stops_; }                       // method 6

    QObject* skin() const { return skin_; }
    int starts() const { return starts_; }
    int stops() const { return stops_; }

private:
    QObject* skin_ = nullptr;
    int starts_ = 0;
    int stops_ = 0;
};
