#include "app/frmSplash.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

frmPass* open(TestApp& t) {
    t.app->forms.load<Form1>();
    return t.app->forms.get<frmPass>();
}

// Waits until the password window's timer has ticked n more times; the
// deadline leaves room for a busy machine.
bool ticks(frmPass* f, int n) {
    QSignalSpy spy(f->Timer1, &QTimer::timeout);
    return QTest::qWaitFor([&] { return spy.count() >= n; }, 30000);
}

// A window of "another program".
struct OtherWindow : QWidget {
    OtherWindow() {
        setWindowTitle("other");
        resize(200, 100);
        show();
        activateWindow();
    }
};

}  // namespace

// The password window may take the keyboard when it opens, never later by itself.
class tst_frmPassKeyboard : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheKeyboard() {
        TestApp t;
        frmPass* f = open(t);
        QTRY_VERIFY(f->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), f->txtPass);
    }

    // Another window keeps the keyboard, and gets what is typed; back in the
    // password window, the field the user left has the focus again.
    void anotherWindowKeepsTheKeyboard() {
        TestApp t;
        frmPass* f = open(t);  // first use: two fields
        QTRY_VERIFY(f->isActiveWindow());
        f->txtPass2->setFocus();
        {
            OtherWindow other;
            QTRY_VERIFY(other.isActiveWindow());
            QVERIFY(ticks(f, 10));
            QVERIFY(other.isActiveWindow());
            QVERIFY(onTop(f));  // topmost is about stacking only
            auto* box = new QLineEdit(&other);
            box->show();
            box->setFocus();
            QTest::keyClicks(QApplication::focusWidget(), "hello");
            QCOMPARE(box->text(), QStringLiteral("hello"));
            QVERIFY(f->txtPass->text().isEmpty() && f->txtPass2->text().isEmpty());
        }
        f->activateWindow();  // the user comes back
        QTRY_VERIFY(f->isActiveWindow());
        QVERIFY(ticks(f, 5));
        QCOMPARE(QApplication::focusWidget(), f->txtPass2);
    }

    void ownMessageBoxKeepsTheKeyboard() {
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        frmPass* f = open(t);
        QTRY_VERIFY(f->isActiveWindow());
        bool boxKeptIt = false;
        t.fakes.messageBox->answers = {MsgResult::Retry};
        t.fakes.messageBox->whileOpen = [&] {
            QDialog box(f);
            box.show();
            box.activateWindow();
            if (!QTest::qWaitFor([&] { return box.isActiveWindow(); }, 5000)) return;
            boxKeptIt = ticks(f, 5) && box.isActiveWindow();
        };
        f->txtPass->setText("wrong");
        f->cmdOK_Click();
        QVERIFY(boxKeptIt);
        QVERIFY(onTop(f));
    }

    void keyboardComesBackOnceAfterTheSplashShowsTheMainWindow() {
        TestApp t;
        t.writeVault(vaultOf("Secret"));
        t.app->forms.show<frmSplash>();
        QTRY_VERIFY(t.app->forms.isLoaded<frmPass>());
        frmPass* f = t.app->forms.get<frmPass>();
        Form1* main = t.app->forms.get<Form1>();
        // The splash showed the main window over the password window; it is
        // hidden again and the password window has the keyboard back.
        QTRY_VERIFY(!main->isVisible());
        QTRY_VERIFY(f->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), f->txtPass);
        // Only that once.
        OtherWindow other;
        QTRY_VERIFY(other.isActiveWindow());
        QVERIFY(ticks(f, 10));
        QVERIFY(other.isActiveWindow());
    }

    // The boxes take text of any length, typed, set or pasted.
    void longMasterPasswordThroughFirstUseAndUnlock() {
        const QString longPassword = QString(40000, QLatin1Char('k')) + QStringLiteral("end");
        {
            TestApp t;
            frmPass* f = open(t);
            QApplication::clipboard()->setText(longPassword);
            f->txtPass->paste();
            f->txtPass2->setText(longPassword);
            QCOMPARE(f->txtPass->text().size(), longPassword.size());
            f->cmdOK_Click();
            QCOMPARE(t.fakes.messageBox->shown.size(), 0);
            QCOMPARE(t.vaultBytes(), VaultCodec::ScrambleText(longPassword.toLatin1()) + "\r\n");
        }
        {
            TestApp t;
            t.writeVault(VaultCodec::ScrambleText(longPassword.toLatin1()) + "\r\n\r\n");
            frmPass* f = open(t);
            QApplication::clipboard()->setText(longPassword);
            f->txtPass->paste();
            f->cmdOK_Click();
            QCOMPARE(t.fakes.messageBox->shown.size(), 0);
            QVERIFY(!t.app->forms.isLoaded<frmPass>());
        }
    }
};

QTEST_MAIN(tst_frmPassKeyboard)
#include "tst_frmPassKeyboard.moc"
