#pragma once

#include "forms/Forms.h"
#include "platform/DurableFile.h"
#include "platform/Platform.h"
#include "program/Globals.h"
#include "program/WindowOrder.h"
#include "session/VaultSession.h"

#include <QDateTime>
#include <QLockFile>

#include <memory>

// One running program: its shared state, its seams to the desktop and its
// windows. Members are destroyed windows first.
class App {
public:
    explicit App(Platform platform);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Globals g;
    Platform platform;
    std::unique_ptr<WindowOrder> order;  // set up by the program's start
    VaultSession vault{platform};        // outlives the windows, which stop it following the file
    Forms forms{*this};

    QString vaultPath() const;

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
    // The vault is no longer needed: the lock is released, so that a new start
    // can open it, and the master password and the editor's hand-over are
    // forgotten. The entries are the main window's to drop.
    void letGoOfVault();

    // A message box with the program's title unless a caption is given.
    MsgResult msgBox(QWidget* parent, const QString& text, const QString& caption = {},
                     MsgButtons buttons = MsgButtons::Ok, MsgResult defaultButton = MsgResult::Ok,
                     MsgIcon icon = MsgIcon::None);

    void endProgram() { platform.programEnd->endNow(); }
    bool ended() const { return platform.programEnd->ended(); }

private:
    VaultLock judgeVaultLock(QString* why, LockHolder* holder);

    std::unique_ptr<QLockFile> vaultLock_;
    SeenLock seenLock_;
};

// Puts a text into panel 1 of the main window's status bar.
void SetStatus(App& app, const QString& text);

// Opens the in-app browser window on the maker's web site, or only brings it
// forward when it is open already.
void ShowWebsiteWindow(App& app);
