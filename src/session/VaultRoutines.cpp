// The open vault's routines: opening it, loading, saving and creating it.
#include "listview/ListItems.h"
#include "platform/Memory.h"
#include "session/VaultSession.h"
#include "vault/VaultCodec.h"
#include "vault/VaultFile.h"

#include <QDir>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace {

// A failure that leaves nothing sensible to go on with: told; the caller ends the program.
void fatal(VaultSession& vault, const QString& what, const QString& why) {
    vault.msgBox(what + QStringLiteral("\n\n") + why, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Critical);
}

bool ensureAndRead(VaultSession& vault, QByteArray* bytes, DurableFile::Stamp* stamp = nullptr) {
    const QString path = vault.vaultPath();
    if (VaultFile::Result r = VaultFile::EnsureDataFile(path); !r.ok) {
        fatal(vault, QStringLiteral("Tressik cannot create its vault file."), r.error);
        return false;
    }
    if (VaultFile::Result r = VaultFile::read(path, bytes, stamp); !r.ok) {
        fatal(vault, QStringLiteral("Tressik cannot read its vault file."), r.error);
        return false;
    }
    return true;
}

// The vault's entries; the file's bytes are gone before the list grows. A
// version saved meanwhile under another master password is kept aside, and
// none of its entries are shown.
std::optional<std::vector<PackedEntry>> readVaultEntries(VaultSession& vault) {
    QByteArray bytes;
    DurableFile::Stamp stamp;
    if (!ensureAndRead(vault, &bytes, &stamp)) return std::nullopt;
    const VaultFile::Version version = VaultFile::Version::of(stamp, bytes);
    if (VaultCodec::readMasterPassword(bytes) != vault.strMasterPassword) {
        vault.sync.keepAside(bytes, version, QStringLiteral("it was saved with another master password"));
        return std::vector<PackedEntry>{};
    }
    vault.sync.remember(version);
    vault.sync.rememberEntries(bytes);
    return VaultCodec::readPackedEntries(bytes);
}

// Tells, once the save is done, where a version it had not seen was kept.
void tellKept(VaultSession& vault, const QString& keptAs) {
    if (keptAs.isEmpty()) return;
    vault.msgBox(QStringLiteral("The vault file had been changed by another program since Tressik last read it.  "
                                "That version has been kept as %1 before your changes were saved.")
                     .arg(QDir::toNativeSeparators(keptAs)),
                 MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
}

// Writes the vault after keeping aside a version on disk that the program has
// not seen; remembers what it wrote.
VaultFile::Result writeSeen(VaultSession& vault, const QByteArray& bytes, QString* keptAs) {
    const QString path = vault.vaultPath();
    if (QString error; !vault.sync.keepUnseen(keptAs, &error)) return {false, error, false};
    if (VaultFile::Result r = VaultFile::EnsureDataFile(path); !r.ok) return r;
    DurableFile::Stamp written;
    VaultFile::Result r = VaultFile::writeAtomic(path, bytes, &written);
    if (r.ok || r.replaced) {
        vault.sync.remember(VaultFile::Version::of(written, bytes));
        vault.sync.rememberEntries(bytes);
    }
    return r;
}

// A copy without the lock writes nothing: another copy may have started since.
VaultFile::Result unguardedSave() {
    return {false,
            QStringLiteral("This copy of Tressik started while its folder could not be written to, so it runs "
                           "without the lock that keeps a second copy from saving at the same time, and it saves "
                           "nothing.  Start Tressik again once the folder is writable."),
            false};
}

// Asks whether to open a vault that a copy on another computer has locked.
bool openAnyway(VaultSession& vault, const VaultSession::LockHolder& holder) {
    using Machine = VaultSession::LockHolder::Machine;
    const QString since =
        holder.since.isValid() ? QStringLiteral(" since ") + vault.clock().text(holder.since) : QString();
    QString where = QStringLiteral("the computer ");
    QString unsure;
    if (holder.machine == Machine::Namesake) where = QStringLiteral("another computer that is also called ");
    if (holder.machine == Machine::Unconfirmed) {
        where = QStringLiteral("a computer called ");
        unsure = QStringLiteral(
            "\n\nThis computer has that name too, but the lock does not say which computer it is, so Tressik "
            "cannot check from here whether it is still running.");
    }
    const MsgResult answer = vault.msgBox(
        QStringLiteral("The vault file %1 is in use by Tressik on %2\"%3\"%4.%5\n\nIf Tressik is no longer "
                       "running there (the folder was moved, or that computer stopped without closing it), you can "
                       "open the vault here.  If it is still running there, changes made in both places will "
                       "overwrite each other.\n\nOpen the vault anyway?")
            .arg(QDir::toNativeSeparators(vault.vaultPath()), where, holder.host, since, unsure),
        MsgButtons::YesNo, MsgResult::No, MsgIcon::Warning);
    return answer == MsgResult::Yes;
}

}  // namespace

