#include "app/WebsiteWindow.h"

#include "app/App.h"
#include "ui/main/Form1.h"

void ShowWebsiteWindow(App& app) {
    if (!app.platform.website) return;
    const Globals& g = app.g;
    app.platform.website->show({g.strProgramName, g.strCompany, g.strWebsite, g.blnSkin});
}

void WatchWebsiteWindow(App& app) {
    IWebsiteHost* host = app.platform.website.get();
    if (!host) return;
    host->onFailed = [&app](const QString& text) { SetStatus(app, text); };
    host->onClosed = [&app] {
        // The program lived on only for this window.
        if (!app.g.blnMainClosed || app.ended()) return;
        if (app.g.blnSkin) app.g.objSkinHelper().stop();
        app.endProgram();
    };
}
