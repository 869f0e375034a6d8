#include "support/Unlocked.h"

#include <QAccessible>
#include <QAction>
#include <QHeaderView>
#include <QTest>

class tst_EntryCommands : public QObject {
    Q_OBJECT
private slots:
    void nothingSelected() {
        Unlocked u({{"a", "1", "x"}});
        u.fakes.clipboard->text = "old";
        u.main->cmdCopy_Click(1);
        QCOMPARE(u.fakes.clipboard->clears, 1);
        QVERIFY(u.fakes.clipboard->text.isEmpty());
        QCOMPARE(u.status(), QStringLiteral("You must first select a row to copy from."));
        u.main->cmdDelete_Click();
        QCOMPARE(u.status(), QStringLiteral("You must first select an entry to delete."));
        u.main->cmdGoto_Click();
        QCOMPARE(u.status(), QStringLiteral("You must first select an entry to go to."));
        u.main->cmdEdit_Click();
        QCOMPARE(u.status(), QStringLiteral("You must first select an entry to edit."));
        QCOMPARE(u.fakes.messageBox->shown.size(), 0);
        QVERIFY(u.fakes.opener->opened.isEmpty());
        QVERIFY(!u.app->forms.isLoaded<frmAdd>());
    }

    void copyEachField() {
        Unlocked u({{"user", "secret", ""}});
        u.items().setSelected(1, true);
        u.main->cmdCopy_Click(0);
        QCOMPARE(u.fakes.clipboard->text, QStringLiteral("user"));
        QVERIFY(!u.fakes.clipboard->secret);
        QCOMPARE(u.status(), QStringLiteral("Copied Username user"));
        u.main->mnuCopyItem[1]->trigger();
        QCOMPARE(u.fakes.clipboard->text, QStringLiteral("secret"));
        QVERIFY(u.fakes.clipboard->secret);  // kept out of clipboard history
        QCOMPARE(u.status(), QStringLiteral("Copied Password secret"));
        u.main->cmdCopy[2]->click();
        QVERIFY(u.fakes.clipboard->text.isEmpty());
        QCOMPARE(u.status(), QStringLiteral("Copied Location "));
        QCOMPARE(u.fakes.clipboard->clears, 3);
    }

    void everyCommandUsesTheUpperSelectedRow() {
        Unlocked u({{"a", "1", "www.a.com"}, {"b", "2", "www.b.com"}, {"c", "3", "www.c.com"}});
        u.items().setSelected(3, true);
        u.items().setSelected(2, true);
        u.main->cmdCopy_Click(0);
        QCOMPARE(u.fakes.clipboard->text, QStringLiteral("b"));
        u.main->cmdGoto_Click();
        QCOMPARE(u.fakes.opener->opened, QStringList{"http://www.b.com"});
        u.main->cmdEdit_Click();
        QCOMPARE(u.app->forms.get<frmAdd>()->txtUsername->text(), QStringLiteral("b"));
        u.fakes.messageBox->answers = {MsgResult::Ok};
        u.main->cmdDelete_Click();
        QCOMPARE(u.usernames(), (QStringList{"a", "c"}));
    }

    void deleteConfirmed() {
        Unlocked u({{"only", "pw1", "site"}});
        // What a screen reader reads of the list as it gets the focus.
        const auto described = [&] {
            return QAccessible::queryAccessibleInterface(u.main->lstPass)->text(QAccessible::Description);
        };
        QVERIFY(!described().contains("empty"));
        u.items().setSelected(1, true);
        u.fakes.messageBox->answers = {MsgResult::Ok};
        u.main->mnuDataItem[1]->trigger();
        QCOMPARE(u.fakes.messageBox->shown.size(), 1);
        QVERIFY(u.fakes.messageBox->shown[0].text.contains("Username: only\r\nPassword: pw1"));
        QCOMPARE(u.items().count(), qsizetype{0});
        QCOMPARE(u.vaultBytes(), QByteArray::fromHex("f0f70d0a0d0a"));
        QCOMPARE(u.status(), QStringLiteral("Entry deleted successfully, data saved."));
        QVERIFY(described().startsWith("The list is empty. One entry a row: its Username"));
    }

    void deleteCancelled() {
        Unlocked u({{"a", "1", ""}, {"b", "2", ""}});
        const QByteArray before = u.vaultBytes();
        u.items().setSelected(2, true);
        u.fakes.messageBox->answers = {MsgResult::Cancel};
        u.main->cmdDelete_Click();
        QCOMPARE(u.usernames(), (QStringList{"a", "b"}));
        QVERIFY(u.items().selected(2));
        QCOMPARE(u.vaultBytes(), before);
        QCOMPARE(u.status(), QStringLiteral("Entry not deleted, cancelled by user"));
    }

