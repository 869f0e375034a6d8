#include "app/frmSplash.h"
#include "forms/Application.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>

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

// Stands in for the desktop's accessibility bridge: takes every key the
// window system sends before any window does, keeps what it would tell screen
// readers, and hands the key on later, as the bridge does once they answer.
struct FakeBridge : QObject {
    QStringList told;  // each key's text, key symbol and key code

    FakeBridge() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* target, QEvent* e) override {
        if (!e->spontaneous() || (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)) return false;
        const auto* k = static_cast<QKeyEvent*>(e);
        told << QStringLiteral("%1 %2 %3").arg(k->text()).arg(k->nativeVirtualKey(), 0, 16).arg(k->nativeScanCode());
        QCoreApplication::postEvent(
            target, new QKeyEvent(k->type(), k->key(), k->modifiers(), k->nativeScanCode(), k->nativeVirtualKey(),
                                  k->nativeModifiers(), k->text(), k->isAutoRepeat(), k->count()));
        return true;
    }
};

// Keys as a person presses them: characters, "<BS>" for Backspace and "<Ins>" /
// "</Ins>" for pressing and letting go of Insert, a screen reader's modifier.
void press(QWidget* box, const QString& keys) {
    static const QRegularExpression token(QStringLiteral("<BS>|<Ins>|</Ins>|."));
    for (auto it = token.globalMatch(keys); it.hasNext();) {
        const QString k = it.next().captured();
        if (k == QLatin1String("<BS>")) QTest::keyClick(box, Qt::Key_Backspace);
        else if (k == QLatin1String("<Ins>")) QTest::keyPress(box, Qt::Key_Insert);
        else if (k == QLatin1String("</Ins>")) QTest::keyRelease(box, Qt::Key_Insert);
        else QTest::keyClick(box, k.at(0).toLatin1());
    }
}

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

    // What a screen reader is told of each key typed into the password box,
    // and what the box holds; a box that shows its text for comparison.
    void keysReachScreenReadersMasked_data() {
        QTest::addColumn<bool>("bridge");
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("told");
        const QString mask = QStringLiteral("* 2a 0");
        const QString backspace = QStringLiteral("\b 0 0");
        QTest::newRow("no screen reader") << false << true << "Qz 7"
                                          << "Qz 7" << QStringList();
        QTest::newRow("each key as the mask") << true << true << "Qz 7"
                                              << "Qz 7" << QStringList(8, mask);
        QTest::newRow("in order with the keys between")
            << true << true << "ab<BS>c"
            << "ac" << (QStringList(4, mask) << backspace << backspace << mask << mask);
        QTest::newRow("screen reader's modifier held") << true << true << "a<Ins>h</Ins>"
                                                       << "ah"
                                                       << (QStringList(2, mask) << " 0 0"
                                                                                << "h 0 0"
                                                                                << "h 0 0"
                                                                                << " 0 0");
        QTest::newRow("a box that shows its text") << true << false << "ab"
                                                   << "ab" << QStringList{"a 0 0", "a 0 0", "b 0 0", "b 0 0"};
    }
    void keysReachScreenReadersMasked() {
        QFETCH(bool, bridge);
        QFETCH(bool, password);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(QStringList, told);
        TestApp t;
        frmPass* f = open(t);
        QTRY_VERIFY(f->isActiveWindow());
        f->txtPass->setEchoMode(password ? QLineEdit::Password : QLineEdit::Normal);
        std::optional<FakeBridge> reader;
        if (bridge) reader.emplace();
        press(f->txtPass, keys);
        QTRY_COMPARE(f->txtPass->text(), text);
        if (reader) QCOMPARE(reader->told, told);
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

// The program's own application object, which screens the keys.
int main(int argc, char* argv[]) {
    Application application(argc, argv);
    tst_frmPassKeyboard test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frmPassKeyboard.moc"
