#include "forms/ClickLabel.h"
#include "program/LoadIdentity.h"
#include "support/Layout.h"
#include "support/Unlocked.h"
#include "ui/about/frmAbout.h"

#include <QAction>
#include <QLabel>
#include <QTest>

class tst_frmAbout : public QObject {
    Q_OBJECT
private slots:
    void texts() {
        Unlocked u;
        u.app->g.strProgramName = "Tressik";
        u.fakes.appInfo->company = "Owner Ltd";
        u.fakes.appInfo->website = "http://owner.test/";
        u.main->mnuAboutItem[0]->trigger();
        frmAbout* a = u.app->forms.get<frmAbout>();
        QVERIFY(a && a->isVisible());
        QCOMPARE(a->windowTitle(), QStringLiteral("About Tressik"));
        QCOMPARE(a->Label1->text(), QStringLiteral("Tressik"));
        QCOMPARE(a->lblVersion->text(), QStringLiteral("1.0"));
        QCOMPARE(a->lblCompany->text(), QStringLiteral("Owner Ltd"));
        QCOMPARE(a->lblWebsite->text(), QStringLiteral("http://owner.test/"));
        QCOMPARE(a->Label2->text(), QStringLiteral("Version:"));
        QCOMPARE(a->Label3->text(), QStringLiteral("Owned By:"));
        QCOMPARE(a->Label4->text(), QStringLiteral("Website:"));
        QCOMPARE(a->lblWebsite->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        // The name on the banner picture, then one line each: what, and its value.
        QCOMPARE(a->Label1->parentWidget(), a->Picture1);
        QVERIFY(!a->Picture1->pixmap().isNull());
        QVERIFY(labels(a->Label2, a->lblVersion));
        QVERIFY(labels(a->Label3, a->lblCompany));
        QVERIFY(labels(a->Label4, a->lblWebsite));
        QVERIFY(below(a->lblVersion, a->Picture1));
        QVERIFY(below(a->lblCompany, a->lblVersion));
        QVERIFY(below(a->lblWebsite, a->lblCompany));
        QVERIFY(inside(a->lblWebsite));
        QVERIFY(a->SkinLabel1[0]->isHidden());
    }

    void versionNumbers() {
        Unlocked u;
        u.fakes.appInfo->major = 2;
        u.fakes.appInfo->minor = 15;
        u.main->mnuAboutItem_Click(0);
        QCOMPARE(u.app->forms.get<frmAbout>()->lblVersion->text(), QStringLiteral("2.15"));
    }

    void oneWindowOnly() {
        Unlocked u;
        u.main->mnuAboutItem_Click(0);
        frmAbout* first = u.app->forms.get<frmAbout>();
        u.main->mnuAboutItem_Click(0);
        QCOMPARE(u.app->forms.get<frmAbout>(), first);
        int abouts = 0;
        for (Form* f : u.app->forms.loadedForms()) abouts += qobject_cast<frmAbout*>(f) != nullptr;
        QCOMPARE(abouts, 1);
    }

    void onlyTheWebSiteLineOpensTheBrowser() {
        Unlocked u;
        LoadIdentity(*u.app);  // as the start-up does
        u.main->mnuAboutItem_Click(0);
        frmAbout* a = u.app->forms.get<frmAbout>();
        for (QLabel* l : {a->Label1, a->Label2, a->lblVersion, a->lblCompany}) QTest::mouseClick(l, Qt::LeftButton);
        QVERIFY(u.fakes.website->shows.isEmpty());
        QTest::mouseClick(a->lblWebsite, Qt::LeftButton);
        QCOMPARE(u.fakes.website->shows.size(), 1);
        QCOMPARE(u.fakes.website->shows[0].website, a->lblWebsite->text());
        QVERIFY(a->isVisible());  // the about window stays open
    }

    void exitClosesIt() {
        Unlocked u;
        u.main->mnuAboutItem_Click(0);
        u.main->mnuFileItem_Click(0);
        QVERIFY(!u.app->forms.isLoaded<frmAbout>());
        QCOMPARE(u.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_frmAbout)
#include "tst_frmAbout.moc"
