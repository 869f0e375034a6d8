#pragma once

#include "forms/PasswordKeys.h"

#include <QApplication>

// The program's application object. It sees every event before the
// accessibility bridge does, so that no key typed into a password box reaches
// a screen reader (see PasswordKeys).
class Application : public QApplication {
public:
    Application(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        passwordKeys_.screen(receiver, event);
        return QApplication::notify(receiver, event);
    }

private:
    PasswordKeys passwordKeys_;
};
