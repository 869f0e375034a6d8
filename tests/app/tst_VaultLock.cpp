#include "app/modGlobals.h"
#include "support/TinyDisk.h"
#include "support/Unlocked.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
            QVERIFY(boxes[0].text.contains("\"laptop-at-home\" since " + since.toString(Qt::ISODate)));
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
        QVERIFY2(refusal(t).contains("names no running program"), qPrintable(refusal(t)));
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
        QVERIFY2(refusal(t).contains("No space left on device"), qPrintable(refusal(t)));
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"u", "p", "l"}}));
        QVERIFY(!QFileInfo::exists(t.vaultPath() + ".lock"));
    }

    void readOnlyFolderRunsWithoutTheLockAndSavesNothing() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        TestApp t;
        t.fakes.appInfo->dir = disk.path();
        const QByteArray original = vaultOf("pw", {{"u", "p", "l"}});
        t.writeVault(original);
        QVERIFY(disk.remountReadOnly());
        Form1* main = unlock(t, "pw");
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);  // told at start
        QVERIFY(boxes[0].text.contains("cannot write to its folder"));
        QVERIFY(!t.app->vaultLocked());
        QCOMPARE(status(t), QStringLiteral("Loaded 1 entries"));
        // Even once the folder can be written to, this copy writes nothing.
        QVERIFY(disk.remountReadWrite());
        main->lstPass->items().add("x", "y", "z");
        QVERIFY(!SaveData(*t.app));
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[1].text.startsWith("Your changes could not be saved"));
        QCOMPARE(t.vaultBytes(), original);
        QCOMPARE(main->lstPass->items().count(), qsizetype{2});
    }
};

QTEST_MAIN(tst_VaultLock)
#include "tst_VaultLock.moc"
