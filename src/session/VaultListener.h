#pragma once

#include "platform/Platform.h"

#include <QString>

// What the open vault has to tell: the program's top passes it on to the
// windows. Nothing here knows which window shows it.
class VaultListener {
public:
    virtual ~VaultListener() = default;

    // A text for the status line.
    virtual void SetStatus(const QString& text) = 0;
    // A message or a question, through the message box seam; the button chosen.
    virtual MsgResult msgBox(const QString& text, MsgButtons buttons, MsgResult defaultButton, MsgIcon icon) = 0;
    // The entries were replaced by a version of the file read again.
    virtual void entriesReplaced() {}
    // The vault was let go: the lock released, the entries and the master password dropped.
    virtual void letGo() {}
};
