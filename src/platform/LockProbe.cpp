#include "platform/LockProbe.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

bool lockedByAProcess(const QString& path) {
#ifdef Q_OS_UNIX
    // Non-blocking, so that a named pipe in its place cannot hold the start.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    // A shared lock conflicts only with a holder's exclusive one; closing
    // the file gives back what was taken.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
#else
    Q_UNUSED(path);
    return false;
#endif
}

#ifdef Q_OS_UNIX
namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// At most limit + 1 bytes, enough to see that there are more than limit.
bool readUpTo(int fd, qsizetype limit, QByteArray* out) {
    out->resize(limit + 1);
    qsizetype have = 0;
    while (have < out->size()) {
        const ssize_t n = ::read(fd, out->data() + have, static_cast<size_t>(out->size() - have));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        have += n;
    }
    out->truncate(have);
    return true;
}

LockRemoval judgeOpen(int fd, const QByteArray& name, const QByteArray& seenBytes, const DurableFile::Stamp& seenStamp,
                      QString* why) {
    // The lock's holder keeps it locked so; a taker here takes it so too.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return LockRemoval::InUse;
    if (DurableFile::stampOfOpen(fd) != seenStamp) return LockRemoval::Changed;
    QByteArray bytes;
    if (!readUpTo(fd, seenBytes.size(), &bytes)) {
        if (why) *why = systemError(errno);
        return LockRemoval::Failed;
    }
    if (bytes != seenBytes) return LockRemoval::Changed;
    // Still the file of that name: nothing has been put in its place.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) return errno == ENOENT ? LockRemoval::Gone : LockRemoval::Changed;
    if (static_cast<quint64>(st.st_dev) != seenStamp.device || static_cast<quint64>(st.st_ino) != seenStamp.inode)
        return LockRemoval::Changed;
    if (::unlink(name.constData()) != 0) {
        if (errno == ENOENT) return LockRemoval::Gone;
        if (why) *why = systemError(errno);
        return LockRemoval::Failed;
    }
    return LockRemoval::Removed;
}

}  // namespace
#endif

LockRemoval removeLockIfUnchanged(const QString& path, const QByteArray& seenBytes, const DurableFile::Stamp& seenStamp,
                                  QString* why) {
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return LockRemoval::Gone;
        if (why) *why = systemError(errno);
        return LockRemoval::Failed;
    }
    const LockRemoval result = judgeOpen(fd, name, seenBytes, seenStamp, why);
    ::close(fd);
    return result;
#else
    // Elsewhere the lock's own removal is all there is.
    Q_UNUSED(seenBytes);
    Q_UNUSED(seenStamp);
    if (!QFile::exists(path)) return LockRemoval::Gone;
    if (QFile::remove(path)) return LockRemoval::Removed;
    if (why) *why = QStringLiteral("it cannot be removed");
    return LockRemoval::Failed;
#endif
}
