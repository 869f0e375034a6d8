#include "vault/VaultFile.h"

#include "platform/DurableFile.h"
#include "support/TinyDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

int mode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 0777);
}

QStringList leftovers(const QString& folder, const QString& keep) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(keep);
    return names;
}

// Saves size bytes over path in a child process whose files are capped at
// cap bytes; returns its report, one line each: saved or failed, replaced or
// kept, the error text.
QList<QByteArray> cappedSave(const QString& path, int cap, int size) {
    QProcess writer;
    writer.start(QStringLiteral(VAULT_CAPPED_WRITER), {path, QString::number(cap), QString::number(size)});
    if (!writer.waitForFinished(60000) || writer.exitStatus() != QProcess::NormalExit)
        return {"the writer did not finish: " + writer.errorString().toLocal8Bit()};
    if (writer.exitCode() == 2) return {"the writer could not cap its file size"};
    return writer.readAllStandardOutput().split('\n');
}

}  // namespace

class tst_VaultFile : public QObject {
    Q_OBJECT
private slots:
    // Every tmpfs went with its test, however the test ended.
    void cleanupTestCase() { QCOMPARE(TinyDisk::stillMounted(), QStringList{}); }

    void ensureCreatesOneEmptyLineOnlyWhenMissing() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("data.enc"));
        QVERIFY(VaultFile::EnsureDataFile(path).ok);
        QCOMPARE(contents(path), QByteArray("\r\n"));
        put(path, "keep me");
        QVERIFY(VaultFile::EnsureDataFile(path).ok);
        QCOMPARE(contents(path), QByteArray("keep me"));

        // A link whose target has gone (the stick pulled out while the
        // program ran) is neither made anew nor saved over.
        const QString link = dir.filePath("link.enc");
        const QString stick = dir.filePath("stick/data.enc");
        QVERIFY(QFile::link(stick, link));
        QVERIFY(VaultFile::EnsureDataFile(link).ok);
        const VaultFile::Result save = VaultFile::writeAtomic(link, "entries");
        QVERIFY(!save.ok && !save.replaced);
        QVERIFY2(save.error.contains("it is a link to \"" + stick + "\", which does not exist"),
                 qPrintable(save.error));
        QCOMPARE(QFileInfo(link).symLinkTarget(), stick);
        QCOMPARE(leftovers(dir.path(), "data.enc"), QStringList{"link.enc"});
    }

    // However large a file says it is, or grows while it is read, no more
    // than the limit is read or kept.
    void readStopsAtItsLimit() {
        QTemporaryDir dir;
        const QString path = dir.filePath("file");
        QByteArray bytes = "untouched";
        put(path, QByteArray(16, 'a'));
        QCOMPARE(DurableFile::readPlain(path, &bytes, 16).kind, DurableFile::ReadKind::Plain);
        QCOMPARE(bytes, QByteArray(16, 'a'));
        put(path, QByteArray(17, 'b'));
        bytes = "untouched";
        DurableFile::ReadResult r = DurableFile::readPlain(path, &bytes, 16);
        QCOMPARE(r.kind, DurableFile::ReadKind::TooLarge);
        QCOMPARE(r.size, qint64{17});
        QCOMPARE(bytes, QByteArray("untouched"));
        // Small when looked at, large by the time it is read.
        put(path, "small");
        DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::Read) {
                QFile f(path);
                if (f.open(QIODevice::Append)) f.write(QByteArray(4096, 'c'));
            }
            return 0;
        });
        r = DurableFile::readPlain(path, &bytes, 100);
        DurableFile::setFaultHook({});
        QCOMPARE(r.kind, DurableFile::ReadKind::TooLarge);
        QCOMPARE(r.size, qint64{101});
        QCOMPARE(bytes, QByteArray("untouched"));
    }

    void newFilesAreOwnerOnlyWhateverTheUmask() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        // Whatever receives vault bytes is owner-only before the first of them.
        QStringList seen;
        DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::Write)
                for (const QString& name : leftovers(dir.path(), "data.enc"))
                    seen << QStringLiteral("%1 %2").arg(name).arg(mode(dir.filePath(name)), 0, 8);
            return 0;
        });
        const mode_t old = ::umask(0);
        const bool ok = VaultFile::writeAtomic(path, "secret").ok;
        ::umask(old);
        QVERIFY(ok);
        QCOMPARE(mode(path), 0600);
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].endsWith(" 600"), qPrintable(seen[0]));
        seen.clear();
        QString keptAs;
        ::umask(0);
        QVERIFY(VaultFile::backup(path, &keptAs).ok);
        ::umask(old);
        DurableFile::setFaultHook({});
        QCOMPARE(keptAs, path + ".bak");
        QCOMPARE(mode(keptAs), 0600);
        QCOMPARE(seen, QStringList{"data.enc.bak 600"});
    }

    // A name taken between the search for a free one and the creation, by a
    // file or by a link planted to catch the bytes, is passed over.
    void backupNameTakenAtTheLastMomentIsPassedOver() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "vault");
        const QString elsewhere = dir.filePath("elsewhere");
        int opens = 0;
        DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::Open && ++opens == 1) QFile::link(elsewhere, path + ".bak");
            if (op == DurableFile::Op::Open && opens == 2) put(path + ".bak.1", "someone else's");
            return 0;
        });
        QString keptAs;
        const bool ok = VaultFile::backup(path, &keptAs).ok;
        DurableFile::setFaultHook({});
        QVERIFY(ok);
        QCOMPARE(keptAs, path + ".bak.2");
        QCOMPARE(contents(keptAs), QByteArray("vault"));
        QVERIFY(!QFileInfo::exists(elsewhere));
        QCOMPARE(contents(path + ".bak.1"), QByteArray("someone else's"));
    }

    void backupNeverReplacesAnEarlierOne() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "third");
        put(path + ".bak", "first");
        put(path + ".bak.1", "second");
        QVERIFY(::chmod(QFile::encodeName(path + ".bak").constData(), 0644) == 0);
        // A dangling link takes its name too: writing through it would create a file elsewhere.
        QVERIFY(QFile::link(dir.path() + "/nowhere", path + ".bak.2"));
        const mode_t old = ::umask(0);
        QString keptAs;
        const bool ok = VaultFile::backup(path, &keptAs).ok;
        ::umask(old);
        QVERIFY(ok);
        QCOMPARE(keptAs, path + ".bak.3");
        QCOMPARE(contents(keptAs), QByteArray("third"));
        QCOMPARE(mode(keptAs), 0600);
        QCOMPARE(contents(path + ".bak"), QByteArray("first"));
        QCOMPARE(contents(path + ".bak.1"), QByteArray("second"));
        QVERIFY(!QFileInfo::exists(dir.path() + "/nowhere"));
    }

    void backupRefusesWhenEveryNameIsTaken() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "vault");
        put(path + ".bak", "kept");
        for (int n = 1; n <= 999; ++n) put(path + ".bak." + QString::number(n), "kept");
        QString keptAs;
        const VaultFile::Result r = VaultFile::backup(path, &keptAs);
        QVERIFY(!r.ok);
        QVERIFY(keptAs.isEmpty());
        QCOMPARE(r.error, QStringLiteral("Cannot keep a copy of \"%1\": %1.bak and %1.bak.1 to %1.bak.999 are all "
                                         "taken; move some of them away")
                              .arg(path));
        QCOMPARE(contents(path + ".bak.999"), QByteArray("kept"));
        QVERIFY(!QFileInfo::exists(path + ".bak.1000"));
    }

    // A read-back that differs is found after the old file is gone.
    void readBackThatDiffersSaysTheFileWasReplaced() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "old");
        // A disk that gives back other bytes than it was given.
        DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::ReadOpen) put(path, "garbled");
            return 0;
        });
        const VaultFile::Result r = VaultFile::writeAtomic(path, "new");
        DurableFile::setFaultHook({});
        QVERIFY(!r.ok);
        QVERIFY(r.replaced);
        QVERIFY(r.differs);
        QVERIFY(r.error.startsWith("Cannot verify"));
        // The next write goes through.
        QVERIFY(VaultFile::writeAtomic(path, "newer").ok);
        QCOMPARE(contents(path), QByteArray("newer"));
    }

    // Reading one of these would block or never end.
    void readRefusesWhatIsNotAPlainFile() {
        QTemporaryDir dir;
        const QString fifo = dir.path() + "/fifo";
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString device = dir.path() + "/device";
        QVERIFY(QFile::link("/dev/zero", device));
        const QString socketPath = dir.path() + "/socket";
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(sock >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(socketPath);
        QVERIFY(static_cast<size_t>(name.size()) < sizeof(address.sun_path));
        std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        QVERIFY(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0);
        for (const QString& path : {fifo, device, socketPath}) {
            QByteArray bytes = "untouched";
            const VaultFile::Result r = VaultFile::read(path, &bytes);
            QVERIFY(!r.ok);
            QVERIFY(r.error.contains(path) && r.error.contains("named pipe"));
            QCOMPARE(bytes, QByteArray("untouched"));
            QVERIFY(VaultFile::EnsureDataFile(path).ok);  // present: left for the reader to refuse
        }
        ::close(sock);
        QByteArray bytes;
        QVERIFY(VaultFile::read(dir.path(), &bytes).error.endsWith("it is a folder, not a file"));

        // Swapped in after a look at the file and before the read: what is
        // opened is what is checked, so the read cannot block.
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "plain");
        DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::ReadOpen) {
                QFile::remove(path);
                ::mkfifo(QFile::encodeName(path).constData(), 0600);
            }
            return 0;
        });
        const VaultFile::Result swapped = VaultFile::read(path, &bytes);
        DurableFile::setFaultHook({});
        QVERIFY(!swapped.ok);
        QVERIFY(swapped.error.endsWith("it is a named pipe, a socket or a device, not a plain file"));
    }

    void replacingKeepsTheFilesPermissions() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "old");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        QVERIFY(VaultFile::writeAtomic(path, "new").ok);
        QCOMPARE(contents(path), QByteArray("new"));
        QCOMPARE(mode(path), 0640);
        QCOMPARE(leftovers(dir.path(), "data.enc"), QStringList{});
    }

    void fullDiskLeavesTheOldVault() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        const QString path = VaultFile::vaultPath(disk.path());
        const QByteArray old(20000, 'o');
        QVERIFY(VaultFile::writeAtomic(path, old).ok);
        for (const int size : {60000, 200000, 5000000}) {
            const VaultFile::Result r = VaultFile::writeAtomic(path, QByteArray(size, 'n'));
            QVERIFY2(!r.ok, "a save that did not fit was reported as done");
            QVERIFY(!r.error.isEmpty());
            QVERIFY(!r.replaced);
            QCOMPARE(contents(path), old);
            QCOMPARE(leftovers(disk.path(), "data.enc"), QStringList{});
        }
        // And it still works once it fits.
        QVERIFY(VaultFile::writeAtomic(path, "small").ok);
        QCOMPARE(contents(path), QByteArray("small"));
    }

    // The same guard on every machine, root or not: a cap on the size of the
    // files a process writes cuts the write short as a full disk does.
    void cappedFileLeavesTheOldVault() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        const QByteArray old(20000, 'o');
        QVERIFY(VaultFile::writeAtomic(path, old).ok);
        // Cut short in one large write, or in the flush of a buffered one.
        const std::pair<int, int> tooBig[] = {{65536, 65537}, {65536, 200000}, {65536, 5000000}, {1000, 1001}};
        for (const auto& [cap, size] : tooBig) {
            const QList<QByteArray> said = cappedSave(path, cap, size);
            QCOMPARE(said.value(0), QByteArray("failed"));
            QCOMPARE(said.value(1), QByteArray("kept"));
            QVERIFY(said.value(2).contains("data.enc"));
            QCOMPARE(contents(path), old);
            QCOMPARE(leftovers(dir.path(), "data.enc"), QStringList{});
        }
        // Under the cap the same save goes through.
        QCOMPARE(cappedSave(path, 65536, 60000).value(0), QByteArray("saved"));
        QCOMPARE(contents(path), QByteArray(60000, 'n'));
    }

    void readOnlyFolderIsReported() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        const QString path = VaultFile::vaultPath(disk.path());
        QVERIFY(VaultFile::writeAtomic(path, "old").ok);
        QVERIFY(disk.remountReadOnly());
        const VaultFile::Result r = VaultFile::writeAtomic(path, "new");
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains("data.enc"));
        QCOMPARE(contents(path), QByteArray("old"));
        QVERIFY(VaultFile::EnsureDataFile(path).ok);  // present: nothing to write
        QVERIFY(!VaultFile::EnsureDataFile(disk.path() + "/other.enc").ok);
    }

    void readReportsMissingFile() {
        QTemporaryDir dir;
        QByteArray bytes;
        const VaultFile::Result r = VaultFile::read(VaultFile::vaultPath(dir.path()), &bytes);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains("data.enc"));
    }

    // A save killed before its rename leaves its new file; only such files go.
    void leftoversOfAKilledSaveAreRemovedAndNothingElse() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        put(path, "old vault");
        QProcess writer;
        writer.start(QStringLiteral(VAULT_WRITER), {path, "die-before-rename"});
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitCode(), 9);
        QCOMPARE(contents(path), QByteArray("old vault"));
        const QStringList left = leftovers(dir.path(), "data.enc");
        QCOMPARE(left.size(), 1);
        QCOMPARE(contents(dir.filePath(left.front())), QByteArray(500000, 'B'));

        const QStringList theirs = {"data.enc.bak",
                                    "data.enc.old",
                                    "data.enc.saving-notours",
                                    "data.enc.saving-0123",
                                    "data.enc.saving-0123456789abcdef.txt",
                                    "other.saving-0123456789abcdef"};
        for (const QString& name : theirs) put(dir.filePath(name), "keep");
        QVERIFY(QDir(dir.path()).mkdir("data.enc.saving-00000000000000aa"));
        QVERIFY(QFile::link(dir.filePath("data.enc.bak"), dir.filePath("data.enc.saving-00000000000000bb")));
        QCOMPARE(VaultFile::removeLeftovers(path), 1);
        QStringList after = leftovers(dir.path(), "data.enc");
        after.sort();
        QStringList expected = theirs + QStringList{"data.enc.saving-00000000000000bb"};
        expected.sort();
        QCOMPARE(after, expected);
        QVERIFY(QFileInfo(dir.filePath("data.enc.saving-00000000000000aa")).isDir());
        QCOMPARE(contents(path), QByteArray("old vault"));
    }

    void killedWriterLeavesOldOrNew() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        const QByteArray a(300000, 'A');
        const QByteArray b(500000, 'B');
        QVERIFY(VaultFile::writeAtomic(path, a).ok);
        QRandomGenerator rng(42);
        for (int round = 0; round < 25; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(VAULT_WRITER), {path});
            QVERIFY(writer.waitForStarted());
            QVERIFY(writer.waitForReadyRead(10000));
            QTest::qSleep(static_cast<int>(rng.bounded(1, 40)));  // a random moment of the saves to kill at
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            const QByteArray now = contents(path);
            QVERIFY2(now == a || now == b, qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
        }
    }
};

QTEST_GUILESS_MAIN(tst_VaultFile)
#include "tst_VaultFile.moc"
