#pragma once

#include <QKeyEvent>
#include <QObject>
#include <QPointer>

#include <deque>
#include <memory>

// Keeps the keys typed into a password box from accessibility clients.
//
// Qt's desktop accessibility bridge takes every key the window system sends,
// before any window sees it, and hands it to the screen reader with its
// character, key symbol and key code; the key reaches its window only once the
// screen reader has answered. A screen reader that falls behind the keys
// speaks them against whatever window is active by then, so it must never be
// given them. Each such key is therefore rewritten, before the bridge sees it,
// into the box's mask character with no key code; once it comes through to
// its window, from the bridge or straight, the real key takes its place. The
// bridge keeps its order, so the real keys keep theirs.
//
// Every other key passes as it is: Tab, Return, Escape, Backspace, the arrows
// and every key pressed while a screen reader's own modifier (Insert or Caps
// Lock) is held, so that its commands still work in a password box.
class PasswordKeys : public QObject {
public:
    PasswordKeys() = default;
    ~PasswordKeys() override;

    // Called with every event before anything else sees it.
    void screen(QObject* receiver, QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Held {
        quint32 mark;
        QPointer<QObject> receiver;
        std::unique_ptr<QKeyEvent> key;
    };

    bool secret(QObject* receiver, const QKeyEvent* key) const;

    std::deque<Held> held_;
    quint32 next_ = 0;
    bool readerModifier_ = false;
};
