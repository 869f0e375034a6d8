#include "platform/LockProbe.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
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
