// The main program's side of the browser window: what it asks of the browser
// process, and how the program's life follows the window's.
#include "support/Unlocked.h"
#include "ui/about/frmAbout.h"
#include "ui/help/Form8.h"

#include <QAction>
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

    void exitWithTheBrowserShownLeavesTheProgramToIt() {
        Unlocked u;
        u.main->cmdWebsite_Click(0);
        u.main->mnuFileItem[0]->trigger();
        QVERIFY(!u.app->forms.isLoaded<Form1>());
        QCOMPARE(u.fakes.website->mainClosedCalls, 1);
        QCOMPARE(u.fakes.website->closeCalls, 0);
        QCOMPARE(u.fakes.programEnd->calls, 0);
        u.fakes.website->userCloses();
        QCOMPARE(u.fakes.programEnd->calls, 1);
    }

    // Closed by the user while the main window stays, or still starting (it
    // may never show): File, Exit closes it with the rest and ends at once.
    void exitWithoutTheBrowserEndsAtOnce_data() {
        QTest::addColumn<bool>("starting");
        QTest::newRow("closed before") << false;
        QTest::newRow("still starting") << true;
    }
    void exitWithoutTheBrowserEndsAtOnce() {
        QFETCH(bool, starting);
        Unlocked u;
        u.fakes.website->answers = !starting;
        u.main->cmdWebsite_Click(0);
        if (!starting) u.fakes.website->userCloses();
        QCOMPARE(u.fakes.programEnd->calls, 0);
        QVERIFY(u.app->forms.isLoaded<Form1>());
        ShowHelpWindow(*u.app);
        u.main->mnuFileItem[0]->trigger();
        QCOMPARE(u.fakes.website->mainClosedCalls, 0);
        QCOMPARE(u.fakes.website->closeCalls, 1);
        QVERIFY(!u.app->forms.isLoaded<Form8>());
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
