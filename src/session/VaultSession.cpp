#include "session/VaultSession.h"

#include "vault/VaultFile.h"

VaultSession::VaultSession(const Platform& platform) : platform_(platform) {
    // The vault's three fields are the list's columns.
    for (const char* header : {"Username", "Password", "Website/Location"})
        entries_.addColumnHeader(QString::fromLatin1(header));
}

QString VaultSession::vaultPath() const { return VaultFile::vaultPath(platform_.appInfo->applicationDir()); }

bool VaultSession::ended() const { return platform_.programEnd->ended(); }

void VaultSession::SetStatus(const QString& text) {
    if (listener_) listener_->SetStatus(text);
}

MsgResult VaultSession::msgBox(const QString& text, MsgButtons buttons, MsgResult defaultButton, MsgIcon icon) {
    return listener_ ? listener_->msgBox(text, buttons, defaultButton, icon) : defaultButton;
}

void VaultSession::entriesReplaced() {
    if (listener_) listener_->entriesReplaced();
}
