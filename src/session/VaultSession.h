#pragma once

#include "listview/ListItems.h"
#include "platform/Platform.h"
#include "session/VaultListener.h"
#include "session/VaultSync.h"

#include <QString>

// The open vault: its entries, as the list shows them, its master password,
// the file's known version and following the file. It knows no window; what
// it has to tell goes to its listener.
class VaultSession {
public:
    explicit VaultSession(const Platform& platform);
    VaultSession(const VaultSession&) = delete;
    VaultSession& operator=(const VaultSession&) = delete;

    void setListener(VaultListener* listener) { listener_ = listener; }

    QString vaultPath() const;
    ListItems& entries() { return entries_; }
    const ListItems& entries() const { return entries_; }

    // The master password once typed or created, and the one the file holds.
    QString strMasterPassword;
    QString strSavedPassword;

    // Whether the program is ending, when nothing more is to be read or told.
    bool ended() const;

    // Tells through the listener; nothing when there is none.
    void SetStatus(const QString& text);
    MsgResult msgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgResult defaultButton = MsgResult::Ok,
                     MsgIcon icon = MsgIcon::None);
    void entriesReplaced();

private:
    const Platform& platform_;
    VaultListener* listener_ = nullptr;
    ListItems entries_;

public:
    VaultSync sync{*this};
};
