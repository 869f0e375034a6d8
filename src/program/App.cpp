#include "program/App.h"

#include <QtGlobal>

static void initResources() { Q_INIT_RESOURCE(resources); }

App::App(Platform p) : platform(std::move(p)) {
    // The pictures live in this library; a static link would otherwise drop them.
    initResources();
}

App::~App() = default;

QString App::vaultPath() const { return vault.vaultPath(); }

MsgResult App::msgBox(QWidget* parent, const QString& text, const QString& caption, MsgButtons buttons,
                      MsgResult defaultButton, MsgIcon icon) {
    MessageBoxRequest request;
    request.parent = parent;
    request.text = text;
    request.caption = caption.isEmpty() ? platform.appInfo->title() : caption;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    request.icon = icon;
    return platform.messageBox->show(request);
}

void SetStatus(App& app, const QString& text) {
    if (app.order) app.order->SetStatus(text);
}

void ShowWebsiteWindow(App& app) {
    if (!app.platform.website) return;
    const Globals& g = app.g;
    app.platform.website->show({g.strProgramName, g.strCompany, g.strWebsite, g.blnSkin});
}
