// The main program's side of the browser window: what it asks of the browser
// process, and how the program's life follows the window's.
#include "support/Unlocked.h"
#include "ui/about/frmAbout.h"
#include "ui/help/Form8.h"

#include <QAction>
#include <QLockFile>
#include <QPointer>
#include <QTest>

class tst_WebsiteWindow : public QObject {
    Q_OBJECT
private slots:
    void bothPlacesOpenItWithTheProgramsIdentity() {
        Unlocked u;
        u.app->g.strProgramName = "Tressik";
        u.app->g.strCompany = "Acme";
        u.app->g.strWebsite = "https://acme.test/";
        u.main->cmdWebsite_Click(0);
        u.main->mnuAboutItem_Click(0);
        u.app->forms.get<frmAbout>()->lblWebsite_Click();
        FakeWebsiteHost& host = *u.fakes.website;
        QCOMPARE(host.shows.size(), 2);
        for (const WebsiteIdentity& id : host.shows) {
            QCOMPARE(id.productName, QStringLiteral("Tressik"));
            QCOMPARE(id.companyName, QStringLiteral("Acme"));
            QCOMPARE(id.website, QStringLiteral("https://acme.test/"));
            QCOMPARE(id.skin, false);
        }
        QVERIFY(u.main->isVisible());  // the main window stays usable
    }

    // File, Exit with the browser shown closes the main window only, and the
    // program lives on for the browser, holding nothing of the vault. Closed
    // by the user before, or still starting (it may never show): the browser
    // is closed with the rest and the program ends at once.
    void exitWithTheBrowser_data() {
        QTest::addColumn<QString>("browser");
        QTest::newRow("shown") << "shown";
        QTest::newRow("closed before") << "closed";
        QTest::newRow("still starting") << "starting";
    }
    void exitWithTheBrowser() {
        QFETCH(QString, browser);
        Unlocked u({{"user", "secret", "site"}});
        u.fakes.website->answers = browser != "starting";
        u.main->cmdWebsite_Click(0);
        if (browser == "closed") u.fakes.website->userCloses();
        QCOMPARE(u.fakes.programEnd->calls, 0);
        ShowHelpWindow(*u.app);
        u.items().setSelected(1, true);
        u.main->cmdEdit_Click();
        QCOMPARE(u.app->g.strEditPassword, QStringLiteral("secret"));
        const QPointer<Form1> main = u.main;
        u.main->mnuFileItem[0]->trigger();
        QVERIFY(!u.app->forms.isLoaded<Form1>());
        QVERIFY(!u.app->forms.isLoaded<Form8>());
        QVERIFY(!u.app->forms.isLoaded<frmAdd>());
        if (browser != "shown") {
            QCOMPARE(u.fakes.website->mainClosedCalls, 0);
            QCOMPARE(u.fakes.website->closeCalls, 1);
            QCOMPARE(u.fakes.programEnd->calls, 1);
            return;
        }
        QCOMPARE(u.fakes.website->mainClosedCalls, 1);
        QCOMPARE(u.fakes.website->closeCalls, 0);
        QCOMPARE(u.fakes.programEnd->calls, 0);
        // A new start can lock the vault at once.
        QVERIFY(!u.app->vault.vaultLocked());
        QLockFile next(u.vaultPath() + ".lock");
        QVERIFY(next.tryLock(0));
        next.unlock();
        const Globals& g = u.app->g;
        QVERIFY(u.app->vault.strMasterPassword.isEmpty() && u.app->vault.strSavedPassword.isEmpty());
        QVERIFY(g.strEditUsername.isEmpty() && g.strEditPassword.isEmpty() && g.strEditLocation.isEmpty());
        QVERIFY(main);
        QCOMPARE(main->lstPass->items().count(), qsizetype{0});
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"user", "secret", "site"}}));
        u.fakes.website->userCloses();
        QCOMPARE(u.fakes.programEnd->calls, 1);
    }

    void aFailureIsToldInTheStatusLine() {
        Unlocked u;
        u.main->cmdWebsite_Click(0);
        u.fakes.website->onFailed(QStringLiteral("The web site window closed unexpectedly."));
        u.fakes.website->userCloses();
        QCOMPARE(u.status(), QStringLiteral("The web site window closed unexpectedly."));
        QCOMPARE(u.fakes.programEnd->calls, 0);
        QVERIFY(u.fakes.messageBox->shown.isEmpty());
    }

    void aFailureAfterTheMainWindowClosedEndsTheProgram() {
        Unlocked u;
        u.main->cmdWebsite_Click(0);
        u.main->mnuFileItem[0]->trigger();
        u.fakes.website->onFailed(QStringLiteral("The web site window could not be opened."));
        u.fakes.website->userCloses();
        QCOMPARE(u.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_WebsiteWindow)
#include "tst_WebsiteWindow.moc"
