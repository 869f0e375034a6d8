// The browser window as its own process runs it: the window, and the session
// that answers the program over the control channel (a recording stand-in here).
#include "forms/PictureButton.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"
#include "platform/BrowserProtocol.h"
#include "platform/ParentChannel.h"
#include "skin/SkinLabel.h"
#include "support/TestApp.h"
#include "ui/browser/WebsiteSession.h"
#include "ui/browser/frmWebsite.h"

#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
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

class RecordingChannel : public ParentChannel {
public:
    void send(const QByteArray& word) override { sent.push_back(word); }
    void say(const QByteArray& line) { emit received(line); }
    void lose() { emit closed(); }
    QList<QByteArray> sent;
};

// A browser process over two local pages, its identity as the program gave it.
struct Browsing : TestApp {
    explicit Browsing(bool skin = false) {
        a = QUrl::fromLocalFile(dir() + "/a.html").toString();
        b = QUrl::fromLocalFile(dir() + "/b.html").toString();
        page(dir() + "/a.html", "Page A",
             "<a href='b.html' style='display:block;width:100%;height:300px;background:#ccc'>to B</a>");
        page(dir() + "/b.html", "Page B", "<p>B</p>");
        fakes.appInfo->website = a;
        fakes.appInfo->skin = skin;
    }
    frmWebsite* open() {
        session.start();
        return app->forms.get<frmWebsite>();
    }
    QString a;
    QString b;
    RecordingChannel channel;
    WebsiteSession session{*app, channel};
};

// The skin's panel colour, which a skinned window takes as its background.
const QColor kPanel(0xD2, 0xBE, 0x96);

QString panel(frmWebsite* w, int i) { return w->StatusBar1->panelText(i); }

}  // namespace

