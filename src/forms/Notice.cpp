#include "forms/Notice.h"

Notice::Notice(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("notice"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Nothing to see: it takes no room and draws nothing.
    setFixedSize(0, 0);
    setVisible(false);
}

void Notice::say(const QString& text) {
    // Hidden first, so that even the same text again appears anew.
    setVisible(false);
    setAccessibleName(text);
    setVisible(true);
}
