#include "platform/FileSync.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

bool syncFolder(const QString& folder) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(folder);
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
#else
    Q_UNUSED(folder);
    return true;
#endif
}

QString joinPath(const QString& folder, const QString& name) {
    const bool ends = folder.endsWith(nativePathSeparator()) || folder.endsWith(QLatin1Char('/'));
    return ends ? folder + name : folder + nativePathSeparator() + name;
}

QChar nativePathSeparator() {
#ifdef Q_OS_WIN
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}
