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
    explicit Helped(const QString& stored = QString(), bool withDocument = true) {
        if (withDocument) writeHelp(dir());
        if (!stored.isNull()) fakes.settings->values.insert(kKey, stored);
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
    void helpWindow() {
        Helped t;
        Form8* h = t.help();
        QVERIFY(h && h->isVisible());
        QCOMPARE(h->windowTitle(), QStringLiteral("Readme/Help"));
        QCOMPARE(h->Check1->text(), QStringLiteral("Show at Startup"));
        QVERIFY(h->rtf1->isReadOnly());
        QVERIFY(h->rtf1->toPlainText().contains("Tressik help bold text"));
        QVERIFY(below(h->Check1, h->rtf1));
        QVERIFY(inside(h->rtf1) && inside(h->Check1));
        QVERIFY(h->windowFlags() & Qt::Tool);  // kept out of the task bar
    }

    // What the stored choice makes of the help at start and of its check box;
    // a value the box shows otherwise is written back as it shows it.
    void storedChoice_data() {
        // clang-format off
        QTest::addColumn<QString>("stored");  // null: nothing stored
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<Qt::CheckState>("box");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("nothing") << QString() << true << Qt::Checked << QStringList();
        QTest::newRow("0") << "0" << false << Qt::Unchecked << QStringList{kKey + "=0"};
        QTest::newRow("2, greyed") << "2" << false << Qt::PartiallyChecked << QStringList{kKey + "=2"};
        QTest::newRow("leading zero") << "01" << false << Qt::Checked << QStringList();
        QTest::newRow("text") << "yes" << false << Qt::Checked << QStringList();
        QTest::newRow("fraction") << "1.5" << false << Qt::Checked << QStringList();
        QTest::newRow("out of range") << "3" << false << Qt::Checked << QStringList();
        QTest::newRow("negative") << "-1" << false << Qt::Checked << QStringList();
        QTest::newRow("empty") << "" << false << Qt::Checked << QStringList();
        // clang-format on
    }
    void storedChoice() {
        QFETCH(QString, stored);
        QFETCH(bool, atStart);
        QFETCH(Qt::CheckState, box);
        QFETCH(QStringList, writes);
        Helped t(stored);
        QCOMPARE(t.app->forms.isLoaded<Form8>(), atStart);
        t.main->mnuHelpItem[0]->trigger();
        QVERIFY(t.help() && t.help()->isVisible());
        QCOMPARE(t.help()->Check1->checkState(), box);
        QCOMPARE(t.fakes.settings->writes, writes);
    }

    void aClickOnAGreyedBoxChecksIt() {
        Helped t("2");
        t.main->mnuHelpItem_Click(0);
        t.help()->Check1->click();
        QCOMPARE(t.help()->Check1->checkState(), Qt::Checked);
        QCOMPARE(t.fakes.settings->values.value(kKey), QStringLiteral("1"));
    }

    void togglingWritesAtOnce() {
        Helped t;
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
        Helped t;
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
        Helped t(QString(), false);
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
        Helped t(QString(), false);
        writeHelp(t.dir(), QByteArray("\x00\x01\x02 not rich text", 18));
        t.main->mnuHelpItem_Click(0);
        QVERIFY(t.help() && t.help()->isVisible());
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
    }

    void onlyWebAndMailLinksGoToTheDesktop_data() {
        // clang-format off
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
        // clang-format on
    }
    void onlyWebAndMailLinksGoToTheDesktop() {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        Helped t;
        emit t.help()->rtf1->anchorClicked(QUrl(link));
        QCOMPARE(t.fakes.opener->opened, opened.isEmpty() ? QStringList() : QStringList{opened});
        QCOMPARE(t.help()->rtf1->verticalScrollBar()->value(), 0);
    }

    // "#name" scrolls the help to the bookmark of that name, far below the first screen.
    void bookmarkLinksScrollTheHelp() {
        Helped t(QString(), false);
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
        Helped t;
        t.main->mnuFileItem_Click(0);
        QVERIFY(!t.app->forms.isLoaded<Form8>());
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_Form8)
#include "tst_Form8.moc"
