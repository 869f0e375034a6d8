#include "platform/DurableFile.h"
#include "session/VaultSession.h"
#include "support/TinyDisk.h"
#include "support/Unlocked.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    // this machine cannot look for (another host name, this host name with
    // another machine id, or without both ids) is the user's call. Taking it
    // over takes only the lock the user was asked about: one that changed
    // while the box was open is asked or told about again. In the lock,
    // {host}, {id} and {boot} stand for this machine's host name, machine id
    // and boot id; {held}: a process here holds the file.
    void lockHolders_data() {
        QTest::addColumn<QByteArray>("lock");  // empty: a live copy holds it
        // What the lock becomes while the first box is open: {gone}, {live}
        // (a live copy here takes it), or what is written in its place.
        QTest::addColumn<QByteArray>("meanwhile");
        QTest::addColumn<QList<MsgResult>>("answers");  // then the default
        // How each box names the holder; "running": the box that turns the start away.
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("opens");
        const QString laptop = "the computer \"laptop-at-home\"";
        const QString office = "the computer \"office-pc\"";
        const QString namesake = "another computer that is also called \"" + QSysInfo::machineHostName() + "\"";
        const QString unsure = "a computer called \"" + QSysInfo::machineHostName() + "\"";
        const QByteArray atHome("999999\nTressik\nlaptop-at-home\n");
        using Answers = QList<MsgResult>;
        const MsgResult yes = MsgResult::Yes;
        const MsgResult no = MsgResult::No;
        QTest::newRow("a live copy here")
            << QByteArray() << QByteArray() << Answers{} << QStringList{"running"} << false;
        QTest::newRow("a dead copy here, with its ids") << QByteArray("999999\nTressik\n{host}\n{id}\n{boot}\n")
                                                        << QByteArray() << Answers{} << QStringList{} << true;
        // Without a machine id the host name may be another machine's, whose
        // process this one cannot look for.
        QTest::newRow("this host name, no machine id")
            << QByteArray("999999\nTressik\n{host}\n") << QByteArray() << Answers{} << QStringList{unsure} << false;
        QTest::newRow("this host name, no machine id, Yes")
            << QByteArray("999999\nTressik\n{host}\n") << QByteArray() << Answers{yes} << QStringList{unsure} << true;
        QTest::newRow("this host name, no machine id, held here")
            << QByteArray("999999\nTressik\n{host}\n{held}") << QByteArray() << Answers{} << QStringList{"running"}
            << false;
        QTest::newRow("another computer, No") << atHome << QByteArray() << Answers{no} << QStringList{laptop} << false;
        QTest::newRow("another computer, Return")
            << atHome << QByteArray() << Answers{} << QStringList{laptop} << false;
        QTest::newRow("another computer, Yes") << atHome << QByteArray() << Answers{yes} << QStringList{laptop} << true;
        // Both left at their distribution's default host name: this one
        // cannot look for the other's process.
        QTest::newRow("this host name, another machine")
            << QByteArray("999999\nTressik\n{host}\n0123456789abcdef0123456789abcdef\n{boot}\n") << QByteArray()
            << Answers{} << QStringList{namesake} << false;
        // A cloned virtual machine shares the machine id: its live lock is
        // not taken over for it.
        QTest::newRow("another host name, this machine id")
            << QByteArray("999999\nTressik\nclone-of-this\n{id}\nnot-this-boot\n") << QByteArray() << Answers{}
            << QStringList{"the computer \"clone-of-this\""} << false;
        // Gone while the box was open: Yes simply takes the lock.
        QTest::newRow("another computer, gone while asking")
            << atHome << QByteArray("{gone}") << Answers{yes} << QStringList{laptop} << true;
        QTest::newRow("another computer, replaced while asking, then No")
            << atHome << QByteArray("999999\nTressik\noffice-pc\n") << Answers{yes, no} << QStringList{laptop, office}
            << false;
        QTest::newRow("another computer, replaced while asking, then Yes")
            << atHome << QByteArray("999999\nTressik\noffice-pc\n") << Answers{yes, yes} << QStringList{laptop, office}
            << true;
        // The same words, but not the file the user was asked about.
        QTest::newRow("another computer, written again alike while asking")
            << atHome << atHome << Answers{yes, no} << QStringList{laptop, laptop} << false;
        QTest::newRow("another computer, taken by a copy here while asking")
            << atHome << QByteArray("{live}") << Answers{yes} << QStringList{laptop, "running"} << false;
    }
    void lockHolders() {
        QFETCH(QByteArray, lock);
        QFETCH(QByteArray, meanwhile);
        QFETCH(QList<MsgResult>, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, opens);
        // Whatever the umask, the lock is owner-only from the start.
        const mode_t umaskBefore = ::umask(0);
        const auto restoreUmask = qScopeGuard([&] { ::umask(umaskBefore); });
        TestApp t;
        t.writeVault(vaultOf("pw"));
        const QString lockPath = t.vaultPath() + ".lock";
        QLockFile live(lockPath);
        const QDateTime since(QDate(2026, 11, 30), QTime(18, 5, 7));
        const auto filled = [](QByteArray bytes) {
            return bytes.replace("{held}", "")
                .replace("{host}", QSysInfo::machineHostName().toUtf8())
                .replace("{id}", QSysInfo::machineUniqueId())
                .replace("{boot}", QSysInfo::bootUniqueId());
        };
        const QByteArray written = filled(lock);
        const auto write = [&](const QByteArray& bytes) {
            QFile::remove(lockPath);
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        int held = -1;
        const auto release = qScopeGuard([&] {
            if (held >= 0) ::close(held);
        });
        if (lock.isEmpty()) {
            QVERIFY(live.tryLock(0));
        } else {
            write(written);
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(since, QFileDevice::FileModificationTime));
            if (lock.endsWith("{held}")) {
                held = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
                QVERIFY(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
            }
        }
        bool changed = false;
        if (!meanwhile.isEmpty()) {
            t.fakes.messageBox->whileOpen = [&] {
                if (std::exchange(changed, true)) return;  // the first box only
                if (meanwhile == "{gone}") {
                    QFile::remove(lockPath);
                } else if (meanwhile == "{live}") {
                    QFile::remove(lockPath);
                    QVERIFY(live.tryLock(0));
                } else {
                    write(meanwhile);
                }
            };
        }
        // Anything but Yes is the box's default, as Return or Escape would give.
        t.fakes.messageBox->answers.assign(answers.begin(), answers.end());
        t.app->forms.load<Form1>();
        const auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), asked.size());
        for (qsizetype i = 0; i < asked.size(); ++i) {
            if (asked[i] == "running") {
                QVERIFY2(boxes[i].text.startsWith("Tressik is already running."), qPrintable(boxes[i].text));
                continue;
            }
            // Only the first lock's time is known here.
            const QString when = i == 0 ? " since " + since.toString(Qt::ISODate) : " since ";
            QVERIFY2(boxes[i].text.contains(" on " + asked[i] + when), qPrintable(boxes[i].text));
            QCOMPARE(boxes[i].buttons, MsgButtons::YesNo);
            QCOMPARE(boxes[i].defaultButton, MsgResult::No);
        }
        QCOMPARE(t.app->forms.isLoaded<frmPass>(), opens);
        QCOMPARE(t.fakes.programEnd->calls, opens ? 0 : 1);
        QCOMPARE(t.app->vault.vaultLocked(), opens);
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
        } else if (!lock.isEmpty() && meanwhile != "{live}") {
            QFile file(lockPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), meanwhile.isEmpty() ? written : meanwhile);  // left to its holder
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

    // Two folders whose vault links lead to one file (a stick shared by two
    // copies of the program), or a link beside the file's own folder: one
    // lock guards the file, so a second start is turned away, even while the
    // first one's save is between its write and its rename, and that save
    // completes.
    void linkedFoldersShareTheLock_data() {
        QTest::addColumn<bool>("firstLinked");  // else the first copy runs in the vault's own folder
        QTest::newRow("two links to one vault") << true;
        QTest::newRow("a link, and the vault's own folder") << false;
    }
    void linkedFoldersShareTheLock() {
        QFETCH(bool, firstLinked);
        QTemporaryDir stick;
        const QString vault = stick.filePath("data.enc");
        {
            QFile f(vault);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(vaultOf("pw", {{"u", "p", "l"}}));
        }
        TestApp first;
        TestApp second;
        if (firstLinked) QVERIFY(QFile::link(vault, first.vaultPath()));
        else first.fakes.appInfo->dir = stick.path();
        QVERIFY(QFile::link(vault, second.vaultPath()));
        Form1* main = unlock(first, "pw");
        QVERIFY(first.app->vault.vaultLocked());
        QVERIFY(QFileInfo::exists(vault + ".lock"));
        QVERIFY(!QFileInfo::exists(second.vaultPath() + ".lock"));
        first.fakes.messageBox->shown.clear();

        QStringList inFlight;
        bool started = false;
        const auto previous = DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::Rename && !started) {
                started = true;
                second.app->forms.load<Form1>();
                inFlight = QDir(stick.path()).entryList({"data.enc.saving-*"}, QDir::Files | QDir::Hidden);
            }
            return 0;
        });
        const auto unhook = qScopeGuard([&] { DurableFile::setFaultHook(previous); });
        main->lstPass->items().add("x", "y", "z");
        const bool saved = first.app->vault.SaveData();
        QVERIFY(started);
        QVERIFY2(refusal(second).startsWith("Tressik is already running."), qPrintable(refusal(second)));
        QCOMPARE(inFlight.size(), 1);  // the second start left the first one's save alone
        QVERIFY(saved);
        QVERIFY(first.fakes.messageBox->shown.isEmpty());
        QFile f(vault);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), vaultOf("pw", {{"u", "p", "l"}, {"x", "y", "z"}}));
        QVERIFY(QFileInfo(second.vaultPath()).isSymLink());
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
        QVERIFY(!t.app->vault.vaultLocked());
        QCOMPARE(status(t), QStringLiteral("Loaded 1 entries"));
        // Even once the folder can be written to, this copy writes nothing.
        QVERIFY(disk.remountReadWrite());
        main->lstPass->items().add("x", "y", "z");
        QVERIFY(!t.app->vault.SaveData());
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[1].text.startsWith("Your changes could not be saved"));
        QCOMPARE(t.vaultBytes(), original);
        QCOMPARE(main->lstPass->items().count(), qsizetype{2});
    }
};

QTEST_MAIN(tst_VaultLock)
#include "tst_VaultLock.moc"