VaultSession::Opened VaultSession::OpenVault() {
    VaultSession& vault = *this;
    QString why;
    VaultSession::LockHolder holder;
    VaultSession::VaultLock lock = vault.lockVault(&why, &holder);
    // Asked again whenever the lock changed while the user was asked.
    while (lock == VaultSession::VaultLock::HeldOnAnotherMachine) {
        // No ends the program, as for a copy running here, but without that box.
        if (!openAnyway(vault, holder)) return Opened::Refused;
        lock = vault.takeOverVaultLock(&why, &holder);
    }
    if (lock == VaultSession::VaultLock::HeldByAnotherCopy) {
        vault.msgBox(QStringLiteral("Tressik is already running.\n\nOnly one copy of the program can use the vault "
                                    "file %1 at a time.")
                         .arg(QDir::toNativeSeparators(vault.vaultPath())),
                     MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
        return Opened::Refused;
    }
    if (lock == VaultSession::VaultLock::Failed) {
        fatal(vault,
              QStringLiteral("Tressik cannot lock its vault file %1, so it cannot keep a second running copy from "
                             "saving at the same time.  Tressik will close; the vault file was not changed.")
                  .arg(QDir::toNativeSeparators(vault.vaultPath())),
              why);
        return Opened::Refused;
    }
    // What saves killed before their rename left; only with the lock held, so
    // that no save of another copy is under way.
    if (lock == VaultSession::VaultLock::Held) VaultFile::removeLeftovers(vault.vaultPath());
    QByteArray bytes;
    DurableFile::Stamp stamp;
    if (!ensureAndRead(vault, &bytes, &stamp)) return Opened::Refused;
    vault.sync.remember(VaultFile::Version::of(stamp, bytes));
    // Say so now rather than at the first change that cannot be saved.
    if (lock == VaultSession::VaultLock::ReadOnlyFolder) {
        vault.msgBox(
            QStringLiteral("Tressik cannot write to its folder %1.\n\nYou can open the vault and copy "
                           "from it, but this copy of the program saves no changes.  Make the folder "
                           "writable and start Tressik again to make changes.")
                .arg(QDir::toNativeSeparators(QFileInfo(VaultFile::writtenFile(vault.vaultPath())).absolutePath())),
            MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
    }
    const QString first = VaultCodec::readMasterPassword(bytes);
    if (first.isEmpty()) return Opened::WithoutPassword;
    vault.strSavedPassword = first;
    return Opened::WithPassword;
}

bool VaultSession::LoadData() {
    VaultSession& vault = *this;
    std::optional<std::vector<PackedEntry>> rows = readVaultEntries(vault);
    if (!rows) return false;
    const auto count = static_cast<qsizetype>(rows->size());
    vault.entries().appendMany(std::move(*rows));
    rows.reset();
    // Loading a large vault leaves megabytes freed but still resident.
    releaseFreeMemory();
    vault.SetStatus(QStringLiteral("Loaded ") + QString::number(count) + QStringLiteral(" entries"));
    vault.sync.follow();
    return true;
}

bool VaultSession::SaveNewPassword() {
    VaultSession& vault = *this;
    const QString path = vault.vaultPath();
    const std::optional<QByteArray> bytes = VaultCodec::newVaultBytes(vault.strMasterPassword);
    if (!bytes) {
        fatal(vault, QStringLiteral("The new master password cannot be stored."),
              VaultCodec::masterPasswordProblem(vault.strMasterPassword));
        return false;
    }
    QByteArray old;
    if (!ensureAndRead(vault, &old)) return false;
    // A version written meanwhile by another program is kept aside by the save;
    // a file without a master password can still hold entry lines (written by
    // hand or damaged): keep them aside too before the new vault replaces it.
    QString unseenKeptAs;
    QString keptAs;
    const bool seen = DurableFile::stampOf(path) == vault.sync.known().stamp;
    if (vault.vaultLocked() && seen && VaultCodec::hasEntryLines(old)) {
        if (VaultFile::Result r = VaultFile::backup(path, &keptAs); !r.ok) {
            fatal(vault,
                  QStringLiteral("The vault file holds entries but no master password, and it could not be kept "
                                 "aside before a new vault replaces it.  Nothing was changed."),
                  r.error);
            return false;
        }
    }
    const VaultFile::Result r = vault.vaultLocked() ? writeSeen(vault, *bytes, &unseenKeptAs) : unguardedSave();
    if (!r.ok && !r.replaced) {
        QString what =
            QStringLiteral("The new master password could not be saved.  The vault file was left as it was.");
        if (!keptAs.isEmpty())
            what += QStringLiteral("  A copy of it was also kept as %1.").arg(QDir::toNativeSeparators(keptAs));
        fatal(vault, what, r.error);
        return false;
    }
    if (r.ok) {
        vault.SetStatus(QStringLiteral("Password created successfully"));
    } else {
        // The vault stays open, so that the next save writes the file again.
        vault.msgBox(
            (r.differs ? QStringLiteral("The vault file was replaced, but what is now on disk differs from the "
                                        "new master password that was meant to be saved.\n\n")
                       : QStringLiteral("The vault file was replaced, but the system could not confirm that "
                                        "the new master password reached the disk.\n\n")) +
                r.error +
                QStringLiteral("\n\nThe vault stays open; your next change saves the master password and "
                               "the list again."),
            MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
    }
    tellKept(vault, unseenKeptAs);
    if (!keptAs.isEmpty()) {
        vault.msgBox(QStringLiteral("The vault file held entries but no master password.  It has been kept as %1 "
                                    "before the new vault replaced it.")
                         .arg(QDir::toNativeSeparators(keptAs)),
                     MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
    }
    vault.sync.follow();
    return true;
}

bool VaultSession::SaveData() {
    VaultSession& vault = *this;
    VaultFile::Result r;
    lastSave_ = {};
    if (!vault.vaultLocked()) {
        r = unguardedSave();
        sync.markUnsaved();
    } else {
        r = sync.save(&lastSave_);
    }
    const QString& keptAs = lastSave_.keptAs;
    if (!r.ok) {
        QString text;
        if (!r.replaced) {
            text = QStringLiteral("Your changes could not be saved.\n\n") + r.error +
                   QStringLiteral("\n\nThe vault file was left as it was; the list still shows your changes.");
        } else if (r.differs) {
            text = QStringLiteral(
                       "The vault file was replaced, but what is now on disk differs from what was meant "
                       "to be saved.\n\n") +
                   r.error +
                   QStringLiteral(
                       "\n\nYour changes count as not saved: the list still shows them, and your next "
                       "change saves the whole list again.");
        } else {
            text = QStringLiteral(
                       "The vault file was replaced, but the system could not confirm that your changes "
                       "reached the disk.\n\n") +
                   r.error +
                   QStringLiteral(
                       "\n\nThe list still shows your changes; your next change saves the whole list "
                       "again.");
        }
        vault.msgBox(text, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
        tellKept(vault, keptAs);
        return false;
    }
    tellKept(vault, keptAs);
    vault.SetStatus(QStringLiteral("Saved ") + vault.clock().nowText() +
                    (lastSave_.merged ? QStringLiteral(", merged with a change from another program") : QString()));
    return true;
}

bool VaultSession::saveEntries() {
    const bool saved = SaveData();
    if (saved && lastSave_.unmatched > 0) tellUnmatched();
    return saved;
}

void VaultSession::tellUnmatched() {
    msgBox(QStringLiteral("Some of the changes just saved were to entries that another program has changed or "
                          "removed in the meantime.  A deletion of such an entry deleted nothing, and an edit of "
                          "one was saved as a new entry."),
           MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
}
