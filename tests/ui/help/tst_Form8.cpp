#include "support/Layout.h"
#include "support/Unlocked.h"
#include "ui/help/Form8.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

namespace {

const QString kKey = QStringLiteral("Tressik/Settings/showHelp");

void writeHelp(const QString& dir, const QByteArray& rtf = "{\\rtf1\\ansi Tressik help {\\b bold} text\\par}") {
    QFile f(dir + "/Help.rtf");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(rtf);
}

// A program whose vault holds a password, with Help.rtf and the stored setting
// in place before the main window appears.
struct Helped : TestApp {
    explicit Helped(const QString* stored, bool withDocument = true) {
        if (withDocument) writeHelp(dir());
        if (stored) fakes.settings->values.insert(kKey, *stored);
        writeVault(vaultOf("pw"));
        main = unlock(*this, "pw");
    }
    Form8* help() const { return app->forms.get<Form8>(); }
    Form1* main = nullptr;
};

}  // namespace

class tst_Form8 : public QObject {
    Q_OBJECT
private slots:
    void noStoredChoiceOpensAtStartAndWritesNothing() {
        Helped t(nullptr);
        Form8* h = t.help();
        QVERIFY(h && h->isVisible());
        QCOMPARE(h->windowTitle(), QStringLiteral("Readme/Help"));
        QCOMPARE(h->Check1->text(), QStringLiteral("Show at Startup"));
        QCOMPARE(h->Check1->checkState(), Qt::Checked);
        QVERIFY(t.fakes.settings->writes.isEmpty());
        QVERIFY(h->rtf1->isReadOnly());
        QVERIFY(h->rtf1->toPlainText().contains("Tressik help bold text"));
        QVERIFY(below(h->Check1, h->rtf1));
        QVERIFY(inside(h->rtf1) && inside(h->Check1));
        QVERIFY(h->windowFlags() & Qt::Tool);  // kept out of the task bar
    }

    void storedZero() {
        const QString zero = "0";
        Helped t(&zero);
        QVERIFY(!t.app->forms.isLoaded<Form8>());  // not at start
        t.main->mnuHelpItem[0]->trigger();
        Form8* h = t.help();
        QVERIFY(h && h->isVisible());
        QCOMPARE(h->Check1->checkState(), Qt::Unchecked);
        QCOMPARE(t.fakes.settings->writes, QStringList{kKey + "=0"});  // written back by the change handler
    }

    void leadingZeroReadsAsANumberButDoesNotOpenAtStart() {
        const QString stored = "01";
        Helped t(&stored);
        QVERIFY(!t.app->forms.isLoaded<Form8>());
        t.main->mnuHelpItem_Click(0);
        QCOMPARE(t.help()->Check1->checkState(), Qt::Checked);
        QVERIFY(t.fakes.settings->writes.isEmpty());
    }

