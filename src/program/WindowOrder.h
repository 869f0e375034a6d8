#pragma once

#include <QString>

class Form;

// What a window asks of the program as a whole, which only the top of the
// program knows: which window is the main one, and what comes before and
// after a window. The program's start sets it up.
class WindowOrder {
public:
    virtual ~WindowOrder() = default;

    // The main window, while it is loaded.
    virtual Form* mainWindow() = 0;
    // Puts a text into the main window's status line.
    virtual void SetStatus(const QString& text) = 0;

    // The main window has loaded: the vault is opened next.
    virtual void mainLoaded() = 0;
    // The main window is unloading: the program ends, or lives on in the browser window.
    virtual void mainClosed() = 0;
    // The master password was typed: created, or the vault's own.
    virtual void passwordCreated() = 0;
    virtual void passwordAccepted() = 0;
};
