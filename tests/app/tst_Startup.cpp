#include "app/frmSplash.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    void splashLoad() {
        TestApp t;
        t.app->g.blnMainClosed = true;
        frmSplash* s = t.app->forms.show<frmSplash>();
        QCOMPARE(s->clientWidthTwips(), 7170);
        QCOMPARE(s->clientHeightTwips(), 4770);
        QCOMPARE(s->size(), QSize(478, 318));
        QVERIFY(s->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!s->Image1->pixmap().isNull());
        QVERIFY(!t.app->g.blnMainClosed);
        QCOMPARE(t.app->g.strProgramName, QStringLiteral("Tressik"));
        QCOMPARE(t.app->g.strCompany, QStringLiteral("Test Company"));
        QCOMPARE(t.app->g.strWebsite, QStringLiteral("http://www.example.test/"));
        QVERIFY(!t.app->g.blnSkin);
        QVERIFY(s->Timer2->isActive());
        QCOMPARE(s->Timer2->interval(), 2);
        QVERIFY(s->isVisible());
    }

    void mainWindowLoadsAtTheSeventyFifthTick() {
        TestApp t;
        frmSplash* s = t.app->forms.show<frmSplash>();
        s->Timer2->stop();
        for (int tick = 1; tick < 75; ++tick) s->Timer2_Timer();
        QVERIFY(!t.app->forms.isLoaded<Form1>());
        QCOMPARE(s->intTemp, 148);
        s->Timer2->start();
        s->Timer2_Timer();
        QVERIFY(!s->Timer2->isActive());
        QVERIFY(t.app->forms.isLoaded<Form1>());
        QVERIFY(t.app->forms.isLoaded<frmPass>());
        QVERIFY(t.app->forms.isLoaded<frmSplash>());  // hidden, not unloaded
        QVERIFY(!s->isVisible());
        s->Timer2_Timer();  // a stray tick past 150 loads nothing again
        QCOMPARE(t.app->forms.loadedForms().size(), 3);
    }

    void mainWindowStaysHiddenUntilThePasswordIsAccepted() {
        TestApp t;
        t.writeVault(vaultOf("Secret", {{"a", "1", "x"}, {"b", "2", "y"}}));
        t.app->forms.show<frmSplash>();
        QTRY_VERIFY_WITH_TIMEOUT(t.app->forms.isLoaded<Form1>(), 20000);
        Form1* main = t.app->forms.get<Form1>();
        frmPass* pass = t.app->forms.get<frmPass>();
        QVERIFY(pass->isVisible());
        // The password window's 100 ms timer hides it; the deadline leaves room for a busy machine.
        QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        for (int i = 0; i < 5; ++i) {
            main->show();
            QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        }
        QCOMPARE(main->lstPass->model()->rowCount(), 0);  // never before the password
        const QPointer<QTimer> timer = pass->Timer1;
        pass->txtPass->setText("Secret");
        QTest::keyClick(pass->txtPass, Qt::Key_Return);
        QVERIFY(main->isVisible());
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
        QCOMPARE(main->StatusBar1->panelText(1), QStringLiteral("Loaded 2 entries"));
        // The timer stopped at once and went with the password window: nothing is left to hide it.
        QVERIFY(!timer || !timer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(timer.isNull(), 10000);
        QVERIFY(main->isVisible());
    }

    void firstUseShowsAnEmptyList() {
        TestApp t;
        t.app->forms.show<frmSplash>();
        QTRY_VERIFY_WITH_TIMEOUT(t.app->forms.isLoaded<frmPass>(), 20000);
        frmPass* pass = t.app->forms.get<frmPass>();
        pass->txtPass->setText("abcd");
        pass->txtPass2->setText("abcd");
        pass->cmdOK_Click();
        Form1* main = t.app->forms.get<Form1>();
        QVERIFY(main->isVisible());
        QCOMPARE(main->lstPass->model()->rowCount(), 0);
        QCOMPARE(main->StatusBar1->panelText(1), QStringLiteral("Password created successfully"));
    }

    void exitUnloadsTheOthersAndEndsOnce() {
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        t.app->forms.show<frmSplash>();
        QTRY_VERIFY_WITH_TIMEOUT(t.app->forms.isLoaded<frmPass>(), 20000);
        frmPass* pass = t.app->forms.get<frmPass>();
        pass->txtPass->setText("Secret");
        pass->cmdOK_Click();
        Form1* main = t.app->forms.get<Form1>();
        main->mnuFileItem[0]->trigger();
        QVERIFY(!t.app->forms.isLoaded<Form1>());
        QVERIFY(!t.app->forms.isLoaded<frmSplash>());
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QCOMPARE(t.vaultBytes(), vaultOf("Secret"));  // nothing written at exit
    }

    void closeBoxEndsLikeExit() {
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        Form1* main = t.app->forms.load<Form1>();
        t.app->forms.get<frmPass>()->txtPass->setText("Secret");
        t.app->forms.get<frmPass>()->cmdOK_Click();
        main->close();
        QVERIFY(!t.app->forms.isLoaded<Form1>());
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
