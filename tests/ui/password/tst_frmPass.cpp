#include "listview/ListItems.h"
#include "skin/SkinLabel.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"
#include "util/modOnTop.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Loads the main window, which opens the vault and the password window.
frmPass* open(TestApp& t) {
    t.app->g.strProgramName = "Tressik";
    t.app->forms.load<Form1>();
    return t.app->forms.get<frmPass>();
}

QString status(TestApp& t) { return t.app->forms.get<Form1>()->StatusBar1->panelText(1); }

}  // namespace

class tst_frmPass : public QObject {
    Q_OBJECT
private slots:
    void firstUseLayout() {
        TestApp t;
        frmPass* f = open(t);
        QVERIFY(f);
        QVERIFY(t.app->g.blnNewPassword);
        QVERIFY(f->isVisible());
        QCOMPARE(f->windowTitle(), QStringLiteral("Password Required"));
        QCOMPARE(f->SkinLabel1->caption(),
                 QStringLiteral("Because this is the first time you have used Tressik, you will need to create a master "
                                "password.  This password will be required to open the program from now on, and can "
                                "not be reset.\r\n\r\nPlease enter a password that you will not forget."));
        QCOMPARE(Twips::height(f->SkinLabel1), 1500);
        QCOMPARE(Twips::top(f->txtPass), 1700);
        QCOMPARE(Twips::top(f->txtPass2), 2075);
        QCOMPARE(Twips::top(f->cmdOK), 2450);
        QCOMPARE(Twips::top(f->cmdCancel), 2450);
        QCOMPARE(Twips::top(f->SkinLabel3), 2075);
        QCOMPARE(Twips::top(f->SkinLabel2), 1700);
        QCOMPARE(f->outerHeightTwips(), 3505);
        QVERIFY(!f->txtPass2->isHidden());
        QVERIFY(!f->SkinLabel3->isHidden());
        QVERIFY(IsOnTop(f));
        QCOMPARE(f->txtPass->echoMode(), QLineEdit::Password);
        QCOMPARE(f->focusWidget(), f->txtPass);
        QCOMPARE(f->cmdOK->text(), QStringLiteral("Ok"));
        QCOMPARE(f->cmdCancel->text(), QStringLiteral("Cancel"));
    }

    void entryLayout() {
        TestApp t;
        t.writeVault(vaultOf("secret"));
        frmPass* f = open(t);
        QVERIFY(!t.app->g.blnNewPassword);
        QCOMPARE(t.app->g.strSavedPassword, QStringLiteral("secret"));
        QCOMPARE(f->SkinLabel1->caption(), QStringLiteral("Please enter your password"));
        QCOMPARE(f->outerHeightTwips(), 1845);
        QCOMPARE(Twips::top(f->txtPass), 360);
        QCOMPARE(Twips::top(f->cmdOK), 780);
        QCOMPARE(Twips::top(f->cmdCancel), 780);
        QCOMPARE(Twips::top(f->SkinLabel2), 360);
        QVERIFY(f->txtPass2->isHidden());
        QVERIFY(f->SkinLabel3->isHidden());
    }

    void firstUseRules() {
        TestApp t;
        frmPass* f = open(t);
        auto& boxes = t.fakes.messageBox->shown;

        f->txtPass->setText("abc");
        f->txtPass2->setText("abc");
        f->cmdOK_Click();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("You must enter a password that is at least 4 characters long"));
        QCOMPARE(boxes[0].caption, QStringLiteral("Tressik"));
        QCOMPARE(boxes[0].buttons, MsgButtons::Ok);
        QCOMPARE(boxes[0].icon, MsgIcon::None);
        QCOMPARE(boxes[0].parent, f);
        QCOMPARE(f->txtPass->text(), QStringLiteral("abc"));  // fields kept
        QCOMPARE(f->txtPass2->text(), QStringLiteral("abc"));
        QVERIFY(IsOnTop(f));

        f->txtPass->setText("abcd");
        f->txtPass2->setText("abcD");
        f->cmdOK_Click();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].text, QStringLiteral("Your passwords did not match.  Please try again."));
        QVERIFY(f->txtPass->text().isEmpty());
        QVERIFY(f->txtPass2->text().isEmpty());

        // Not storable: refused, nothing written, both fields kept.
        f->txtPass->setText("abc\u4e2d");
        f->txtPass2->setText("abc\u4e2d");
        f->cmdOK_Click();
        QCOMPARE(boxes.size(), 3);
        QVERIFY(boxes[2].text.contains("cannot store"));
        QCOMPARE(t.vaultBytes(), QByteArray("\r\n"));
        QVERIFY(t.app->g.strMasterPassword.isEmpty());

        f->txtPass->setText("abcd");
        f->txtPass2->setText("abcd");
        QTest::keyClick(f->txtPass2, Qt::Key_Return);  // Enter acts as OK
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(t.app->g.strMasterPassword, QStringLiteral("abcd"));
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
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(boxes[i].text, QStringLiteral("Sorry, the password you entered was not correct."));
            QCOMPARE(boxes[i].caption, QStringLiteral("Incorrect Password"));
            QCOMPARE(boxes[i].buttons, MsgButtons::RetryCancel);
            QCOMPARE(boxes[i].icon, MsgIcon::None);
        }
        QCOMPARE(boxes[3].text, QStringLiteral("Only 3 tries allowed.  Click Ok to close."));
        QCOMPARE(boxes[3].caption, QStringLiteral("Tressik"));
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QVERIFY(!f->Timer1->isActive());
        QCOMPARE(f->intTries, 3);
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
        QCOMPARE(t.app->g.strMasterPassword, QStringLiteral("Secret"));
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
        QVERIFY(!f->Timer1->isActive());
    }

    void cancelButtonAndCloseBoxEndTheProgram() {
        {
            TestApp t;
            frmPass* f = open(t);
            f->cmdCancel->click();
            QCOMPARE(t.fakes.programEnd->calls, 1);
            QVERIFY(!f->Timer1->isActive());
        }
        {
            TestApp t;
            frmPass* f = open(t);
            f->close();
            QCOMPARE(t.fakes.programEnd->calls, 1);
            QVERIFY(!t.app->forms.isLoaded<frmPass>());
        }
        {
            // Once a password is accepted, its unload does not end the program.
            TestApp t;
            t.writeVault(vaultOf("Secret"));
            frmPass* f = open(t);
            f->txtPass->setText("Secret");
            f->cmdOK_Click();
            QCOMPARE(t.fakes.programEnd->calls, 0);
        }
    }

    void timerKeepsTheMainWindowHidden() {
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        frmPass* f = open(t);
        Form1* main = t.app->forms.get<Form1>();
        QVERIFY(f->Timer1->isActive());
        QCOMPARE(f->Timer1->interval(), 100);
        // The deadlines leave room for a busy machine; the interval is checked above.
        main->show();
        QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        // A modal box does not stop the timer.
        t.fakes.messageBox->answers = {MsgResult::Retry};
        t.fakes.messageBox->whileOpen = [&] {
            main->show();
            QTRY_VERIFY_WITH_TIMEOUT(!main->isVisible(), 10000);
        };
        f->txtPass->setText("wrong");
        f->cmdOK_Click();
        QVERIFY(!main->isVisible());
    }
};

QTEST_MAIN(tst_frmPass)
#include "tst_frmPass.moc"
