#include "vault/VaultFile.h"

#include "platform/FileSync.h"
#include "util/xfileExists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace VaultFile {
namespace {

Result failure(const QString& what, const QString& path, const QString& why) {
    return {false, QStringLiteral("%1 \"%2\": %3").arg(what, QDir::toNativeSeparators(path), why)};
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

}  // namespace

QString vaultPath(const QString& folder) { return joinPath(folder, QLatin1String(kFileName)); }

Result EnsureDataFile(const QString& path) {
    if (FileExists(path)) return {};
    if (QFileInfo(path).isDir()) return failure(QStringLiteral("Cannot create"), path, QStringLiteral("a folder of that name is in the way"));
    if (QFileInfo::exists(path)) return {};  // present but not a plain visible file: leave it to the reader
    return writeAtomic(path, QByteArrayLiteral("\r\n"));
}

Result read(const QString& path, QByteArray* bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return failure(QStringLiteral("Cannot open"), path, file.errorString());
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return failure(QStringLiteral("Cannot read"), path, file.errorString());
    return {};
}

Result writeAtomic(const QString& path, const QByteArray& bytes) {
    const bool existed = QFileInfo::exists(path);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) return failure(QStringLiteral("Cannot write"), path, file.errorString());
    // The temporary file must not be readable by others from its first byte.
    if (!existed && !file.setPermissions(kOwnerOnly)) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failure(QStringLiteral("Cannot protect"), path, why);
    }
    // Qt can report success after a short write on a full disk, so check every count.
    const qint64 written = file.write(bytes);
    const bool flushed = written == bytes.size() && file.flush();
    if (!flushed || file.size() != bytes.size()) {
        const QString why = file.error() != QFileDevice::NoError ? file.errorString()
                                                                  : QStringLiteral("the disk is full");
        file.cancelWriting();
        return failure(QStringLiteral("Cannot write"), path, why);
    }
    if (!file.commit()) return failure(QStringLiteral("Cannot write"), path, file.errorString());
    syncFolder(QFileInfo(path).absolutePath());

    QByteArray back;
    if (!read(path, &back).ok || back != bytes)
        return failure(QStringLiteral("Cannot verify"), path, QStringLiteral("the file on disk differs from what was written"));
    return {};
}

Result backup(const QString& path, const QString& backupPath) {
    QByteArray bytes;
    if (Result r = read(path, &bytes); !r.ok) return r;
    const bool existed = QFileInfo::exists(backupPath);
    Result r = writeAtomic(backupPath, bytes);
    if (r.ok && existed) QFile::setPermissions(backupPath, kOwnerOnly);
    return r;
}

}  // namespace VaultFile
