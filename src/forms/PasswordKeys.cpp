#include "forms/PasswordKeys.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QWindow>

#include <algorithm>

namespace {

// The parts of a key event that the accessibility bridge sends on. Reached
// through pointers to members, the one way to change them in an event that
// Qt has made.
struct KeyFields : QKeyEvent {
    static constexpr QString QKeyEvent::*text = &KeyFields::m_text;
    static constexpr int QKeyEvent::*key = &KeyFields::m_key;
    static constexpr quint32 QKeyEvent::*scanCode = &KeyFields::m_scanCode;
    static constexpr quint32 QKeyEvent::*virtualKey = &KeyFields::m_virtualKey;
    static constexpr quint32 QKeyEvent::*nativeModifiers = &KeyFields::m_nativeModifiers;
};

// A rewritten key carries its number in its native modifiers, which the bridge
// copies but does not send; a real key's never reach that high bit, and the
// bridge's one look at them (Caps Lock, bit 1) always finds it clear.
constexpr quint32 markBit = 0x80000000U;
constexpr int markShift = 8;
constexpr quint32 markLimit = (markBit >> markShift) - 1;

bool rewritten(const QKeyEvent* key) {
    return (key->nativeModifiers() & markBit) && key->nativeScanCode() == 0 && key->key() == Qt::Key_unknown;
}

quint32 markOf(const QKeyEvent* key) { return (key->nativeModifiers() & ~markBit) >> markShift; }

bool isKey(const QEvent* event) { return event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease; }

// A screen reader's own modifier: Orca's are Insert (also on the keypad) and Caps Lock.
bool readerModifier(const QKeyEvent* key) { return key->key() == Qt::Key_Insert || key->key() == Qt::Key_CapsLock; }

// Whether the key types text: a printable character, space included. Tab,
// Return, Escape, Backspace, Delete and the control combinations type none.
bool types(const QKeyEvent* key) {
    const QString text = key->text();
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

const QLineEdit* lineBox(const QObject* object) { return qobject_cast<const QLineEdit*>(object); }

// Where the key goes: the window's focus, or the receiver itself.
QObject* target(QObject* receiver) {
    if (auto* window = qobject_cast<QWindow*>(receiver)) return window->focusObject();
    return receiver;
}

// A password box that is not a line box (a web page's, in the browser) is
// known by what it tells screen readers: its focused part says it hides its text.
bool accessiblePasswordBox(QObject* object) {
    if (!QAccessible::isActive()) return false;
    QAccessibleInterface* focus = QAccessible::queryAccessibleInterface(object);
    for (int depth = 0; focus && depth < 64; ++depth) {
        if (focus->state().passwordEdit) return true;
        QAccessibleInterface* child = focus->focusChild();
        if (!child || child == focus) break;
        focus = child;
    }
    return false;
}

QChar maskOf(const QObject* object) {
    if (const QLineEdit* box = lineBox(object))
        return QChar(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box));
    return QLatin1Char('*');
}

// The key symbol a character has on X11: Latin-1 as it is, the rest offset.
quint32 keySymbolOf(QChar c) {
    constexpr quint32 unicodeSymbols = 0x01000000U;
    return c.unicode() < 0x100 ? c.unicode() : (unicodeSymbols | c.unicode());
}

}  // namespace

PasswordKeys::~PasswordKeys() = default;

bool PasswordKeys::secret(QObject* receiver, const QKeyEvent* key) const {
    if (readerModifier_ || !types(key)) return false;
    QObject* to = target(receiver);
    if (!to) return false;
    if (const QLineEdit* box = lineBox(to)) return box->echoMode() != QLineEdit::Normal;
    return accessiblePasswordBox(to);
}

void PasswordKeys::screen(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::ApplicationDeactivate) {
        readerModifier_ = false;  // its release goes to another program
        return;
    }
    if (!isKey(event) || !event->spontaneous()) return;
    auto* key = static_cast<QKeyEvent*>(event);
    if (rewritten(key)) return;
    if (readerModifier(key)) {
        if (!key->isAutoRepeat()) readerModifier_ = event->type() == QEvent::KeyPress;
        return;
    }
    if (!secret(receiver, key)) return;

    const quint32 mark = next_;
    next_ = next_ == markLimit ? 0 : next_ + 1;
    held_.push_back({mark, receiver, std::unique_ptr<QKeyEvent>(key->clone())});
    const QChar mask = maskOf(target(receiver));
    key->*KeyFields::text = QString(mask);
    key->*KeyFields::key = Qt::Key_unknown;
    key->*KeyFields::scanCode = 0;
    key->*KeyFields::virtualKey = keySymbolOf(mask);
    key->*KeyFields::nativeModifiers = markBit | (mark << markShift);
    key->setModifiers(Qt::NoModifier);
    // Object filters see an event after every application filter, the bridge's
    // included: here the rewritten key comes through, whichever way it went.
    receiver->installEventFilter(this);
}

bool PasswordKeys::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (!isKey(event)) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!rewritten(key)) return false;
    const quint32 mark = markOf(key);
    const auto found = std::find_if(held_.begin(), held_.end(), [mark](const Held& h) { return h.mark == mark; });
    if (found == held_.end()) return true;  // already given back
    // Keys rewritten before this one and never come through were dropped on
    // the way; they were typed first, so they go first.
    std::deque<Held> due;
    due.insert(due.end(), std::make_move_iterator(held_.begin()), std::make_move_iterator(std::next(found)));
    held_.erase(held_.begin(), std::next(found));
    for (Held& h : due)
        if (h.receiver) QCoreApplication::sendEvent(h.receiver, h.key.get());  // not spontaneous: the bridge leaves it
    key->setAccepted(due.back().key->isAccepted());
    return true;
}
