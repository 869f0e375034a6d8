#pragma once

#include "forms/Forms.h"
#include "platform/Platform.h"
#include "program/Globals.h"
#include "program/WindowOrder.h"
#include "session/VaultSession.h"

#include <memory>

// One running program: what every window needs, its shared state, its seams
// to the desktop and the registry of its windows, and the open vault, which
// they use. Members are destroyed windows first.
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

    // A message box with the program's title unless a caption is given.
    MsgResult msgBox(QWidget* parent, const QString& text, const QString& caption = {},
                     MsgButtons buttons = MsgButtons::Ok, MsgResult defaultButton = MsgResult::Ok,
                     MsgIcon icon = MsgIcon::None);

    void endProgram() { platform.programEnd->endNow(); }
    bool ended() const { return platform.programEnd->ended(); }
};

// Puts a text into panel 1 of the main window's status bar.
void SetStatus(App& app, const QString& text);

// Opens the in-app browser window on the maker's web site, or only brings it
// forward when it is open already.
void ShowWebsiteWindow(App& app);
