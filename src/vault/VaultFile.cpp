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

// Far more than anyone keeps; past it the user is asked to tidy up.
constexpr int kMaxBackups = 999;

std::function<void(const QString&)>& afterCommitHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

}  // namespace

void setAfterCommitHook(std::function<void(const QString& path)> hook) { afterCommitHook() = std::move(hook); }

QString vaultPath(const QString& folder) { return joinPath(folder, QLatin1String(kFileName)); }

Result EnsureDataFile(const QString& path) {
    if (FileExists(path)) return {};
    if (QFileInfo(path).isDir()) return failure(QStringLiteral("Cannot create"), path, QStringLiteral("a folder of that name is in the way"));
    if (QFileInfo::exists(path)) return {};  // present but not a plain visible file: leave it to the reader
    return writeAtomic(path, QByteArrayLiteral("\r\n"));
}

Result read(const QString& path, QByteArray* bytes) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return failure(QStringLiteral("Cannot read"), path,
                       info.isDir() ? QStringLiteral("it is a folder, not a file")
                                    : QStringLiteral("it is a named pipe, a socket or a device, not a plain file"));
    }
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
    if (afterCommitHook()) afterCommitHook()(path);

    QByteArray back;
    if (!read(path, &back).ok || back != bytes) {
        Result r = failure(QStringLiteral("Cannot verify"), path,
                           QStringLiteral("the file on disk differs from what was written"));
        r.replaced = true;
        return r;
    }
    return {};
}

Result backup(const QString& path, QString* keptAs) {
    QByteArray bytes;
    if (Result r = read(path, &bytes); !r.ok) return r;
    const QString first = path + QStringLiteral(".bak");
    QString name = first;
    // A free name means a new file, which is owner-only before its first byte.
    for (int n = 1; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n) {
        if (n > kMaxBackups)
            return failure(QStringLiteral("Cannot keep a copy of"), path,
                           QStringLiteral("%1 and %1.1 to %1.%2 are all taken; move some of them away")
                               .arg(QDir::toNativeSeparators(first), QString::number(kMaxBackups)));
        name = first + QLatin1Char('.') + QString::number(n);
    }
    Result r = writeAtomic(name, bytes);
    if (r.ok && keptAs) *keptAs = name;
    return r;
}

}  // namespace VaultFile
