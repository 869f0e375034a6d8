#include "support/Layout.h"
#include "support/Unlocked.h"

#include <QPushButton>
#include <QTest>

namespace {

// Loads the main window, which opens the vault and the password window.
frmPass* open(TestApp& t) {
    t.app->g.strProgramName = "Tressik";
    t.app->forms.load<Form1>();
    return t.app->forms.get<frmPass>();
}

}  // namespace

class tst_frmPass : public QObject {
    Q_OBJECT
private slots:
    // First use asks for a new password twice, later the password once: the
    // words on top, the boxes with their labels, then the buttons, and no room
    // left over below them.
    void layout_data() {
        QTest::addColumn<bool>("firstUse");
        QTest::addColumn<QString>("caption");
        QTest::newRow("first use") << true
                                   << "Because this is the first time you have used Tressik, you will need to create a "
                                      "master password.  This password will be required to open the program from now "
                                      "on, and can not be reset.\r\n\r\nPlease enter a password that you will not "
                                      "forget.";
        QTest::newRow("password asked") << false << "Please enter your password";
    }
    void layout() {
        QFETCH(bool, firstUse);
        QFETCH(QString, caption);
        TestApp t;
        if (!firstUse) t.writeVault(vaultOf("secret"));
        frmPass* f = open(t);
        QVERIFY(f->isVisible());
        QVERIFY(onTop(f));
        QCOMPARE(f->windowTitle(), QStringLiteral("Password Required"));
        QCOMPARE(f->SkinLabel1->caption(), caption);
        QCOMPARE(f->cmdOK->text(), QStringLiteral("Ok"));
        QCOMPARE(f->cmdCancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(f->txtPass->echoMode(), QLineEdit::Password);
        QCOMPARE(f->focusWidget(), f->txtPass);
        QVERIFY(f->SkinLabel1->y() < f->txtPass->y());
        QVERIFY(labelsBox(f->SkinLabel2, f->txtPass));
        QCOMPARE(f->txtPass2->isVisible(), firstUse);
        QCOMPARE(f->SkinLabel3->isVisible(), firstUse);
        QLineEdit* last = f->txtPass;
        if (firstUse) {
            QCOMPARE(f->txtPass2->echoMode(), QLineEdit::Password);
            QVERIFY(below(f->txtPass2, f->txtPass));
            QVERIFY(labelsBox(f->SkinLabel3, f->txtPass2));
            last = f->txtPass2;
        }
        QVERIFY(below(f->cmdOK, last));
        QVERIFY(inARow({f->cmdOK, f->cmdCancel}));
        for (QWidget* c : std::initializer_list<QWidget*>{f->SkinLabel1, last, f->cmdOK, f->cmdCancel})
            QVERIFY2(inside(c), c->objectName().toLatin1());
        QVERIFY(f->height() - f->cmdOK->geometry().bottom() < f->cmdOK->height());
    }

    void firstUseRules() {
        TestApp t;
        frmPass* f = open(t);
        auto& boxes = t.fakes.messageBox->shown;
        // Each box comes over the password window, which gives up its place on top meanwhile.
        QList<bool> onTopWhileOpen;
        t.fakes.messageBox->whileOpen = [&] { onTopWhileOpen << onTop(f); };

        f->txtPass->setText("abc");
        f->txtPass2->setText("abc");
        f->cmdOK_Click();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].text.contains("at least 4 characters"));
        QCOMPARE(boxes[0].parent, f);
        QCOMPARE(f->txtPass->text(), QStringLiteral("abc"));  // fields kept
        QCOMPARE(f->txtPass2->text(), QStringLiteral("abc"));
        QVERIFY(onTop(f));

