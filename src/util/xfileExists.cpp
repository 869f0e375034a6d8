#include "util/xfileExists.h"

#include "platform/Paths.h"

#include <QFileInfo>

QString GetFileName(const QString& path) {
    if (path.isEmpty()) return {};
    const qsizetype at = path.lastIndexOf(nativePathSeparator());
    return at < 0 ? path : path.mid(at + 1);
}

bool FileExists(const QString& path) {
    const QString expected = GetFileName(path);
    if (expected.isEmpty()) return false;
    const QFileInfo info(path);
    // A name only counts when it is the file's own name: a wildcard pattern
    // matches itself and nothing else, as the directory search would report.
    if (!info.isFile() || info.isHidden()) return false;
    return info.fileName() == expected;
}