class tst_frmWebsite : public QObject {
    Q_OBJECT
private slots:
    // Each time it loads: maximised, named after the address until the page is in.
    void loadsTheWebSiteMaximised() {
        Browsing t;
        frmWebsite* w = t.open();
        QVERIFY(w && w->isVisible());
        QCOMPARE(t.channel.sent, QList<QByteArray>{"shown"});
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
        t.app->forms.unload(w);
        flushDeletes();
        w = t.app->forms.show<frmWebsite>();
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->StatusBar1->panelCount(), 2);
        QCOMPARE(w->windowTitle(), t.a);
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
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
        // With no history left, forward does nothing and says nothing; stop with nothing loading neither.
        w->Command5->click();
        w->Command6->click();
        QCoreApplication::processEvents();
        QCOMPARE(w->Text1->text(), t.b);
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
        w->Text1->setText("typed but not sent");
        w->Command7[1]->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->Text1->text(), t.b, 20000);  // a completed page replaces the typing
        // Asked for again, it only comes forward: the page stays where the user browsed to.
        w->hide();
        t.channel.say(BrowserProtocol::kShow);
        QCOMPARE(t.app->forms.get<frmWebsite>(), w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->WebBrowser1->url().toString(), t.b);
        QCOMPARE(w->StatusBar1->panelCount(), 2);
    }

    void hoveringALinkShowsItInPanelOne() {
        Browsing t;
        frmWebsite* w = t.open();
        QTRY_COMPARE_WITH_TIMEOUT(panel(w, 2), "Completed " + t.a, 20000);
        QWidget* surface = w->WebBrowser1->focusProxy();
        if (!surface) QSKIP("no render surface to hover over");
        // The page reports a hover a while after the move, and only once it takes input:
        // move again until it does, up to a deadline.
        for (int i = 0; i < 40; ++i) {
            QTest::mouseMove(surface, QPoint(40 + i % 20, 40 + i % 20));
            if (QTest::qWaitFor([&] { return !panel(w, 1).isEmpty(); }, 500)) break;
        }
        if (panel(w, 1).isEmpty()) QSKIP("this platform does not report hovered links");
        QCOMPARE(panel(w, 1), t.b);
    }

    // The controls follow the window's edges: grown by some pixels, the frame
    // and the page grow by as much, the address box widens, the go button moves
    // with the right edge and the back button stays; made tiny and large
    // again, all is where it was.
    void controlsFollowTheWindow() {
        Browsing t;
        frmWebsite* w = t.open();
        w->setWindowState(Qt::WindowNoState);
        enum { Bar, Frame, Address, Go, Back, Page };
        auto layout = [&] {
            QList<QRect> out;
            for (QWidget* c : std::initializer_list<QWidget*>{w->StatusBar1, w->frmBrowser, w->Text1, w->Command3,
                                                              w->Command4, w->WebBrowser1})
                out << QRect(c->mapTo(w, QPoint()), c->size());
            return out;
        };
        auto layoutAt = [&](QSize size) {
            w->resize(size);
            QCoreApplication::processEvents();
            return layout();
        };
        const QSize size(703, 572);
        const QList<QRect> a = layoutAt(size);
        // The status bar along the bottom edge in two equal halves; the address
        // box, the go button right of it, the page below the buttons and above the bar.
        QCOMPARE(a[Bar], QRect(0, size.height() - a[Bar].height(), size.width(), a[Bar].height()));
        QCOMPARE(w->StatusBar1->panelWidth(1), w->StatusBar1->panelWidth(2));
        QVERIFY(w->StatusBar1->panelWidth(1) * 2 >= Twips::width(w->StatusBar1));
        QVERIFY(a[Address].right() < a[Go].left());
        QVERIFY(a[Go].right() < size.width());
        QVERIFY(a[Back].bottom() < a[Page].top());
        QVERIFY(a[Page].right() < size.width());
        QVERIFY(a[Page].bottom() < a[Bar].top());

        const QList<QRect> b = layoutAt(size + QSize(150, 90));
        QCOMPARE(b[Bar].size(), a[Bar].size() + QSize(150, 0));
        QCOMPARE(b[Frame].size(), a[Frame].size() + QSize(150, 90));
        QCOMPARE(b[Address].size(), a[Address].size() + QSize(150, 0));
        QCOMPARE(b[Go].topLeft(), a[Go].topLeft() + QPoint(150, 0));
        QCOMPARE(b[Back], a[Back]);
        QCOMPARE(b[Page].size(), a[Page].size() + QSize(150, 90));
        layoutAt(QSize(1, 1));
        QCOMPARE(layoutAt(size + QSize(150, 90)), b);
        // A repaint with nothing changed moves nothing.
        w->repaint();
        QCOMPARE(layout(), b);
    }

    // Closed with the main window still open: the program goes on, this process ends.
    void closingTellsTheProgramAndEndsTheProcess() {
        Browsing t(true);
        frmWebsite* w = t.open();
        w->close();
        QVERIFY(!t.app->forms.isLoaded<frmWebsite>());
        QCOMPARE(t.channel.sent, (QList<QByteArray>{"shown", "closed"}));
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QCOMPARE(t.app->g.objSkinHelper().stops(), 0);
    }

    // Closed after the main window: the program ends through this window.
    void mainClosedThenClosingStopsTheSkinHelper() {
        Browsing t(true);
        frmWebsite* w = t.open();
        t.channel.say(BrowserProtocol::kMainClosed);
        QVERIFY(w->isVisible());
        QCOMPARE(t.fakes.programEnd->calls, 0);
        w->close();
        QCOMPARE(t.app->g.objSkinHelper().stops(), 1);
        QVERIFY(t.fakes.programEnd->calls >= 1);
        QCOMPARE(t.channel.sent.last(), QByteArray("closed"));
    }

    void programAsksItToClose() {
        Browsing t;
        t.open();
        t.channel.say(BrowserProtocol::kClose);
        QVERIFY(!t.app->forms.isLoaded<frmWebsite>());
        QCOMPARE(t.channel.sent.last(), QByteArray("closed"));
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }

    void programGoneEndsTheProcess() {
        Browsing t;
        t.open();
        t.channel.lose();
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }

    void unknownWordsAreIgnored() {
        Browsing t;
        frmWebsite* w = t.open();
        for (const QByteArray& line : {QByteArray(""), QByteArray("SHOW"), QByteArray("close "),
                                       QByteArray("main-closed\r"), QByteArray("\x01\xff", 2)})
            t.channel.say(line);
        QCOMPARE(t.app->forms.get<frmWebsite>(), w);
        QVERIFY(!t.app->g.blnMainClosed);
        QCOMPARE(t.fakes.programEnd->calls, 0);
        QCOMPARE(t.channel.sent, QList<QByteArray>{"shown"});
    }

    void skinSwitchSkinsTheWindowAndTakesOnlyTheFramesLabels() {
        Browsing t(true);
        frmWebsite* w = t.open();
        QCOMPARE(w->palette().color(QPalette::Window), kPanel);
        QCOMPARE(w->SkinLabel1.size(), 2);
        QCOMPARE(w->SkinLabel1[1]->caption(), QStringLiteral("URL:"));
        QCOMPARE(w->SkinLabel1[1]->parentWidget(), w->frmBrowser);
    }

    void switchOffLeavesItPlain() {
        Browsing t(false);
        frmWebsite* w = t.open();
        QVERIFY(w->palette().color(QPalette::Window) != kPanel);
        QCOMPARE(w->SkinLabel1.size(), 1);
        QVERIFY(!t.app->g.objSkinHelperInstance);
    }
};

QTEST_MAIN(tst_frmWebsite)
#include "tst_frmWebsite.moc"
