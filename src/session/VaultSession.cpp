#include "session/VaultSession.h"

#include "platform/Memory.h"
#include "vault/VaultCodec.h"
#include "vault/VaultFile.h"

VaultSession::VaultSession(const Platform& platform) : platform_(platform) {
    // The vault's three fields are the list's columns.
    for (const char* header : {"Username", "Password", "Website/Location"})
        entries_.addColumnHeader(QString::fromLatin1(header));
}

VaultSession::~VaultSession() = default;

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

void VaultSession::letGoOfVault() {
    sync.stop();
    sync.remember({});
    sync.rememberEntries({});
    entries_.clear();
    vaultLock_.reset();
    strMasterPassword.clear();
    strSavedPassword.clear();
    // Freed, and given back rather than kept resident.
    releaseFreeMemory();
    if (listener_) listener_->letGo();
}

QString VaultSession::masterPasswordProblem(const QString& password) {
    return VaultCodec::masterPasswordProblem(password);
}

QString VaultSession::entryProblem(const Entry& entry) { return VaultCodec::entryProblem(entry); }
