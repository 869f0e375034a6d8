#include "app/Program.h"

#include "app/WebsiteWindow.h"
#include "app/frmSplash.h"
#include "program/App.h"
#include "skin/modSkin.h"
#include "ui/about/frmAbout.h"
#include "ui/editor/frmAdd.h"
#include "ui/help/Form8.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"

namespace {

class ProgramOrder : public WindowOrder, public VaultListener {
public:
    explicit ProgramOrder(App& app) : app_(app) {}

    // What the vault tells shows over the main window.
    MsgResult msgBox(const QString& text, MsgButtons buttons, MsgResult defaultButton, MsgIcon icon) override {
        return app_.msgBox(app_.forms.get<Form1>(), text, {}, buttons, defaultButton, icon);
    }

    Form* mainWindow() override { return app_.forms.get<Form1>(); }

    void SetStatus(const QString& text) override {
        if (Form1* f = app_.forms.get<Form1>()) f->SetStatus(text);
    }

    void mainLoaded() override;
    void mainClosed() override;
    void passwordCreated() override;
    void passwordAccepted() override;

private:
    App& app_;
};

void ShowCreatePassword(App& app) {
    app.g.blnNewPassword = true;
    app.forms.show<frmPass>();
}

void ShowEnterPassword(App& app) {
    app.g.blnNewPassword = false;
    app.forms.show<frmPass>();
}

// The vault is opened once the main window has loaded: the password window
// follows, or the end.
void ProgramOrder::mainLoaded() {
    switch (app_.vault.OpenVault()) {
        case VaultSession::Opened::WithoutPassword: ShowCreatePassword(app_); break;
        case VaultSession::Opened::WithPassword: ShowEnterPassword(app_); break;
        case VaultSession::Opened::Refused: app_.endProgram(); break;
    }
}

void ProgramOrder::passwordCreated() {
    app_.forms.unload<frmPass>();
    app_.forms.doEvents();
    if (!app_.vault.SaveNewPassword()) {
        app_.endProgram();
        return;
    }
    afterFormLoad(app_);
}

void ProgramOrder::passwordAccepted() {
    if (!app_.vault.LoadData()) {
        app_.endProgram();
        return;
    }
    afterFormLoad(app_);
}

void ProgramOrder::mainClosed() {
    app_.vault.sync.stop();
    Forms& forms = app_.forms;
    forms.unload<Form8>();
    forms.unload<frmAbout>();
    forms.unload<frmAdd>();
    forms.unload<frmSplash>();
    // With the browser open the program lives on in it, and ends when it
    // closes. One still starting may never show: it is closed with the rest.
    IWebsiteHost* browser = app_.platform.website.get();
    if (browser && browser->isShown()) {
        app_.g.blnMainClosed = true;
        browser->mainClosed();
        // Nothing of the vault is needed for the browser: let it go, so that
        // a new start can open it at once, and forget the editor's hand-over.
        app_.vault.letGoOfVault();
        Globals& g = app_.g;
        g.strEditMode.clear();
        g.strEditUsername.clear();
        g.strEditPassword.clear();
        g.strEditLocation.clear();
        g.editRowId = 0;
        return;
    }
    if (app_.g.blnSkin) app_.g.objSkinHelper().stop();
    if (browser) browser->close();
    app_.endProgram();
}

}  // namespace

void TieProgram(App& app) {
    auto order = std::make_unique<ProgramOrder>(app);
    app.vault.setListener(order.get());
    app.order = std::move(order);
    app.g.reloadSkin = [&app] { frmSplash::ReloadForSkin(app); };
    WatchWebsiteWindow(app);
}

void afterFormLoad(App& app) {
    Form1* main = app.forms.get<Form1>();
    if (!main) return;
    if (app.g.blnSkin) ApplySkin(app.g.objSkin, app.g.reloadSkin, main);
    main->setVisible(true);
    const QString showHelp =
        app.platform.settings->read(app.platform.appInfo->productName(), QStringLiteral("Settings"),
                                    QStringLiteral("showHelp"), QStringLiteral("1"));
    if (showHelp == QLatin1String("1")) ShowHelpWindow(app);
    app.forms.unload<frmPass>();
}
