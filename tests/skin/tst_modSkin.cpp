#include "app/frmSplash.h"
#include "forms/ClickLabel.h"
#include "skin/SkinLabel.h"
#include "skin/modSkin.h"
#include "support/Unlocked.h"
#include "ui/about/frmAbout.h"
#include "ui/editor/frmAdd.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kPanel(0xD2, 0xBE, 0x96);

// A program started through its splash window, with the given skin switch,
// past its password window.
struct Started : TestApp {
    explicit Started(bool skin) {
        fakes.appInfo->skin = skin;
        writeVault(vaultOf("pw", {{"u", "p", "l"}}));
        splash = app->forms.show<frmSplash>();
        splash->Timer2->stop();
        main = unlock(*this, "pw");
    }
    frmSplash* splash = nullptr;
    Form1* main = nullptr;
};

// A skinned window has the skin's panel colour for its background.
bool skinned(const QWidget* w) { return w->autoFillBackground() && w->palette().color(QPalette::Window) == kPanel; }

}  // namespace

class tst_modSkin : public QObject {
    Q_OBJECT
private slots:
    // Every window takes the skin as it loads, each kind of control its
    // colours; the about window's labels become skin labels in their places.
    void switchOnSkinsEveryWindowAsItLoads() {
        Started t(true);
        QCOMPARE(t.app->g.objSkin.data(), t.splash->skn);
        QCOMPARE(t.app->g.objSkinHelper().skin(), t.splash->skn);
        QCOMPARE(t.app->g.objSkinHelper().starts(), 1);
        QVERIFY(skinned(t.splash));
        QVERIFY(skinned(t.main));
        QCOMPARE(t.main->lstPass->palette().color(QPalette::Base), kWhite);
        QCOMPARE(t.main->lstPass->palette().color(QPalette::Text), kBlack);
        QCOMPARE(t.main->cmdAdd[0]->palette().color(QPalette::Button), kWhite);
        t.main->cmdAdd_Click(0);
        QVERIFY(skinned(t.app->forms.get<frmAdd>()));
        QCOMPARE(t.app->forms.get<frmAdd>()->txtUsername->palette().color(QPalette::Base), kWhite);
        t.main->mnuAboutItem_Click(0);
        frmAbout* a = t.app->forms.get<frmAbout>();
        QVERIFY(skinned(a));
        QCOMPARE(a->Picture1->palette().color(QPalette::Window), kPanel);
        QVERIFY(a->Picture1->autoFillBackground());
        const QList<QLabel*> plains = {a->Label1,     a->Label2,     a->Label3,    a->Label4,
                                       a->lblVersion, a->lblCompany, a->lblWebsite};
        QCOMPARE(a->SkinLabel1.size(), 1 + plains.size());
        for (int i = 0; i < plains.size(); ++i) {
            const QLabel* plain = plains[i];
            const SkinLabel* skin = a->SkinLabel1[i + 1];
            QCOMPARE(skin->parentWidget(), plain->parentWidget());
            QCOMPARE(skin->geometry(), plain->geometry());
            QCOMPARE(skin->font(), plain->font());
            QCOMPARE(skin->caption(), plain->text());
            QCOMPARE(skin->isVisibleTo(a), plain->isVisibleTo(a));
        }
        // The browser window skins itself in its own process, told by the program.
        t.main->cmdWebsite_Click(0);
        QCOMPARE(t.fakes.website->shows.size(), 1);
        QVERIFY(t.fakes.website->shows[0].skin);
    }

    void onlyListedKindsAreColoured() {
        QWidget frm;
        auto* button = new QPushButton("b", &frm);
        auto* odd = new QPushButton("odd", &frm);
        odd->setProperty("controlType", QStringLiteral("commandButton"));  // differs in case only
        auto* label = new QLabel("l", &frm);
        auto* skinLabel = new SkinLabel("s", &frm);
        auto* frame = new QGroupBox("f", &frm);
        auto* inFrame = new QLineEdit(frame);
        const QPalette plain = QPalette();
        SetControlColors(&frm, fromRgb(1, 2, 3), fromRgb(4, 5, 6), fromRgb(7, 8, 9));
        QCOMPARE(button->palette().color(QPalette::Button), QColor(1, 2, 3));
        QCOMPARE(button->palette().color(QPalette::ButtonText), plain.color(QPalette::ButtonText));
        QCOMPARE(odd->palette().color(QPalette::Button), plain.color(QPalette::Button));
        QCOMPARE(inFrame->palette().color(QPalette::Base), QColor(1, 2, 3));
        QCOMPARE(inFrame->palette().color(QPalette::Text), QColor(4, 5, 6));
        for (QWidget* w :
             {static_cast<QWidget*>(label), static_cast<QWidget*>(skinLabel), static_cast<QWidget*>(frame)})
            QCOMPARE(w->palette(), plain);
    }

