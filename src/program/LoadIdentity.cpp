#include "program/LoadIdentity.h"

#include "program/App.h"

void LoadIdentity(App& app) {
    IAppInfo& info = *app.platform.appInfo;
    app.g.strProgramName = info.productName();
    app.g.strCompany = info.companyName();
    app.g.strWebsite = info.comments();
    app.g.blnSkin = info.skinSwitch();
}
