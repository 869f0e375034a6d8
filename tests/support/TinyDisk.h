#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A small tmpfs of our own, for a full disk or a read-only folder. Mounting
// needs root: a test that cannot mount skips with skipReason(). The destructor
// unmounts whatever happened in between (a failed check returns early, the
// disk may be read-only), so no test leaves a mount behind.
//
// CTest runs these tests in an entry of their own, labelled "root"; the other
// entry of the same program sets TRESSIK_TEST_NO_MOUNT and skips them.
class TinyDisk {
public:
    explicit TinyDisk(const QString& options) {
        if (qEnvironmentVariableIsSet("TRESSIK_TEST_NO_MOUNT")) {
            why_ = QStringLiteral("needs root and a tmpfs mount: runs in the test entry labelled root");
            return;
        }
        if (!dir_.isValid()) {
            why_ = QStringLiteral("needs a temporary folder: ") + dir_.errorString();
            return;
        }
        mounted_ = run("mount", {"-t", "tmpfs", "-o", options, source(), dir_.path()}, &why_);
        if (!mounted_) why_ = QStringLiteral("needs root to mount a tmpfs: ") + why_;
    }
    ~TinyDisk() {
        if (!mounted_) return;
        // A lazy unmount detaches even a busy disk; nothing we keep may stay mounted.
        if (!run("umount", {dir_.path()})) run("umount", {"-l", dir_.path()});
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool mounted() const { return mounted_; }
    QByteArray skipReason() const { return why_.toLocal8Bit(); }
    QString path() const { return dir_.path(); }
    bool remountReadOnly() { return run("mount", {"-o", "remount,ro", dir_.path()}); }
    bool remountReadWrite() { return run("mount", {"-o", "remount,rw", dir_.path()}); }

    // Fills what is left of the disk with one file.
    void fill() const {
        QFile filler(dir_.path() + "/filler");
        if (!filler.open(QIODevice::WriteOnly)) return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

    // The disks of this process that are still mounted: none, once every
    // TinyDisk is gone.
    static QStringList stillMounted() {
        QFile mounts(QStringLiteral("/proc/self/mounts"));
        QStringList left;
        if (!mounts.open(QIODevice::ReadOnly)) return left;
        const QByteArray ours = source().toLocal8Bit();
        for (const QByteArray& line : mounts.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() > 1 && fields[0] == ours) left.push_back(QString::fromLocal8Bit(fields[1]));
        }
        return left;
    }

private:
    // Named after the process, so tests running side by side never count each other's disks.
    static QString source() { return QStringLiteral("tressik-test-%1").arg(QCoreApplication::applicationPid()); }

    static bool run(const QString& program, const QStringList& args, QString* why = nullptr) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        const bool ok = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok && why) {
            *why = QString::fromLocal8Bit(p.readAll()).trimmed();
            if (why->isEmpty()) *why = p.errorString();
        }
        return ok;
    }

    QTemporaryDir dir_;
    bool mounted_ = false;
    QString why_;
};
