#include "app/frmSplash.h"
#include "support/Unlocked.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QTest>

class tst_Startup : public QObject {
    Q_OBJECT
private slots:
    // The splash shows its picture without a frame, then hides, and the
    // password window opens over the still hidden main window.
    void splashLeadsToThePasswordWindow() {
        TestApp t;
        frmSplash* s = t.app->forms.show<frmSplash>();
        QVERIFY(s->isVisible());
        QVERIFY(s->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(!s->Image1->pixmap().isNull());
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
        QTRY_VERIFY_WITH_TIMEOUT(t.app->forms.isLoaded<frmPass>(), 20000);
        QVERIFY(t.app->forms.get<frmPass>()->isVisible());
        QVERIFY(!s->isVisible());
        QVERIFY(t.app->forms.isLoaded<frmSplash>());  // hidden, not unloaded
        QCOMPARE(t.app->forms.get<Form1>()->windowTitle(), QStringLiteral("Tressik by Test Company"));
    }

    void mainWindowStaysHiddenUntilThePasswordIsAccepted() {
        TestApp t;
        t.writeVault(vaultOf("Secret", {{"a", "1", "x"}, {"b", "2", "y"}}));
        t.app->forms.show<frmSplash>();
        QTRY_VERIFY_WITH_TIMEOUT(t.app->forms.isLoaded<frmPass>(), 20000);
        Form1* main = t.app->forms.get<Form1>();
        const QPointer<frmPass> pass = t.app->forms.get<frmPass>();
        QVERIFY(pass->isVisible());
        // The deadlines leave room for a busy machine.
        QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        for (int i = 0; i < 5; ++i) {
            main->show();
            QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        }
        // Nor does a box over the password window let it show.
        t.fakes.messageBox->answers = {MsgResult::Retry};
        t.fakes.messageBox->whileOpen = [&] {
            main->show();
            QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        };
        pass->txtPass->setText("wrong");
        pass->cmdOK_Click();
        QCOMPARE(t.fakes.messageBox->shown.size(), 1);
        QCOMPARE(main->lstPass->model()->rowCount(), 0);  // never before the password
        pass->txtPass->setText("Secret");
        QTest::keyClick(pass->txtPass, Qt::Key_Return);
        QVERIFY(main->isVisible());
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
        QCOMPARE(status(t), QStringLiteral("Loaded 2 entries"));
        // Once the password window is gone, nothing is left to hide the main window.
        QTRY_VERIFY_WITH_TIMEOUT(pass.isNull(), 10000);
        QVERIFY(main->isVisible());
    }

    // File, Exit and the close box unload every window and end once, writing nothing.
    void endingUnloadsTheOthersAndEndsOnce_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("File, Exit") << false;
        QTest::newRow("close box") << true;
    }
    void endingUnloadsTheOthersAndEndsOnce() {
        QFETCH(bool, closeBox);
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        t.app->forms.show<frmSplash>();
        QTRY_VERIFY_WITH_TIMEOUT(t.app->forms.isLoaded<frmPass>(), 20000);
        Form1* main = unlock(t, "Secret");
        if (closeBox) main->close();
        else main->mnuFileItem[0]->trigger();
        QVERIFY(!t.app->forms.isLoaded<Form1>());
        QVERIFY(!t.app->forms.isLoaded<frmSplash>());
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QCOMPARE(t.vaultBytes(), vaultOf("Secret"));
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
