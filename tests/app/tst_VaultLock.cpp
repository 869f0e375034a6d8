#include "app/modGlobals.h"
#include "support/TinyDisk.h"
#include "support/Unlocked.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    // turns it away, a dead one here is taken over silently, and a copy that
    // this machine cannot look for (another host name, or this host name with
    // another machine id), is the user's call. In the lock, {host}, {id} and
    // {boot} stand for this machine's host name, machine id and boot id.
    void lockHolders_data() {
        QTest::addColumn<QByteArray>("lock");  // empty: a live copy holds it
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<QString>("asked");  // how the box names the holder; empty: no box
        QTest::addColumn<bool>("opens");
        const QString laptop = "the computer \"laptop-at-home\"";
        const QString namesake = "another computer that is also called \"" + QSysInfo::machineHostName() + "\"";
        QTest::newRow("a live copy here") << QByteArray() << MsgResult::Ok << QString() << false;
        QTest::newRow("a dead copy here")
            << QByteArray("999999\nTressik\n{host}\n") << MsgResult::Ok << QString() << true;
        QTest::newRow("a dead copy here, with its ids")
            << QByteArray("999999\nTressik\n{host}\n{id}\n{boot}\n") << MsgResult::Ok << QString() << true;
        QTest::newRow("another computer, No")
            << QByteArray("999999\nTressik\nlaptop-at-home\n") << MsgResult::No << laptop << false;
        QTest::newRow("another computer, Return")
            << QByteArray("999999\nTressik\nlaptop-at-home\n") << MsgResult::Ok << laptop << false;
        QTest::newRow("another computer, Yes")
            << QByteArray("999999\nTressik\nlaptop-at-home\n") << MsgResult::Yes << laptop << true;
        // Both left at their distribution's default host name: this one
        // cannot look for the other's process.
        QTest::newRow("this host name, another machine")
            << QByteArray("999999\nTressik\n{host}\n0123456789abcdef0123456789abcdef\n{boot}\n") << MsgResult::Ok
            << namesake << false;
        // A cloned virtual machine shares the machine id: its live lock is
        // not taken over for it.
        QTest::newRow("another host name, this machine id")
            << QByteArray("999999\nTressik\nclone-of-this\n{id}\nnot-this-boot\n") << MsgResult::Ok
            << "the computer \"clone-of-this\"" << false;
        // Gone while the box was open: Yes simply takes the lock.
        QTest::newRow("another computer, gone while asking")
            << QByteArray("999999\nTressik\nlaptop-at-home\n{gone}") << MsgResult::Yes << laptop << true;
    }
    void lockHolders() {
        QFETCH(QByteArray, lock);
        QFETCH(MsgResult, answer);
        QFETCH(QString, asked);
        QFETCH(bool, opens);
        TestApp t;
        t.writeVault(vaultOf("pw"));
        const QString lockPath = t.vaultPath() + ".lock";
        QLockFile live(lockPath);
        const QDateTime since(QDate(2026, 11, 30), QTime(18, 5, 7));
        const bool gone = lock.endsWith("{gone}");
        const QByteArray written = QByteArray(lock)
                                       .replace("{gone}", "")
                                       .replace("{host}", QSysInfo::machineHostName().toUtf8())
                                       .replace("{id}", QSysInfo::machineUniqueId())
                                       .replace("{boot}", QSysInfo::bootUniqueId());
        if (lock.isEmpty()) {
            QVERIFY(live.tryLock(0));
        } else {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(written);
            file.close();
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(since, QFileDevice::FileModificationTime));
        }
        if (gone) t.fakes.messageBox->whileOpen = [&] { QFile::remove(lockPath); };
        // Anything but Yes is the box's default, as Return or Escape would give.
        if (answer != MsgResult::Ok) t.fakes.messageBox->answers = {answer};
        t.app->forms.load<Form1>();
        const auto& boxes = t.fakes.messageBox->shown;
        if (lock.isEmpty()) {
            QVERIFY(refusal(t).startsWith("Tressik is already running."));
        } else if (!asked.isEmpty()) {
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0].text.contains(" on " + asked + " since " + since.toString(Qt::ISODate)),
                     qPrintable(boxes[0].text));
            QCOMPARE(boxes[0].buttons, MsgButtons::YesNo);
            QCOMPARE(boxes[0].defaultButton, MsgResult::No);
        } else {
            QCOMPARE(boxes.size(), 0);
        }
        QCOMPARE(t.app->forms.isLoaded<frmPass>(), opens);
        QCOMPARE(t.fakes.programEnd->calls, opens ? 0 : 1);
        QCOMPARE(t.app->vaultLocked(), opens);
        if (opens) {
            // The lock now names this copy, and only its owner can read it.
            qint64 pid = 0;
            QString host;
            QString application;
            QVERIFY(live.getLockInfo(&pid, &host, &application));
            QCOMPARE(pid, QCoreApplication::applicationPid());
            QCOMPARE(host, QSysInfo::machineHostName());
            QCOMPARE(QFile::permissions(lockPath) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        } else if (!lock.isEmpty()) {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), written);  // left to its holder
        }
        QCOMPARE(t.vaultBytes(), vaultOf("pw"));
    }

    // A lock file that names no one is told at once, and nothing waits for
    // it to say more; one held by a process here is a copy that has just made
    // it and not yet written its name in.
    void lockFileThatNamesNoProgram_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        const QString none = "names no running program";
        QTest::newRow("empty file") << "empty" << none;
        QTest::newRow("folder") << "folder" << none;
        QTest::newRow("garbage") << "garbage" << none;
        QTest::newRow("a number alone") << "number" << none;
        QTest::newRow("empty, being written") << "being written"
                                              << "Tressik is already running.";
    }
    void lockFileThatNamesNoProgram() {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        TestApp t;
        t.writeVault(vaultOf("pw"));
        const QString lockPath = t.vaultPath() + ".lock";
        int held = -1;
        if (kind == "folder") {
            QVERIFY(QDir(t.dir()).mkdir("data.enc.lock"));
        } else {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == "garbage") file.write("\x7f\x01 not a lock \xff\n\n\n\n");
            if (kind == "number") file.write("4242\n");
            file.close();
            if (kind == "being written") {
                held = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC);
                QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
            }
        }
        t.app->forms.load<Form1>();
        if (held >= 0) ::close(held);
        QVERIFY2(refusal(t).contains(told), qPrintable(refusal(t)));
        QVERIFY(QFileInfo::exists(lockPath));
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
