#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/TinyDisk.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "app/modGlobals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QSysInfo>
#include <QTest>

namespace {

// The box that turned the start away, checked to be the only one.
QString refusal(TestApp& t) {
    const auto& boxes = t.fakes.messageBox->shown;
    if (boxes.size() != 1) return QStringLiteral("%1 boxes shown").arg(boxes.size());
    if (t.fakes.programEnd->calls != 1) return QStringLiteral("the program did not end");
    if (t.app->forms.isLoaded<frmPass>()) return QStringLiteral("the password window opened");
    return boxes[0].text;
}

QString lockFailedText(const TestApp& t, const QString& why) {
    return QStringLiteral("Tressik cannot lock its vault file %1, so it cannot keep a second running copy from "
                          "saving at the same time.  Tressik will close; the vault file was not changed.\n\n"
                          "Cannot create \"%1.lock\": %2")
        .arg(t.vaultPath(), why);
}

}  // namespace

// Only a live copy holding the lock is another copy; any other lock trouble is
// told, and the program runs without the lock only where it cannot write.
class tst_VaultLock : public QObject {
    Q_OBJECT
private slots:
    // Every tmpfs went with its test, however the test ended.
    void cleanupTestCase() { QCOMPARE(TinyDisk::stillMounted(), QStringList{}); }

