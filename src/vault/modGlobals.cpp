#include "vault/modGlobals.h"

#include "app/App.h"
#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "platform/Memory.h"
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

bool ensureAndRead(App& app, QByteArray* bytes) {
    const QString path = app.vaultPath();
    if (VaultFile::Result r = VaultFile::EnsureDataFile(path); !r.ok) {
        fatal(app, mainWindow(app), QStringLiteral("Tressik cannot create its vault file."), r.error);
        return false;
    }
    if (VaultFile::Result r = VaultFile::read(path, bytes); !r.ok) {
        fatal(app, mainWindow(app), QStringLiteral("Tressik cannot read its vault file."), r.error);
        return false;
    }
    return true;
}

// The vault's entries; the file's bytes are gone before the list grows.
std::optional<std::vector<PackedEntry>> readVaultEntries(App& app) {
    QByteArray bytes;
    if (!ensureAndRead(app, &bytes)) return std::nullopt;
    return VaultCodec::readPackedEntries(bytes);
}

}  // namespace

void OpenVault(App& app) {
    if (!app.lockVault()) {
        app.msgBox(mainWindow(app),
                   QStringLiteral("Tressik is already running.\n\nOnly one copy of the program can use the vault "
                                  "file %1 at a time.")
                       .arg(QDir::toNativeSeparators(app.vaultPath())),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
        app.endProgram();
        return;
    }
    QByteArray bytes;
    if (!ensureAndRead(app, &bytes)) return;
    // Say so now rather than at the first change that cannot be saved.
    const QString folder = QFileInfo(app.vaultPath()).absolutePath();
    if (!QFileInfo(folder).isWritable()) {
        app.msgBox(mainWindow(app),
                   QStringLiteral("Tressik cannot write to its folder %1.\n\nYou can open the vault and copy "
                                  "from it, but changes cannot be saved until the folder is writable.")
                       .arg(QDir::toNativeSeparators(folder)),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
    }
    const QString first = VaultCodec::readMasterPassword(bytes);
    if (first.isEmpty()) {
        ShowCreatePassword(app);
    } else {
        app.g.strSavedPassword = first;
        ShowEnterPassword(app);
    }
}

void LoadData(App& app) {
    std::optional<std::vector<PackedEntry>> rows = readVaultEntries(app);
    if (!rows) return;
    Form1* main = app.forms.get<Form1>();
    const auto count = static_cast<qsizetype>(rows->size());
    main->lstPass->items().appendMany(std::move(*rows));
    rows.reset();
    // Loading a large vault leaves megabytes freed but still resident.
    releaseFreeMemory();
    SetStatus(app, QStringLiteral("Loaded ") + QString::number(count) + QStringLiteral(" entries"));
    main->afterFormLoad();
}

void SaveNewPassword(App& app) {
    app.forms.unload<frmPass>();
    app.forms.doEvents();
    const QString path = app.vaultPath();
    const std::optional<QByteArray> bytes = VaultCodec::newVaultBytes(app.g.strMasterPassword);
    if (!bytes) {
        fatal(app, mainWindow(app), QStringLiteral("The new master password cannot be stored."),
              VaultCodec::masterPasswordProblem(app.g.strMasterPassword));
        return;
    }
    QByteArray old;
    if (!ensureAndRead(app, &old)) return;
    // A file without a master password can still hold entry lines (written by
    // hand or damaged): keep them aside before the new vault replaces it.
    if (VaultCodec::hasEntryLines(old)) {
        const QString backupPath = path + QStringLiteral(".bak");
        if (VaultFile::Result r = VaultFile::backup(path, backupPath); !r.ok) {
            fatal(app, mainWindow(app),
                  QStringLiteral("The vault file holds entries but no master password, and it could not be kept "
                                 "aside before a new vault replaces it.  Nothing was changed."),
                  r.error);
            return;
        }
        app.msgBox(mainWindow(app),
                   QStringLiteral("The vault file held entries but no master password.  It has been kept as %1 "
                                  "before the new vault replaced it.")
                       .arg(QDir::toNativeSeparators(backupPath)),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Information);
    }
    if (VaultFile::Result r = VaultFile::writeAtomic(path, *bytes); !r.ok) {
        fatal(app, mainWindow(app),
              QStringLiteral("The new master password could not be saved.  The vault file was left as it was."),
              r.error);
        return;
    }
    SetStatus(app, QStringLiteral("Password created successfully"));
    if (Form1* main = app.forms.get<Form1>()) main->afterFormLoad();
}

bool SaveData(App& app) {
    Form1* main = app.forms.get<Form1>();
    const ListItems& items = main->lstPass->items();
    const std::optional<QByteArray> bytes = VaultCodec::serialiseVault(
        app.g.strMasterPassword, items.count(), [&](qsizetype n) { return &items.entry(n + 1); });
    const QString path = app.vaultPath();
    VaultFile::Result r;
    if (!bytes) {
        r = {false, QStringLiteral("An entry holds a character that the vault file cannot store.")};
    } else if (r = VaultFile::EnsureDataFile(path); r.ok) {
        r = VaultFile::writeAtomic(path, *bytes);
    }
    if (!r.ok) {
        app.msgBox(main,
                   QStringLiteral("Your changes could not be saved.\n\n") + r.error +
                       QStringLiteral("\n\nThe vault file was left as it was; the list still shows your changes."),
                   {}, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning);
        return false;
    }
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
