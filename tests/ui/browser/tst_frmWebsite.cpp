#include "support/Unlocked.h"
#include "ui/browser/frmWebsite.h"
#include "ui/widgets/Twips.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QFile>
#include <QTest>
#include <QWebEngineView>

namespace {

void page(const QString& path, const QString& title, const QString& body) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("<!DOCTYPE html><html><head><title>%1</title></head><body style='margin:0'>%2</body></html>")
                .arg(title, body)
                .toUtf8());
}

struct Browsing : Unlocked {
    Browsing() {
        a = QUrl::fromLocalFile(dir() + "/a.html").toString();
        b = QUrl::fromLocalFile(dir() + "/b.html").toString();
        page(dir() + "/a.html", "Page A",
             "<a href='b.html' style='display:block;width:100%;height:300px;background:#ccc'>to B</a>");
        page(dir() + "/b.html", "Page B", "<p>B</p>");
        app->g.strWebsite = a;
        fakes.appInfo->website = a;
    }
    frmWebsite* open() {
        main->cmdWebsite_Click(0);
        return app->forms.get<frmWebsite>();
    }
    QString a;
    QString b;
};

QString panel(frmWebsite* w, int i) { return w->StatusBar1->panelText(i); }

}  // namespace

class tst_frmWebsite : public QObject {
    Q_OBJECT
private slots:
    void loadsTheWebSiteMaximised() {
        Browsing t;
        frmWebsite* w = t.open();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), t.a);  // until the first page completes
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->StatusBar1->panelCount(), 2);
        QCOMPARE(w->frmBrowser->title(), QStringLiteral("Browser"));
        QCOMPARE(w->Command3->toolTip(), QStringLiteral("browse the entered url"));
        QCOMPARE(w->Command4->toolTip(), QStringLiteral("back"));
        QCOMPARE(w->Command5->toolTip(), QStringLiteral("forward"));
        QCOMPARE(w->Command6->toolTip(), QStringLiteral("stop"));
        QCOMPARE(w->Command7[1]->toolTip(), QStringLiteral("refresh"));
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
        QCOMPARE(w->Text1->text(), t.a);
        QCOMPARE(w->windowTitle(), QStringLiteral("Page A"));
    }

    void navigatesBackAndForward() {
        Browsing t;
        frmWebsite* w = t.open();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
        w->Text1->setText(t.b);
        QTest::keyClick(w->Text1, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.b, 20000);
        QCOMPARE(w->windowTitle(), QStringLiteral("Page B"));
        QCOMPARE(w->Text1->text(), t.b);
        w->Command4->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->Text1->text(), t.a, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(w->windowTitle(), QStringLiteral("Page A"), 20000);
        w->Command5->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->Text1->text(), t.b, 20000);
        // With no history left, forward does nothing and says nothing.
        w->Command5->click();
        w->Command6->click();
        QTest::qWait(200);
        QCOMPARE(w->Text1->text(), t.b);
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
        w->Text1->setText("typed but not sent");
        w->Command7[1]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->Text1->text(), t.b, 20000);  // a completed page replaces the typing
    }

    void hoveringALinkShowsItInPanelOne() {
        Browsing t;
        frmWebsite* w = t.open();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
        QWidget* surface = w->WebBrowser1->focusProxy();
        if (!surface) QSKIP("no render surface to hover over");
        for (int i = 0; i < 20 && panel(w, 1).isEmpty(); ++i) {
            QTest::mouseMove(surface, QPoint(40 + i, 40 + i));
            QTest::qWait(100);
        }
        if (panel(w, 1).isEmpty()) QSKIP("this platform does not report hovered links");
        QCOMPARE(panel(w, 1), t.b);
    }

    void secondPressOnlyBringsItForward() {
        Browsing t;
        frmWebsite* w = t.open();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
        w->Text1->setText(t.b);
        w->Command3_Click();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.b, 20000);
        QCOMPARE(t.open(), w);
        QTest::qWait(300);
        QCOMPARE(w->Text1->text(), t.b);
        QCOMPARE(w->StatusBar1->panelCount(), 2);
    }

    void reopenedStartsAfresh() {
        Browsing t;
        frmWebsite* w = t.open();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
        w->Text1->setText(t.b);
        w->Command3_Click();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.b, 20000);
        w->close();
        QVERIFY(!t.app->forms.isLoaded<frmWebsite>());
        QCOMPARE(t.fakes.programEnd->calls, 0);
        flushDeletes();
        w = t.open();
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->StatusBar1->panelCount(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
    }

    void layoutArithmetic_data() {
        QTest::addColumn<QSize>("client");
        QTest::newRow("design size") << QSize(703, 572);
        QTest::newRow("wide") << QSize(1200, 700);
        QTest::newRow("very small") << QSize(12, 9);
        QTest::newRow("one pixel") << QSize(1, 1);
    }
    void layoutArithmetic() {
        QFETCH(QSize, client);
        Browsing t;
        frmWebsite* w = t.open();
        w->setWindowState(Qt::WindowNoState);
        w->resize(client);
        QCoreApplication::processEvents();
        const double W = Twips::fromPixels(w->width()) + Form::kNonClientWidthTwips;
        const double H = Twips::fromPixels(w->height()) + Form::kNonClientHeightTwips;
        auto near = [](int actual, double expected) { return std::abs(actual - expected) <= 0.5; };
        QVERIFY(near(w->StatusBar1->panelWidth(1), W / 2));
        QVERIFY(near(w->StatusBar1->panelWidth(2), W / 2));
        const int barH = Twips::height(w->StatusBar1);
        QCOMPARE(barH, 315);
        QVERIFY(near(Twips::height(w->frmBrowser), std::abs(H - barH)));
        QVERIFY(near(Twips::width(w->frmBrowser), std::abs(W - 300)));
        const double frameW = Twips::width(w->frmBrowser);
        QVERIFY(near(Twips::width(w->Text1), std::abs(frameW - 540 - 300 - 795)));
        QCOMPARE(Twips::left(w->Command3), Twips::width(w->Text1) + Twips::left(w->Text1) + 100);
        QVERIFY(near(Twips::width(w->WebBrowser1), std::abs(frameW - 120 - 100)));
        QVERIFY(near(Twips::height(w->WebBrowser1), std::abs(Twips::height(w->frmBrowser) - 1140.0 - 800 - barH)));
        for (QWidget* c : {static_cast<QWidget*>(w->frmBrowser), static_cast<QWidget*>(w->Text1),
                           static_cast<QWidget*>(w->WebBrowser1)}) {
            QVERIFY(Twips::width(c) >= 0);
            QVERIFY(Twips::height(c) >= 0);
        }
        // Anchored controls keep their design places.
        QCOMPARE(Twips::rect(w->Command4), QRect(540, 600, 435, 435));
        QCOMPARE(Twips::left(w->WebBrowser1), 120);
        // A repaint with nothing changed moves nothing.
        const QRect before = w->Text1->geometry();
        w->repaint();
        QCOMPARE(w->Text1->geometry(), before);
    }

    void mainClosedWhileBrowsingEndsWithTheBrowser() {
        Browsing t;
        frmWebsite* w = t.open();
        t.main->mnuFileItem[0]->trigger();
        QVERIFY(t.app->g.blnMainClosed);
        QVERIFY(!t.app->forms.isLoaded<Form1>());
        QVERIFY(w->isVisible());
        QCOMPARE(t.fakes.programEnd->calls, 0);
        w->close();
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }

    void mainClosedWithTheBrowserHiddenEndsAtOnce() {
        Browsing t;
        frmWebsite* w = t.open();
        w->hide();
        t.main->mnuFileItem[0]->trigger();
        QVERIFY(!t.app->g.blnMainClosed);
        QVERIFY(!t.app->forms.isLoaded<frmWebsite>());
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_frmWebsite)
#include "tst_frmWebsite.moc"
