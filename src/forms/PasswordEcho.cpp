#include "forms/PasswordEcho.h"

#include <QAccessible>
#include <QLineEdit>
#include <QStyle>

namespace {

QAccessible::UpdateHandler previous = nullptr;
bool installed = false;

void handle(QAccessibleEvent* event);

// On to where the event would have gone without this handler.
void pass(QAccessibleEvent* event) {
    if (previous) {
        previous(event);
        return;
    }
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(&handle);
}

const QLineEdit* passwordBox(const QObject* object) {
    const auto* box = qobject_cast<const QLineEdit*>(object);
    return box && box->echoMode() != QLineEdit::Normal ? box : nullptr;
}

// What the box shows for the text: its mask character for each one, or
// nothing for a box that shows nothing.
QString masked(const QLineEdit* box, const QString& text) {
    if (box->echoMode() == QLineEdit::NoEcho || text.isEmpty()) return {};
    const int mask = box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box);
    return QString(text.size(), QChar(mask));
}

void handle(QAccessibleEvent* event) {
    const QLineEdit* box = passwordBox(event->object());
    switch (event->type()) {
        case QAccessible::TableModelChanged:
            // Qt has brought the table's cells up to date before it calls here;
            // sent through again, they would move twice. The desktop bridges
            // themselves do nothing with it.
            if (previous) previous(event);
            return;
        case QAccessible::TextInserted:
            if (box) {
                const auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
                QAccessibleTextInsertEvent safe(e->accessibleInterface(), e->changePosition(),
                                                masked(box, e->textInserted()));
                safe.setCursorPosition(e->cursorPosition());
                pass(&safe);
                return;
            }
            break;
        case QAccessible::TextRemoved:
            if (box) {
                const auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
                QAccessibleTextRemoveEvent safe(e->accessibleInterface(), e->changePosition(),
                                                masked(box, e->textRemoved()));
                safe.setCursorPosition(e->cursorPosition());
                pass(&safe);
                return;
            }
            break;
        case QAccessible::TextUpdated:
            if (box) {
                const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
                QAccessibleTextUpdateEvent safe(e->accessibleInterface(), e->changePosition(),
                                                masked(box, e->textRemoved()), masked(box, e->textInserted()));
                safe.setCursorPosition(e->cursorPosition());
                pass(&safe);
                return;
            }
            break;
        default: break;
    }
    pass(event);
}

}  // namespace

void maskPasswordEcho() {
    if (installed) return;
    installed = true;
    previous = QAccessible::installUpdateHandler(&handle);
}
