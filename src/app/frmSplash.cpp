#include "app/frmSplash.h"

#include "forms/ControlType.h"
#include "forms/Twips.h"
#include "program/App.h"
#include "program/LoadIdentity.h"
#include "skin/SkinControl.h"
#include "skin/modSkin.h"
#include "ui/main/Form1.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

frmSplash::frmSplash(App& app)
    : Form(app, Qt::SplashScreen | Qt::FramelessWindowHint),
      Image1(new QLabel(this)),
      Timer2(new QTimer(this)),
      skn(new SkinControl(this)) {
    setWindowTitle(QStringLiteral("Tressik"));
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/images/splash.jpg")));
    Image1->setScaledContents(true);
    setControlType(Image1, QStringLiteral("Image"));
    Twips::place(Image1, 0, 0, 7170, 4770);
    Timer2->setInterval(2);
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, &frmSplash::Timer2_Timer);
}

void frmSplash::Form_Load() {
    intTemp = 0;
    setClientSizeTwips(Twips::width(Image1), Twips::height(Image1));
    app().g.blnMainClosed = false;
    LoadIdentity(app());
    if (app().g.blnSkin) {
        app().g.objSkin = skn;
        ApplySkin(app().g.objSkin, app().g.reloadSkin, this);
        // The helper is optional: whatever it does wrong is ignored.
        SkinHelper& helper = app().g.objSkinHelper();
        helper.handOver(skn->extender());
        helper.start();
    }
    Timer2->start();
}

void frmSplash::Form_Unload() {
    // The skin lives on this window and goes with it.
    delete skn;
    skn = nullptr;
}

void frmSplash::Timer2_Timer() {
    intTemp += 2;
    if (intTemp != 150) return;
    Timer2->stop();
    app().forms.load<Form1>();
    if (app().ended()) return;
    app().forms.show<Form1>();
    hide();
}

void frmSplash::ReloadForSkin(App& app) {
    Forms& forms = app.forms;
    const bool wasLoaded = forms.isLoaded<frmSplash>();
    frmSplash* splash = forms.load<frmSplash>();
    if (!splash) return;
    // Only a fresh load switches the timer on; waiting on an old one could last forever.
    for (int pass = 0; !wasLoaded && !splash->Timer2->isActive() && pass < 1000; ++pass) forms.doEvents();
    splash->Timer2->stop();
    splash->hide();
}