    void hiddenPlainLabelGetsAHiddenSkinLabel() {
        QWidget frm;
        auto* shown = new QLabel("shown", &frm);
        auto* hidden = new QLabel("hidden", &frm);
        hidden->setGeometry(1, 2, 30, 20);
        hidden->setVisible(false);
        QList<SkinLabel*> skins;
        SubstituteLabels(&frm, skins);
        QCOMPARE(skins.size(), 2);
        QVERIFY(skins[0]->isVisibleTo(&frm));
        QCOMPARE(skins[0]->caption(), shown->text());
        QVERIFY(!skins[1]->isVisibleTo(&frm));
        QCOMPARE(skins[1]->geometry(), hidden->geometry());
    }

    void recoveryReloadsTheSplashWithoutStartingAgain() {
        Started t(true);
        t.app->forms.unload<frmSplash>();
        QVERIFY(t.app->g.objSkin.isNull());
        t.main->cmdAdd_Click(0);  // the editor's load needs the skin
        frmAdd* e = t.app->forms.get<frmAdd>();
        QVERIFY(skinned(e));
        frmSplash* again = t.app->forms.get<frmSplash>();
        QVERIFY(again);
        QVERIFY(!again->isVisible());
        QVERIFY(!again->Timer2->isActive());
        QCOMPARE(t.app->g.objSkin.data(), again->skn);
        // No second start-up: only the splash's timer starts one, and it is off
        // (above). Whatever the recovery left queued runs now.
        QCoreApplication::processEvents();
        QCOMPARE(t.app->forms.get<Form1>(), t.main);
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
    }

    void recoveryWithTheSplashStillLoadedDoesNotWait() {
        Started t(true);
        t.app->g.objSkin = nullptr;  // the skin is gone but its window is not
        t.main->cmdAdd_Click(0);
        QVERIFY(t.app->forms.isLoaded<frmAdd>());
        QVERIFY(!skinned(t.app->forms.get<frmAdd>()));  // a second failure leaves it unskinned
    }

    void helperStopsAtEitherEnd() {
        {
            Started t(true);
            t.main->mnuFileItem_Click(0);
            QCOMPARE(t.app->g.objSkinHelper().stops(), 1);
        }
        {
            Started t(true);
            t.main->cmdWebsite_Click(0);
            t.main->mnuFileItem_Click(0);
            QCOMPARE(t.app->g.objSkinHelper().stops(), 0);
            t.fakes.website->userCloses();
            QCOMPARE(t.app->g.objSkinHelper().stops(), 1);
            QCOMPARE(t.fakes.programEnd->calls, 1);
        }
    }

    void switchOffChangesNothing() {
        Started t(false);
        QVERIFY(t.app->g.objSkin.isNull());
        QVERIFY(!t.app->g.objSkinHelperInstance);
        t.main->cmdAdd_Click(0);
        t.main->mnuAboutItem_Click(0);
        t.main->cmdWebsite_Click(0);
        QVERIFY(!t.fakes.website->shows.value(0).skin);
        for (Form* f : t.app->forms.loadedForms()) QVERIFY2(!skinned(f), f->metaObject()->className());
        QCOMPARE(t.main->lstPass->palette(), QPalette());
        QCOMPARE(t.app->forms.get<frmAbout>()->SkinLabel1.size(), 1);
        t.main->mnuFileItem_Click(0);
        QVERIFY(!t.app->g.objSkinHelperInstance);
    }
};

QTEST_MAIN(tst_modSkin)
#include "tst_modSkin.moc"
