#include "VaultEntries.h"
#include "support/Layout.h"
#include "support/Unlocked.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace {

frmAdd* openAdd(Unlocked& u) {
    u.main->cmdAdd_Click(0);
    return u.app->forms.get<frmAdd>();
}

frmAdd* openEdit(Unlocked& u, qsizetype position) {
    u.items().setSelected(position, true);
    u.main->cmdEdit_Click();
    return u.app->forms.get<frmAdd>();
}

void type(frmAdd* e, const QString& user, const QString& password, const QString& location) {
    e->txtUsername->setText(user);
    e->txtPassword->setText(password);
    e->txtWebsite->setText(location);
}

}  // namespace

class tst_frmAdd : public QObject {
    Q_OBJECT
private slots:
    // The three boxes under one another, each with its label, then Save and Cancel.
    void layoutAndCaptions() {
        Unlocked u;
        frmAdd* e = openAdd(u);
        QVERIFY(e && e->isVisible());
        QCOMPARE(e->windowTitle(), QStringLiteral("Add an entry"));
        QVERIFY(labelsBox(e->SkinLabel1, e->txtUsername));
        QVERIFY(labelsBox(e->SkinLabel2, e->txtPassword));
        QVERIFY(labelsBox(e->SkinLabel3, e->txtWebsite));
        QVERIFY(below(e->txtPassword, e->txtUsername));
        QVERIFY(below(e->txtWebsite, e->txtPassword));
        QVERIFY(below(e->cmdAdd[0], e->txtWebsite));
        QVERIFY(inARow({e->cmdAdd[0], e->cmdDelete}));
        for (QWidget* c : std::initializer_list<QWidget*>{e->txtUsername, e->txtWebsite, e->cmdAdd[0], e->cmdDelete})
            QVERIFY2(inside(c), c->objectName().toLatin1());
        QCOMPARE((QStringList{e->SkinLabel1->caption(), e->SkinLabel2->caption(), e->SkinLabel3->caption()}),
                 (QStringList{"Username:", "Password:", "Website:"}));
        QCOMPARE(e->cmdDelete->text(), QStringLiteral("Cancel"));
        QCOMPARE(e->cmdAdd[0]->text(), QStringLiteral("Save"));
        QCOMPARE(e->focusWidget(), e->cmdDelete);
        QCOMPARE(e->txtPassword->echoMode(), QLineEdit::Normal);
    }

