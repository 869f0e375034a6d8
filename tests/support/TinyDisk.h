#pragma once

#include <QProcess>
#include <QTemporaryDir>

// A small tmpfs of our own, for a full disk or a read-only folder. Needs root;
// a test skips when it cannot mount.
class TinyDisk {
public:
    explicit TinyDisk(const QString& options) {
        if (dir_.isValid()) mounted_ = run({"-t", "tmpfs", "-o", options, "tressik-test", dir_.path()});
    }
    ~TinyDisk() {
        if (mounted_) run({dir_.path()}, "umount");
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    bool remountReadOnly() { return run({"-o", "remount,ro", dir_.path()}); }

    // Fills what is left of the disk with one file.
    void fill() const {
        QFile filler(dir_.path() + "/filler");
        if (!filler.open(QIODevice::WriteOnly)) return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    static bool run(const QStringList& args, const QString& program = "mount") {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir dir_;
    bool mounted_ = false;
};