        f->txtPass->setText("abcd");
        f->txtPass2->setText("abcD");
        f->cmdOK_Click();
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[1].text.contains("did not match"));
        QVERIFY(f->txtPass->text().isEmpty());
        QVERIFY(f->txtPass2->text().isEmpty());

        // Not storable: refused, nothing written, both fields kept.
        f->txtPass->setText("abc\u4e2d");
        f->txtPass2->setText("abc\u4e2d");
        f->cmdOK_Click();
        QCOMPARE(boxes.size(), 3);
        QVERIFY(boxes[2].text.contains("cannot store"));
        QCOMPARE(f->txtPass->text(), QStringLiteral("abc\u4e2d"));
        QCOMPARE(t.vaultBytes(), QByteArray("\r\n"));
        QCOMPARE(onTopWhileOpen, (QList<bool>{false, false, false}));
        QVERIFY(onTop(f));

        f->txtPass->setText("abcd");
        f->txtPass2->setText("abcd");
        QTest::keyClick(f->txtPass2, Qt::Key_Return);  // Enter acts as OK
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(t.vaultBytes(), QByteArray::fromHex("e1e2e3e40d0a"));
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
        QVERIFY(t.app->forms.get<Form1>()->isVisible());
        QCOMPARE(status(t), QStringLiteral("Password created successfully"));
        QCOMPARE(t.fakes.programEnd->calls, 0);
    }

    void wrongThreeTimesWithRetryEnds() {
        TestApp t;
        t.writeVault(vaultOf("Secret", {{"u", "p", "l"}}));
        frmPass* f = open(t);
        auto& boxes = t.fakes.messageBox->shown;
        t.fakes.messageBox->answers = {MsgResult::Retry, MsgResult::Retry, MsgResult::Retry, MsgResult::Ok};
        for (const char* typed : {"secret", "Secret ", " Secret"}) {
            QCOMPARE(t.fakes.programEnd->calls, 0);
            f->txtPass->setText(typed);
            QTest::keyClick(f->txtPass, Qt::Key_Enter);
        }
        QCOMPARE(boxes.size(), 4);
        for (int i = 0; i < 3; ++i) QCOMPARE(boxes[i].caption, QStringLiteral("Incorrect Password"));
        QVERIFY(boxes[3].text.startsWith("Only 3 tries"));
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QCOMPARE(t.app->forms.get<Form1>()->lstPass->items().count(), qsizetype{0});
    }

    void retryClearsTheFieldAndAllowsTheRightPassword() {
        TestApp t;
        t.writeVault(vaultOf("Secret", {{"u", "p", "l"}}));
        frmPass* f = open(t);
        t.fakes.messageBox->answers = {MsgResult::Retry, MsgResult::Retry};
        f->txtPass->setText("x");
        f->cmdOK_Click();
        QVERIFY(f->txtPass->text().isEmpty());
        f->txtPass->setText("y");
        f->cmdOK_Click();
        f->txtPass->setText("Secret");
        f->cmdOK_Click();
        QCOMPARE(t.fakes.programEnd->calls, 0);
        QCOMPARE(status(t), QStringLiteral("Loaded 1 entries"));
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
    }

    void cancelAtAnyAttemptEndsWithoutTheClosingMessage_data() {
        QTest::addColumn<int>("retries");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
        QTest::newRow("third") << 2;
    }
    void cancelAtAnyAttemptEndsWithoutTheClosingMessage() {
        QFETCH(int, retries);
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        frmPass* f = open(t);
        for (int i = 0; i < retries; ++i) t.fakes.messageBox->answers.push_back(MsgResult::Retry);
        t.fakes.messageBox->answers.push_back(MsgResult::Cancel);
        for (int i = 0; i <= retries; ++i) {
            f->txtPass->setText("wrong");
            f->cmdOK_Click();
        }
        QCOMPARE(t.fakes.messageBox->shown.size(), retries + 1);
        QCOMPARE(t.fakes.programEnd->calls, 1);
    }

    void cancelButtonAndCloseBoxEndTheProgram() {
        {
            TestApp t;
            open(t)->cmdCancel->click();
            QCOMPARE(t.fakes.programEnd->calls, 1);
        }
        {
            TestApp t;
            open(t)->close();
            QCOMPARE(t.fakes.programEnd->calls, 1);
            QVERIFY(!t.app->forms.isLoaded<frmPass>());
        }
        {
            // Once a password is accepted, its unload does not end the program.
            TestApp t;
            t.writeVault(vaultOf("Secret"));
            unlock(t, "Secret");
            QVERIFY(!t.app->forms.isLoaded<frmPass>());
            QCOMPARE(t.fakes.programEnd->calls, 0);
        }
    }
};

QTEST_MAIN(tst_frmPass)
#include "tst_frmPass.moc"
