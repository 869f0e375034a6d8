#pragma once

#include "entry/Entry.h"
#include "listview/ListItems.h"
#include "platform/DurableFile.h"
#include "platform/Platform.h"
#include "session/VaultListener.h"
#include "session/VaultSync.h"

#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <memory>

// The open vault: its entries, as the list shows them, its master password,
// the lock, the file's known version and following the file; opening,
// loading, saving and creating it. It knows no window: what it has to tell
// goes to its listener, which the program's top sets.
class VaultSession : private VaultSync::Vault {
public:
    explicit VaultSession(const Platform& platform);
    virtual ~VaultSession();
    VaultSession(const VaultSession&) = delete;
    VaultSession& operator=(const VaultSession&) = delete;

    void setListener(VaultListener* listener) { listener_ = listener; }

    QString vaultPath() const override;
    ListItems& entries() override { return entries_; }
    const ListItems& entries() const { return entries_; }

    // The master password once typed or created, and the one the file holds.
    QString strMasterPassword;
    QString strSavedPassword;

    // Locks the vault, removes what killed saves left, and reads the master
    // password it holds. Refused: the user has been told or has said no, and
    // the program is to end.
    enum class Opened { WithPassword, WithoutPassword, Refused };
    Opened OpenVault();
    // Fills the entries from the vault and follows the file from then on.
    // False, once told, when the vault cannot be read: the program is to end.
    bool LoadData();
    // Writes a brand-new vault that holds only the new master password, and
    // follows the file. False, once told, when nothing sensible is left to go
    // on with: the program is to end.
    bool SaveNewPassword();
    // Rewrites the whole vault from the entries. False, after telling why,
    // when the vault could not be written; the old file is then unchanged.
    bool SaveData();
    // What the last save did besides writing the list: merged it with a
    // version from another program, found entries changed there, kept one aside.
    const VaultSync::Saved& lastSave() const { return lastSave_; }
    // Says that some removals or edits met entries changed elsewhere.
    void tellUnmatched();
    // The vault is no longer needed: the lock is released, so that a new
    // start can open it, and the entries and the master password are dropped.
    void letGoOfVault();

    // Guards the vault against a second running copy.
    enum class VaultLock {
        Held,
        HeldByAnotherCopy,
        // The lock names another computer, whose processes cannot be asked
        // about: a copy there may run, or may have gone without unlocking.
        HeldOnAnotherMachine,
        // No lock, and this copy cannot write to the folder: it cannot spoil
        // another copy's saves, so it may run, but it saves nothing.
        ReadOnlyFolder,
        Failed,  // any other trouble; why says what
    };
    struct LockHolder {
        enum class Machine {
            Other,        // another host name
            Namesake,     // this host name, another machine id
            Unconfirmed,  // this host name, and a machine id missing on either side
        };
        QString host;
        QDateTime since;  // invalid when the file does not tell
        Machine machine = Machine::Other;
    };
    // The lock file as the user was asked about it.
    struct SeenLock {
        QByteArray bytes;
        DurableFile::Stamp stamp;
    };
    VaultLock lockVault(QString* why = nullptr, LockHolder* holder = nullptr);
    // Takes over the lock that lockVault found on another computer, only if it
    // is still that one; simply takes the lock if it has gone meanwhile. A
    // lock that changed meanwhile is judged again: HeldOnAnotherMachine, with
    // *holder, asks about it in turn.
    VaultLock takeOverVaultLock(QString* why, LockHolder* holder);
    bool vaultLocked() const;

    // Why a text cannot be stored in the vault and given back unchanged; empty when it can.
    static QString masterPasswordProblem(const QString& password);
    static QString entryProblem(const Entry& entry);

    // Whether the program is ending, when nothing more is to be read or told.
    bool ended() const override;
    IClock& clock() const { return *platform_.clock; }

    // Tells through the listener; nothing when there is none.
    void SetStatus(const QString& text) override;
    MsgResult msgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgResult defaultButton = MsgResult::Ok,
                     MsgIcon icon = MsgIcon::None) override;
    void entriesReplaced() override;

private:
    const QString& masterPassword() const override { return strMasterPassword; }
    bool saveEntries() override;
    VaultLock judgeVaultLock(QString* why, LockHolder* holder);

    const Platform& platform_;
    VaultListener* listener_ = nullptr;
    ListItems entries_;
    std::unique_ptr<QLockFile> vaultLock_;
    SeenLock seenLock_;
    VaultSync::Saved lastSave_;

public:
    VaultSync sync{*this};
};
