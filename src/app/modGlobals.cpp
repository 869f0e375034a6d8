#include "app/modGlobals.h"

#include "app/Program.h"

#include "listview/ListItems.h"
#include "platform/Memory.h"
#include "program/App.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "vault/VaultCodec.h"
#include "vault/VaultFile.h"

#include <QDir>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace {

QWidget* mainWindow(App& app) { return app.forms.get<Form1>(); }

// A failure that leaves nothing sensible to go on with: tell, then end.
void fatal(App& app, QWidget* parent, const QString& what, const QString& why) {
    app.msgBox(parent, what + QStringLiteral("\n\n") + why, {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Critical);
    app.endProgram();
}

bool ensureAndRead(App& app, QByteArray* bytes, DurableFile::Stamp* stamp = nullptr) {
    const QString path = app.vaultPath();
    if (VaultFile::Result r = VaultFile::EnsureDataFile(path); !r.ok) {
        fatal(app, mainWindow(app), QStringLiteral("Tressik cannot create its vault file."), r.error);
        return false;
    }
    if (VaultFile::Result r = VaultFile::read(path, bytes, stamp); !r.ok) {
        fatal(app, mainWindow(app), QStringLiteral("Tressik cannot read its vault file."), r.error);
        return false;
    }
    return true;
}

// The vault's entries; the file's bytes are gone before the list grows. A
// version saved meanwhile under another master password is kept aside, and
// none of its entries are shown.
std::optional<std::vector<PackedEntry>> readVaultEntries(App& app) {
    QByteArray bytes;
    DurableFile::Stamp stamp;
    if (!ensureAndRead(app, &bytes, &stamp)) return std::nullopt;
    const VaultFile::Version version = VaultFile::Version::of(stamp, bytes);
    if (VaultCodec::readMasterPassword(bytes) != app.vault.strMasterPassword) {
        app.vault.sync.keepAside(bytes, version, QStringLiteral("it was saved with another master password"));
        return std::vector<PackedEntry>{};
    }
    app.vault.sync.remember(version);
    return VaultCodec::readPackedEntries(bytes);
}

// Tells, once the save is done, where a version it had not seen was kept.
void tellKept(App& app, const QString& keptAs) {
    if (keptAs.isEmpty()) return;
    app.msgBox(mainWindow(app),
               QStringLiteral("The vault file had been changed by another program since Tressik last read it.  "
                              "That version has been kept as %1 before your changes were saved.")
                   .arg(QDir::toNativeSeparators(keptAs)),
               {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
}

// Writes the vault after keeping aside a version on disk that the program has
// not seen; remembers what it wrote.
VaultFile::Result writeSeen(App& app, const QByteArray& bytes, QString* keptAs) {
    const QString path = app.vaultPath();
    if (QString error; !app.vault.sync.keepUnseen(keptAs, &error)) return {false, error, false};
    if (VaultFile::Result r = VaultFile::EnsureDataFile(path); !r.ok) return r;
    DurableFile::Stamp written;
    VaultFile::Result r = VaultFile::writeAtomic(path, bytes, &written);
    if (r.ok || r.replaced) app.vault.sync.remember(VaultFile::Version::of(written, bytes));
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
bool openAnyway(App& app, const App::LockHolder& holder) {
    using Machine = App::LockHolder::Machine;
    const QString since =
        holder.since.isValid() ? QStringLiteral(" since ") + app.platform.clock->text(holder.since) : QString();
    QString where = QStringLiteral("the computer ");
    QString unsure;
    if (holder.machine == Machine::Namesake) where = QStringLiteral("another computer that is also called ");
    if (holder.machine == Machine::Unconfirmed) {
        where = QStringLiteral("a computer called ");
        unsure = QStringLiteral(
            "\n\nThis computer has that name too, but the lock does not say which computer it is, so Tressik "
            "cannot check from here whether it is still running.");
    }
    const MsgResult answer = app.msgBox(
        mainWindow(app),
        QStringLiteral("The vault file %1 is in use by Tressik on %2\"%3\"%4.%5\n\nIf Tressik is no longer "
                       "running there (the folder was moved, or that computer stopped without closing it), you can "
                       "open the vault here.  If it is still running there, changes made in both places will "
                       "overwrite each other.\n\nOpen the vault anyway?")
            .arg(QDir::toNativeSeparators(app.vaultPath()), where, holder.host, since, unsure),
        {}, MsgButtons::YesNo, MsgResult::No, MsgIcon::Warning);
    return answer == MsgResult::Yes;
}

}  // namespace

void OpenVault(App& app) {
    QString why;
    App::LockHolder holder;
    App::VaultLock lock = app.lockVault(&why, &holder);
    // Asked again whenever the lock changed while the user was asked.
    while (lock == App::VaultLock::HeldOnAnotherMachine) {
        // No ends the program, as for a copy running here, but without that box.
        if (!openAnyway(app, holder)) {
            app.endProgram();
            return;
        }
        lock = app.takeOverVaultLock(&why, &holder);
    }
    if (lock == App::VaultLock::HeldByAnotherCopy) {
        app.msgBox(mainWindow(app),
                   QStringLiteral("Tressik is already running.\n\nOnly one copy of the program can use the vault "
                                  "file %1 at a time.")
                       .arg(QDir::toNativeSeparators(app.vaultPath())),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
        app.endProgram();
        return;
    }
    if (lock == App::VaultLock::Failed) {
        fatal(app, mainWindow(app),
              QStringLiteral("Tressik cannot lock its vault file %1, so it cannot keep a second running copy from "
                             "saving at the same time.  Tressik will close; the vault file was not changed.")
                  .arg(QDir::toNativeSeparators(app.vaultPath())),
              why);
        return;
    }
    // What saves killed before their rename left; only with the lock held, so
    // that no save of another copy is under way.
    if (lock == App::VaultLock::Held) VaultFile::removeLeftovers(app.vaultPath());
    QByteArray bytes;
    DurableFile::Stamp stamp;
    if (!ensureAndRead(app, &bytes, &stamp)) return;
    app.vault.sync.remember(VaultFile::Version::of(stamp, bytes));
    // Say so now rather than at the first change that cannot be saved.
    if (lock == App::VaultLock::ReadOnlyFolder) {
        app.msgBox(
            mainWindow(app),
            QStringLiteral("Tressik cannot write to its folder %1.\n\nYou can open the vault and copy "
                           "from it, but this copy of the program saves no changes.  Make the folder "
                           "writable and start Tressik again to make changes.")
                .arg(QDir::toNativeSeparators(QFileInfo(VaultFile::writtenFile(app.vaultPath())).absolutePath())),
            {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
    }
    const QString first = VaultCodec::readMasterPassword(bytes);
    if (first.isEmpty()) {
        ShowCreatePassword(app);
    } else {
        app.vault.strSavedPassword = first;
        ShowEnterPassword(app);
    }
}

void LoadData(App& app) {
    std::optional<std::vector<PackedEntry>> rows = readVaultEntries(app);
    if (!rows) return;
    const auto count = static_cast<qsizetype>(rows->size());
    app.vault.entries().appendMany(std::move(*rows));
    rows.reset();
    // Loading a large vault leaves megabytes freed but still resident.
    releaseFreeMemory();
    SetStatus(app, QStringLiteral("Loaded ") + QString::number(count) + QStringLiteral(" entries"));
    app.vault.sync.follow();
    afterFormLoad(app);
}

void SaveNewPassword(App& app) {
    app.forms.unload<frmPass>();
    app.forms.doEvents();
    const QString path = app.vaultPath();
    const std::optional<QByteArray> bytes = VaultCodec::newVaultBytes(app.vault.strMasterPassword);
    if (!bytes) {
        fatal(app, mainWindow(app), QStringLiteral("The new master password cannot be stored."),
              VaultCodec::masterPasswordProblem(app.vault.strMasterPassword));
        return;
    }
    QByteArray old;
    if (!ensureAndRead(app, &old)) return;
    // A version written meanwhile by another program is kept aside by the save;
    // a file without a master password can still hold entry lines (written by
    // hand or damaged): keep them aside too before the new vault replaces it.
    QString unseenKeptAs;
    QString keptAs;
    const bool seen = DurableFile::stampOf(path) == app.vault.sync.known().stamp;
    if (app.vaultLocked() && seen && VaultCodec::hasEntryLines(old)) {
        if (VaultFile::Result r = VaultFile::backup(path, &keptAs); !r.ok) {
            fatal(app, mainWindow(app),
                  QStringLiteral("The vault file holds entries but no master password, and it could not be kept "
                                 "aside before a new vault replaces it.  Nothing was changed."),
                  r.error);
            return;
        }
    }
    const VaultFile::Result r = app.vaultLocked() ? writeSeen(app, *bytes, &unseenKeptAs) : unguardedSave();
    if (!r.ok && !r.replaced) {
        QString what =
            QStringLiteral("The new master password could not be saved.  The vault file was left as it was.");
        if (!keptAs.isEmpty())
            what += QStringLiteral("  A copy of it was also kept as %1.").arg(QDir::toNativeSeparators(keptAs));
        fatal(app, mainWindow(app), what, r.error);
        return;
    }
    if (r.ok) {
        SetStatus(app, QStringLiteral("Password created successfully"));
    } else {
        // The vault stays open, so that the next save writes the file again.
        app.msgBox(mainWindow(app),
                   (r.differs ? QStringLiteral("The vault file was replaced, but what is now on disk differs from the "
                                               "new master password that was meant to be saved.\n\n")
                              : QStringLiteral("The vault file was replaced, but the system could not confirm that "
                                               "the new master password reached the disk.\n\n")) +
                       r.error +
                       QStringLiteral("\n\nThe vault stays open; your next change saves the master password and "
                                      "the list again."),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
    }
    tellKept(app, unseenKeptAs);
    if (!keptAs.isEmpty()) {
        app.msgBox(mainWindow(app),
                   QStringLiteral("The vault file held entries but no master password.  It has been kept as %1 "
                                  "before the new vault replaced it.")
                       .arg(QDir::toNativeSeparators(keptAs)),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
    }
    app.vault.sync.follow();
    afterFormLoad(app);
}

bool SaveData(App& app) {
    Form1* main = app.forms.get<Form1>();
    const ListItems& items = app.vault.entries();
    const std::optional<QByteArray> bytes = VaultCodec::serialiseVault(
        app.vault.strMasterPassword, items.count(), [&](qsizetype n) { return &items.entry(n + 1); });
    VaultFile::Result r;
    QString keptAs;
    if (!bytes) {
        r = {false, QStringLiteral("An entry holds a character that the vault file cannot store."), false};
    } else if (!app.vaultLocked()) {
        r = unguardedSave();
    } else {
        r = writeSeen(app, *bytes, &keptAs);
    }
    app.vault.sync.setUnsaved(!r.ok && !r.replaced);
    if (!r.ok) {
        const QString text =
            r.replaced ? (r.differs ? QStringLiteral("The vault file was replaced, but what is now on disk differs "
                                                     "from what was meant to be saved.\n\n")
                                    : QStringLiteral("The vault file was replaced, but the system could not confirm "
                                                     "that your changes reached the disk.\n\n")) +
                             r.error +
                             QStringLiteral(
                                 "\n\nThe list still shows your changes; your next change saves the "
                                 "whole list again.")
                       : QStringLiteral("Your changes could not be saved.\n\n") + r.error +
                             QStringLiteral(
                                 "\n\nThe vault file was left as it was; the list still shows your "
                                 "changes.");
        app.msgBox(main, text, {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
        tellKept(app, keptAs);
        return false;
    }
    tellKept(app, keptAs);
    SetStatus(app, QStringLiteral("Saved ") + app.platform.clock->nowText());
    return true;
}

void ShowCreatePassword(App& app) {
    app.g.blnNewPassword = true;
    app.forms.show<frmPass>();
}

void ShowEnterPassword(App& app) {
    app.g.blnNewPassword = false;
    app.forms.show<frmPass>();
}