    void deleteWhoseSaveFails() {
        Unlocked u({{"a", "1", ""}});
        QVERIFY(u.blockSaves());
        u.items().setSelected(1, true);
        u.fakes.messageBox->answers = {MsgResult::Ok, MsgResult::Ok};
        u.main->cmdDelete_Click();
        QCOMPARE(u.fakes.messageBox->shown.size(), 2);
        QVERIFY(u.fakes.messageBox->shown[1].text.contains("could not be saved"));
        QVERIFY(u.status() != QStringLiteral("Entry deleted successfully, data saved."));
    }

    void gotoAddresses_data() {
        // clang-format off
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("address");
        QTest::newRow("www in capitals") << "WWW.EXAMPLE.TEST" << "http://WWW.EXAMPLE.TEST";
        QTest::newRow(".com") << "example.com/login" << "http://example.com/login";
        QTest::newRow(".edu") << "mit.edu" << "http://mit.edu";
        QTest::newRow(".net") << "a.NET" << "http://a.NET";
        QTest::newRow("org inside a word") << "george" << "http://george";
        QTest::newRow("biz inside a word") << "showbiz" << "http://showbiz";
        QTest::newRow("com without a dot") << "compass" << "compass";
        QTest::newRow("net without a dot") << "netflix" << "netflix";
        QTest::newRow("https anywhere") << "see https://www.x.org" << "see https://www.x.org";
        QTest::newRow("HTTP in capitals") << "HTTP://www.x.org" << "HTTP://www.x.org";
        QTest::newRow("no marker keeps its scheme") << "ftp://files.test" << "ftp://files.test";
        QTest::newRow("no marker, plain word") << "bank" << "bank";
        QTest::newRow("a file path") << "/home/me/notes.txt" << "/home/me/notes.txt";
        QTest::newRow("untrimmed") << " www.x.test " << "http:// www.x.test ";
        QTest::newRow("shell characters stay one argument") << "www.x.com; rm -rf ~" << "http://www.x.com; rm -rf ~";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }
    void gotoAddresses() {
        QFETCH(QString, location);
        QFETCH(QString, address);
        Unlocked u({{"u", "p", location}});
        u.items().setSelected(1, true);
        u.main->mnuDataItem[3]->trigger();
        QCOMPARE(u.fakes.opener->opened, QStringList{address});
        QCOMPARE(u.status(), QStringLiteral("Opening Location..."));
    }

    void openerThatCannotStartIsReported() {
        Unlocked u({{"u", "p", "www.x.test"}});
        u.fakes.opener->canStart = false;
        u.items().setSelected(1, true);
        u.main->cmdGoto_Click();
        QVERIFY(u.status().startsWith("Could not open the location"));
    }

    void menusRunTheButtonHandlers() {
        Unlocked u({{"a", "1", "x"}});
        u.main->mnuDataItem[0]->trigger();
        QVERIFY(u.app->forms.isLoaded<frmAdd>());
        QCOMPARE(u.app->forms.get<frmAdd>()->windowTitle(), QStringLiteral("Add an entry"));
        u.app->forms.unload<frmAdd>();
        u.items().setSelected(1, true);
        u.main->mnuDataItem[2]->trigger();
        QCOMPARE(u.app->forms.get<frmAdd>()->windowTitle(), QStringLiteral("Edit an entry"));
        QCOMPARE(u.app->forms.get<frmAdd>()->txtUsername->text(), QStringLiteral("a"));
    }

    void sortByHeaderClicksAndSaveInSortedOrder() {
        Unlocked u({{"b", "2", "z"}, {"a", "3", "y"}, {"c", "1", "x"}});
        QHeaderView* header = u.main->lstPass->header();
        auto clickHeader = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        clickHeader(0);
        QCOMPARE(u.usernames(), (QStringList{"c", "b", "a"}));
        clickHeader(0);
        QCOMPARE(u.usernames(), (QStringList{"a", "b", "c"}));
        clickHeader(0);
        clickHeader(1);  // the direction flips whichever column: ascending by password
        QCOMPARE(u.usernames(), (QStringList{"c", "b", "a"}));
        u.items().setSelected(1, true);
        u.fakes.messageBox->answers = {MsgResult::Ok};
        u.main->cmdDelete_Click();
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"b", "2", "z"}, {"a", "3", "y"}}));
    }

    void exitUnloadsTheEditor() {
        Unlocked u;
        u.main->cmdAdd_Click(0);
        u.main->mnuFileItem[0]->trigger();
        QVERIFY(!u.app->forms.isLoaded<frmAdd>());
        QCOMPARE(u.fakes.programEnd->calls, 1);
    }
};

QTEST_MAIN(tst_EntryCommands)
#include "tst_EntryCommands.moc"