    void validationMessages() {
        Unlocked u;
        frmAdd* e = openAdd(u);
        const QByteArray before = u.vaultBytes();
        e->cmdAdd_Click(0);
        e->txtUsername->setText("  ");
        e->cmdAdd_Click(0);
        const auto& boxes = u.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[0].text.endsWith("username"));  // only this one when both are empty
        QVERIFY(boxes[1].text.endsWith("password"));
        QCOMPARE(e->txtUsername->text(), QStringLiteral("  "));
        QVERIFY(u.app->forms.isLoaded<frmAdd>());
        QCOMPARE(u.vaultBytes(), before);
    }

    void addWithEmptyLocationAndEnterInTheLocationBox() {
        Unlocked u({{"a", "1", "x"}});
        frmAdd* e = openAdd(u);
        type(e, "bob", " ", "");
        QTest::keyClick(e->txtUsername, Qt::Key_Return);  // does nothing
        QTest::keyClick(e->txtPassword, Qt::Key_Return);
        QTest::keyClick(e->txtPassword, Qt::Key_Escape);
        QVERIFY(u.app->forms.isLoaded<frmAdd>());
        QTest::keyClick(e->txtWebsite, Qt::Key_Return);
        QVERIFY(!u.app->forms.isLoaded<frmAdd>());
        QCOMPARE(u.usernames(), (QStringList{"a", "bob"}));
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"a", "1", "x"}, {"bob", " ", ""}}));
        QCOMPARE(u.status(), QStringLiteral("Added new entry.  Data saved."));
    }

    void editWithoutChangesRewritesTheVault() {
        Unlocked u({{"a", "1", "x"}, {"b", "2", "y"}});
        QFile::remove(u.vaultPath());
        frmAdd* e = openEdit(u, 2);
        QCOMPARE(e->windowTitle(), QStringLiteral("Edit an entry"));
        QCOMPARE(e->txtUsername->text(), QStringLiteral("b"));
        QCOMPARE(e->txtPassword->text(), QStringLiteral("2"));
        QCOMPARE(e->txtWebsite->text(), QStringLiteral("y"));
        e->cmdAdd[0]->click();
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"a", "1", "x"}, {"b", "2", "y"}}));
        QCOMPARE(u.status(), QStringLiteral("Added new entry.  Data saved."));
    }

    void editChangesTheRowInPlace() {
        Unlocked u({{"a", "1", "x"}, {"b", "2", "y"}, {"c", "3", "z"}});
        frmAdd* e = openEdit(u, 2);
        type(e, "B", "22", "");
        e->cmdAdd_Click(0);
        QCOMPARE(u.usernames(), (QStringList{"a", "B", "c"}));
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"a", "1", "x"}, {"B", "22", ""}, {"c", "3", "z"}}));
    }

    void cancelAndCloseBoxChangeNothing() {
        Unlocked u({{"a", "1", "x"}});
        const QByteArray before = u.vaultBytes();
        frmAdd* e = openAdd(u);
        type(e, "new", "pw", "loc");
        e->cmdDelete->click();
        QVERIFY(!u.app->forms.isLoaded<frmAdd>());
        e = openEdit(u, 1);
        type(e, "changed", "pw", "loc");
        e->close();
        QVERIFY(!u.app->forms.isLoaded<frmAdd>());
        QCOMPARE(u.usernames(), QStringList{"a"});
        QCOMPARE(u.vaultBytes(), before);
        QCOMPARE(u.status(), QStringLiteral("Loaded 1 entries"));
    }

    void refusesWhatTheVaultCannotHold_data() {
        // clang-format off
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("field");
        // Which text the vault cannot hold is the codec's to say; the editor refuses it in every field.
        QTest::newRow("separator") << "u" << "a|||b" << "" << "password";
        QTest::newRow("not in the code page") << "u" << "p" << "\u65e5\u672c" << "location";
        QTest::newRow("code 141") << "u\u008d" << "p" << "" << "username";
        // clang-format on
    }
    void refusesWhatTheVaultCannotHold() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, location);
        QFETCH(QString, field);
        Unlocked u({{"a", "1", "x"}});
        const QByteArray before = u.vaultBytes();
        frmAdd* e = openAdd(u);
        type(e, user, password, location);
        e->cmdAdd_Click(0);
        QCOMPARE(u.fakes.messageBox->shown.size(), 1);
        QVERIFY(u.fakes.messageBox->shown[0].text.contains(field));
        QVERIFY(u.app->forms.isLoaded<frmAdd>());
        QCOMPARE(e->txtUsername->text(), user);
        QCOMPARE(e->txtPassword->text(), password);
        QCOMPARE(u.vaultBytes(), before);
        QCOMPARE(u.items().count(), qsizetype{1});
    }

    void acceptsBarsThatComeBackUnchanged() {
        Unlocked u;
        frmAdd* e = openAdd(u);
        type(e, "u", "|p", "|loc");
        e->cmdAdd_Click(0);
        QCOMPARE(u.fakes.messageBox->shown.size(), 0);
        QCOMPARE(VaultCodec::readEntries(u.vaultBytes()), (std::vector<Entry>{{"u", "|p", "|loc"}}));
    }

    void editStaysOnItsRowThroughASort() {
        Unlocked u({{"c", "1", ""}, {"a", "2", ""}, {"b", "3", ""}});
        frmAdd* e = openEdit(u, 1);      // "c"
        u.main->lstPass_ColumnClick(1);  // descending: c b a
        u.main->lstPass_ColumnClick(1);  // ascending: a b c
        QCOMPARE(u.usernames(), (QStringList{"a", "b", "c"}));
        type(e, "c2", "1", "");
        e->cmdAdd_Click(0);
        QCOMPARE(u.usernames(), (QStringList{"a", "b", "c2"}));
    }

    void editOfADeletedRowSavesANewEntry() {
        Unlocked u({{"a", "1", ""}, {"b", "2", ""}});
        frmAdd* e = openEdit(u, 1);
        u.fakes.messageBox->answers = {MsgResult::Ok};
        u.main->cmdDelete_Click();  // deletes "a", the row being edited
        QCOMPARE(u.usernames(), QStringList{"b"});
        type(e, "a-edited", "1", "");
        // The user is told once the new entry is on disk, not before.
        QByteArray onDiskWhileTold;
        u.fakes.messageBox->whileOpen = [&] { onDiskWhileTold = u.vaultBytes(); };
        e->cmdAdd_Click(0);
        QCOMPARE(u.usernames(), (QStringList{"b", "a-edited"}));  // "b" untouched
        const QByteArray expected = vaultOf("pw", {{"b", "2", ""}, {"a-edited", "1", ""}});
        QCOMPARE(u.vaultBytes(), expected);
        QCOMPARE(u.fakes.messageBox->shown.size(), 2);  // the delete's confirmation, then this
        QVERIFY(u.fakes.messageBox->shown[1].text.contains("saved as a new entry"));
        QCOMPARE(onDiskWhileTold, expected);
    }

    // No field is cut at the 32,767 characters a text box takes by default.
    void longFieldsComeBackByteForByte() {
        QString password;
        while (password.size() < 40000) password += QStringLiteral("0123456789abcdef");
        password.truncate(40000);
        const QString location = QString(40001, QLatin1Char('w'));
        Unlocked u({{"a", "1", ""}, {"long", password, location}});
        const QByteArray before = u.vaultBytes();
        frmAdd* e = openEdit(u, 2);
        QCOMPARE(e->txtPassword->text().size(), 40000);
        QCOMPARE(e->txtWebsite->text().size(), 40001);
        QFile::remove(u.vaultPath());  // so the save shows
        e->cmdAdd[0]->click();
        QCOMPARE(u.status(), QStringLiteral("Added new entry.  Data saved."));
        QCOMPARE(u.vaultBytes(), before);

        // Pasted, too.
        frmAdd* add = openAdd(u);
        QApplication::clipboard()->setText(password);
        add->txtUsername->paste();
        QCOMPARE(add->txtUsername->text(), password);
    }

    void secondRequestRefillsTheOpenEditor() {
        Unlocked u({{"a", "1", "x"}, {"b", "2", "y"}});
        frmAdd* e = openAdd(u);
        type(e, "typed", "", "");
        frmAdd* again = openEdit(u, 2);
        QCOMPARE(again, e);
        QCOMPARE(e->windowTitle(), QStringLiteral("Edit an entry"));
        QCOMPARE(e->txtUsername->text(), QStringLiteral("b"));
        u.main->cmdAdd_Click(0);
        QCOMPARE(e->windowTitle(), QStringLiteral("Add an entry"));
        QVERIFY(e->txtUsername->text().isEmpty());
    }

    void addWhileSortedTakesItsPlace() {
        Unlocked u({{"b", "1", ""}, {"d", "2", ""}});
        u.main->lstPass_ColumnClick(1);  // descending: d b
        frmAdd* e = openAdd(u);
        type(e, "c", "3", "");
        e->cmdAdd_Click(0);
        QCOMPARE(u.usernames(), (QStringList{"d", "c", "b"}));
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"d", "2", ""}, {"c", "3", ""}, {"b", "1", ""}}));
    }

    // A save that fails claims nothing, not even a new entry: one box, the
    // status as it was, and the entry kept in the list.
    void failedSaveClaimsNothing_data() {
        // clang-format off
        QTest::addColumn<bool>("editOfDeleted");
        QTest::newRow("add") << false;
        QTest::newRow("edit of a deleted entry") << true;
        // clang-format on
    }
    void failedSaveClaimsNothing() {
        QFETCH(bool, editOfDeleted);
        Unlocked u({{"a", "1", ""}, {"b", "2", ""}});
        frmAdd* e = editOfDeleted ? openEdit(u, 1) : openAdd(u);
        if (editOfDeleted) u.items().remove(1);
        QVERIFY(u.blockSaves());
        type(e, "new", "p", "");
        e->cmdAdd_Click(0);
        QCOMPARE(u.fakes.messageBox->shown.size(), 1);
        QVERIFY(u.fakes.messageBox->shown[0].text.startsWith("Your changes could not be saved"));
        QCOMPARE(u.status(), QStringLiteral("Loaded 2 entries"));
        QCOMPARE(u.usernames(), (editOfDeleted ? QStringList{"b", "new"} : QStringList{"a", "b", "new"}));
    }
};

QTEST_MAIN(tst_frmAdd)
#include "tst_frmAdd.moc"
