#include "app/WebsiteWindow.h"

#include "program/App.h"

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