    // Who holds the lock, and what the start does about it: a live copy here
    // turns it away, a dead one here is taken over silently, and a copy on
    // another computer, which cannot be asked, is the user's call.
    void lockHolders_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<bool>("opens");
        QTest::newRow("a live copy here") << "live" << MsgResult::Ok << false;
        QTest::newRow("a dead copy here") << "dead" << MsgResult::Ok << true;
        QTest::newRow("another computer, No") << "elsewhere" << MsgResult::No << false;
        QTest::newRow("another computer, Return") << "elsewhere" << MsgResult::Ok << false;
        QTest::newRow("another computer, Yes") << "elsewhere" << MsgResult::Yes << true;
    }
    void lockHolders() {
        QFETCH(QString, holder);
        QFETCH(MsgResult, answer);
        QFETCH(bool, opens);
        TestApp t;
        t.writeVault(vaultOf("pw"));
        const QString lockPath = t.vaultPath() + ".lock";
        QLockFile live(lockPath);
        const QDateTime since(QDate(2026, 11, 30), QTime(18, 5, 7));
        QByteArray written;
        if (holder == "live") {
            QVERIFY(live.tryLock(0));
        } else {
            QFile lock(lockPath);
            QVERIFY(lock.open(QIODevice::WriteOnly));
            const QByteArray host = holder == "dead" ? QSysInfo::machineHostName().toUtf8() : "laptop-at-home";
            written = "999999\nTressik\n" + host + "\n";
            lock.write(written);
            lock.close();
            QVERIFY(lock.open(QIODevice::ReadWrite));
            QVERIFY(lock.setFileTime(since, QFileDevice::FileModificationTime));
        }
        // Anything but Yes is the box's default, as Return or Escape would give.
        if (answer != MsgResult::Ok) t.fakes.messageBox->answers = {answer};
        t.app->forms.load<Form1>();
        const auto& boxes = t.fakes.messageBox->shown;
        if (holder == "live") {
            QVERIFY(refusal(t).startsWith("Tressik is already running."));
        } else if (holder == "elsewhere") {
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].text,
                     QStringLiteral("The vault file %1 is in use by Tressik on the computer \"laptop-at-home\" since "
                                    "%2.\n\nIf Tressik is no longer running there (the folder was moved, or that "
                                    "computer stopped without closing it), you can open the vault here.  If it is "
                                    "still running there, changes made in both places will overwrite each other.\n\n"
                                    "Open the vault anyway?")
                         .arg(t.vaultPath(), since.toString(Qt::ISODate)));
            QCOMPARE(boxes[0].buttons, MsgButtons::YesNo);
            QCOMPARE(boxes[0].defaultButton, MsgResult::No);
        } else {
            QCOMPARE(boxes.size(), 0);
        }
        QCOMPARE(t.app->forms.isLoaded<frmPass>(), opens);
        QCOMPARE(t.fakes.programEnd->calls, opens ? 0 : 1);
        QCOMPARE(t.app->vaultLocked(), opens);
        if (opens) {
            // The lock now names this copy.
            qint64 pid = 0;
            QString host;
            QString application;
            QVERIFY(live.getLockInfo(&pid, &host, &application));
            QCOMPARE(pid, QCoreApplication::applicationPid());
            QCOMPARE(host, QSysInfo::machineHostName());
        } else if (holder == "elsewhere") {
            QFile lock(lockPath);
            QVERIFY(lock.open(QIODevice::ReadOnly));
            QCOMPARE(lock.readAll(), written);  // left to its holder
        }
        QCOMPARE(t.vaultBytes(), vaultOf("pw"));
    }

    void lockFileThatNamesNoProgramIsNotAnotherCopy_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("empty file") << false;
        QTest::newRow("folder") << true;
    }
    void lockFileThatNamesNoProgramIsNotAnotherCopy() {
        QFETCH(bool, folder);
        TestApp t;
        t.writeVault(vaultOf("pw"));
        const QString lockPath = t.vaultPath() + ".lock";
        if (folder) {
            QVERIFY(QDir(t.dir()).mkdir("data.enc.lock"));
        } else {
            QFile empty(lockPath);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        t.app->forms.load<Form1>();
        QCOMPARE(refusal(t), lockFailedText(t, "something is in its place that names no running program; if no "
                                               "other copy of Tressik is running, delete it"));
        QCOMPARE(t.fakes.messageBox->shown[0].icon, MsgIcon::Critical);
        QCOMPARE(t.vaultBytes(), vaultOf("pw"));
    }

    void fullDiskIsToldAndTheStartRefused() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        TestApp t;
        t.fakes.appInfo->dir = disk.path();
        t.writeVault(vaultOf("pw", {{"u", "p", "l"}}));
        disk.fill();
        t.app->forms.load<Form1>();
        QCOMPARE(refusal(t), lockFailedText(t, "No space left on device"));
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"u", "p", "l"}}));
        QVERIFY(!QFileInfo::exists(t.vaultPath() + ".lock"));
    }

    void readOnlyFolderRunsWithoutTheLockAndSavesNothing() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        const QByteArray original = vaultOf("pw", {{"u", "p", "l"}});
        {
            QFile f(disk.path() + "/data.enc");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(original);
        }
        QVERIFY(disk.remountReadOnly());
        TestApp t;
        t.fakes.appInfo->dir = disk.path();
        Form1* main = t.app->forms.load<Form1>();
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Tressik cannot write to its folder %1.\n\nYou can open the vault and "
                                               "copy from it, but this copy of the program saves no changes.  Make "
                                               "the folder writable and start Tressik again to make changes.")
                                    .arg(disk.path()));
        QVERIFY(!t.app->vaultLocked());
        frmPass* pass = t.app->forms.get<frmPass>();
        QVERIFY(pass);
        pass->txtPass->setText("pw");
        pass->cmdOK_Click();
        QCOMPARE(main->lstPass->items().count(), qsizetype{1});
        // Even once the folder can be written to, this copy writes nothing.
        QVERIFY(disk.remountReadWrite());
        main->lstPass->items().add("x", "y", "z");
        QVERIFY(!SaveData(*t.app));
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].text,
                 QStringLiteral("Your changes could not be saved.\n\nThis copy of Tressik started while its folder "
                                "could not be written to, so it runs without the lock that keeps a second copy from "
                                "saving at the same time, and it saves nothing.  Start Tressik again once the folder "
                                "is writable.\n\nThe vault file was left as it was; the list still shows your "
                                "changes."));
        QCOMPARE(t.vaultBytes(), original);
        QCOMPARE(main->lstPass->items().count(), qsizetype{2});
    }
};

QTEST_MAIN(tst_VaultLock)
#include "tst_VaultLock.moc"