    void storedValuesThatAreNotAChoiceAreIgnored_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("text") << "yes";
        QTest::newRow("fraction") << "1.5";
        QTest::newRow("out of range") << "3";
        QTest::newRow("negative") << "-1";
        QTest::newRow("empty") << "";
    }
    void storedValuesThatAreNotAChoiceAreIgnored() {
        QFETCH(QString, stored);
        Helped t(&stored);
        t.main->mnuHelpItem_Click(0);
        QCOMPARE(t.help()->Check1->checkState(), Qt::Checked);
        QVERIFY(t.fakes.settings->writes.isEmpty());
    }

    void greyedValue() {
        const QString stored = "2";
        Helped t(&stored);
        t.main->mnuHelpItem_Click(0);
        QCOMPARE(t.help()->Check1->checkState(), Qt::PartiallyChecked);
        QCOMPARE(t.fakes.settings->writes, QStringList{kKey + "=2"});
        t.help()->Check1->click();  // a click on a greyed box checks it
        QCOMPARE(t.help()->Check1->checkState(), Qt::Checked);
        QCOMPARE(t.fakes.settings->values.value(kKey), QStringLiteral("1"));
    }

    void togglingWritesAtOnce() {
        Helped t(nullptr);
        Form8* h = t.help();
        h->Check1->click();
        QCOMPARE(t.fakes.settings->values.value(kKey), QStringLiteral("0"));
        h->Check1->click();
        QCOMPARE(t.fakes.settings->values.value(kKey), QStringLiteral("1"));
        QCOMPARE(t.fakes.settings->writes.size(), 2);
        h->close();
        QCOMPARE(t.fakes.settings->writes.size(), 2);  // closing saves nothing
        QVERIFY(!t.app->forms.isLoaded<Form8>());
    }

    void secondRequestDoesNotReread() {
        Helped t(nullptr);
        Form8* h = t.help();
        writeHelp(t.dir(), "{\\rtf1 changed\\par}");
        t.main->mnuHelpItem_Click(0);
        QCOMPARE(t.help(), h);
        QVERIFY(h->rtf1->toPlainText().contains("Tressik help"));
        h->close();
        flushDeletes();
        t.main->mnuHelpItem_Click(0);  // a fresh load reads it again
        QVERIFY(t.help()->rtf1->toPlainText().contains("changed"));
    }

    void missingDocumentShowsNothing() {
        Helped t(nullptr, false);
        QVERIFY(!t.app->forms.isLoaded<Form8>());
        t.main->mnuHelpItem_Click(0);
        QVERIFY(!t.app->forms.isLoaded<Form8>());
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
        QVERIFY(t.fakes.settings->writes.isEmpty());
        writeHelp(t.dir());
        t.main->mnuHelpItem_Click(0);
        QVERIFY(t.help() && t.help()->isVisible());
    }

    void unreadableDocumentStillOpens() {
        Helped t(nullptr, false);
        writeHelp(t.dir(), QByteArray("\x00\x01\x02 not rich text", 18));
        t.main->mnuHelpItem_Click(0);
        QVERIFY(t.help() && t.help()->isVisible());
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
    }

    void onlyWebAndMailLinksGoToTheDesktop_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened");  // empty: nothing
        QTest::newRow("https") << "https://example.test/page" << "https://example.test/page";
        QTest::newRow("http with a bookmark") << "http://example.test/p#s2" << "http://example.test/p#s2";
        QTest::newRow("scheme in capitals") << "HTTPS://Example.test/" << "https://example.test/";
        QTest::newRow("mailto") << "mailto:help@example.test" << "mailto:help@example.test";
        QTest::newRow("http without a host") << "http:page.html" << "";
        QTest::newRow("mailto without an address") << "mailto:" << "";
        QTest::newRow("file") << "file:///etc/passwd" << "";
        QTest::newRow("javascript") << "javascript:alert(1)" << "";
        QTest::newRow("relative path") << "other/page.html" << "";
        QTest::newRow("parent folder") << "../data.enc" << "";
        QTest::newRow("another program's scheme") << "tressik-vault:open" << "";
        QTest::newRow("ftp") << "ftp://example.test/file" << "";
        QTest::newRow("unknown bookmark") << "#nowhere" << "";
    }
    void onlyWebAndMailLinksGoToTheDesktop() {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        Helped t(nullptr);
        emit t.help()->rtf1->anchorClicked(QUrl(link));
        QCOMPARE(t.fakes.opener->opened, opened.isEmpty() ? QStringList() : QStringList{opened});
        QCOMPARE(t.help()->rtf1->verticalScrollBar()->value(), 0);
    }

    // "#name" scrolls the help to the bookmark of that name, far below the first screen.
    void bookmarkLinksScrollTheHelp() {
        Helped t(nullptr, false);
        const QByteArray filler = QByteArray("filler text\\par ").repeated(300);
        writeHelp(t.dir(), "{\\rtf1 top\\par " + filler + "{\\*\\bkmkstart usage}Usage\\par " + filler + "}");
        t.main->mnuHelpItem_Click(0);
        QTextBrowser* box = t.help()->rtf1;
        QVERIFY(box->isVisible());
        emit box->anchorClicked(QUrl("#usage"));
        QVERIFY(t.fakes.opener->opened.isEmpty());
        const QTextCursor usage = box->document()->find("Usage");
        QVERIFY(!usage.isNull());
        QTRY_VERIFY(box->viewport()->rect().contains(box->cursorRect(usage).center()));
        QVERIFY(box->verticalScrollBar()->value() > 0);
    }

    void exitUnloadsIt() {
        Helped t(nullptr);
        t.main->mnuFileItem_Click(0);
        QVERIFY(!t.app->forms.isLoaded<Form8>());
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_Form8)
#include "tst_Form8.moc"
