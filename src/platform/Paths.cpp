#include "platform/Paths.h"

#include <QtGlobal>

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
