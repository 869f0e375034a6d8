#include "vault/VaultFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A small tmpfs of our own, for a full disk or a read-only folder.
class TinyDisk {
public:
    explicit TinyDisk(const QString& options) {
        if (!dir_.isValid()) return;
        mounted_ = run("mount", {"-t", "tmpfs", "-o", options, "tressik-test", dir_.path()});
    }
    ~TinyDisk() {
        if (mounted_) run("umount", {dir_.path()});
    }
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    bool remountReadOnly() { return run("mount", {"-o", "remount,ro", dir_.path()}); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

QStringList leftovers(const QString& folder, const QString& keep) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(keep);
    return names;
}

}  // namespace

class tst_VaultFile : public QObject {
    Q_OBJECT
private slots:
    void ensureCreatesOneEmptyLineOnlyWhenMissing() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("data.enc"));
        QVERIFY(VaultFile::EnsureDataFile(path).ok);
        QCOMPARE(contents(path), QByteArray("\r\n"));
        put(path, "keep me");
        QVERIFY(VaultFile::EnsureDataFile(path).ok);
        QCOMPARE(contents(path), QByteArray("keep me"));
    }

    void ensureReportsAFolderInTheWay() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        QVERIFY(QDir(dir.path()).mkdir("data.enc"));
        const VaultFile::Result r = VaultFile::EnsureDataFile(path);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains("data.enc"));
    }

    void newFilesAreOwnerOnlyWhateverTheUmask() {
        QTemporaryDir dir;
        const QString path = VaultFile::vaultPath(dir.path());
        const mode_t old = ::umask(0);
        const bool ok = VaultFile::writeAtomic(path, "secret").ok;
        ::umask(old);
        QVERIFY(ok);
        QCOMPARE(mode(path), 0600);
        QVERIFY(VaultFile::backup(path, path + ".bak").ok);
        QCOMPARE(mode(path + ".bak"), 0600);
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
        if (!disk.mounted()) QSKIP("cannot mount a tmpfs here");
        const QString path = VaultFile::vaultPath(disk.path());
        const QByteArray old(20000, 'o');
        QVERIFY(VaultFile::writeAtomic(path, old).ok);
        for (const int size : {60000, 200000, 5000000}) {
            const VaultFile::Result r = VaultFile::writeAtomic(path, QByteArray(size, 'n'));
            QVERIFY2(!r.ok, "a save that did not fit was reported as done");
            QVERIFY(!r.error.isEmpty());
            QCOMPARE(contents(path), old);
            QCOMPARE(leftovers(disk.path(), "data.enc"), QStringList{});
        }
        // And it still works once it fits.
        QVERIFY(VaultFile::writeAtomic(path, "small").ok);
        QCOMPARE(contents(path), QByteArray("small"));
    }

    void readOnlyFolderIsReported() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP("cannot mount a tmpfs here");
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
            QTest::qSleep(static_cast<int>(rng.bounded(1, 40)));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            const QByteArray now = contents(path);
            QVERIFY2(now == a || now == b, qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
        }
    }
};

QTEST_GUILESS_MAIN(tst_VaultFile)
#include "tst_VaultFile.moc"
