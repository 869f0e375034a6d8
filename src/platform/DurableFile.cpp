#include "platform/DurableFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#else
#include <QSaveFile>
#endif

namespace DurableFile {
namespace {

std::function<int(Op)>& faultHook() {
    static std::function<int(Op)> hook;
    return hook;
}

// Before each operation: the errno a test wants it to fail with, or 0.
bool injected(Op op) {
    if (!faultHook()) return false;
    const int error = faultHook()(op);
    if (error == 0) return false;
    errno = error;
    return true;
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

WriteResult failed(int error) { return {Outcome::Failed, systemError(error)}; }

}  // namespace

QString opName(Op op) {
    switch (op) {
        case Op::Open: return QStringLiteral("open");
        case Op::Protect: return QStringLiteral("protect");
        case Op::Write: return QStringLiteral("write");
        case Op::Sync: return QStringLiteral("sync");
        case Op::Close: return QStringLiteral("close");
        case Op::Rename: return QStringLiteral("rename");
        case Op::Swap: return QStringLiteral("swap");
        case Op::Remove: return QStringLiteral("remove");
        case Op::FolderOpen: return QStringLiteral("open folder");
        case Op::FolderSync: return QStringLiteral("sync folder");
        case Op::ReadOpen: return QStringLiteral("open to read");
        case Op::ReadStat: return QStringLiteral("stat");
        case Op::Read: return QStringLiteral("read");
    }
    return {};
}

std::function<int(Op)> setFaultHook(std::function<int(Op)> hook) { return std::exchange(faultHook(), std::move(hook)); }

bool sameInode(const Stamp& a, const Stamp& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

bool sameFile(const Stamp& a, const Stamp& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
}

#ifdef Q_OS_UNIX

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// An error from a call, the injected one included.
template <typename Call>
auto call(Op op, Call&& c) -> decltype(c()) {
    if (injected(op)) return -1;
    decltype(c()) r;
    do {
        r = c();
    } while (r < 0 && errno == EINTR);
    return r;
}

// A new file that nobody else can open: created exclusively, never through a
// link, owner-only from the start whatever the umask or the file system.
int createOwnerOnly(const QByteArray& name) {
    return static_cast<int>(call(Op::Open, [&] {
        return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    }));
}

// Sets the file's permissions to mode. A file system that cannot change them
// (FAT, say) is fine as long as it grants no one more than mode does.
bool protect(int fd, int mode) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const auto now = static_cast<int>(st.st_mode & 07777);
    if (now == mode) return true;
    if (call(Op::Protect, [&] { return ::fchmod(fd, static_cast<mode_t>(mode)); }) == 0) return true;
    const int error = errno;
    if ((now & 077 & ~mode) == 0) return true;
    errno = error;
    return false;
}

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = call(Op::Write, [&] { return ::write(fd, p, static_cast<size_t>(left)); });
        if (n < 0) return false;
        // No progress and no error: the disk is full as far as we are concerned.
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// Writes, syncs and closes a file made by createOwnerOnly. The file is
// closed whatever happens.
bool fill(int fd, const QByteArray& bytes, int mode) {
    if (!(protect(fd, mode) && writeAll(fd, bytes) && call(Op::Sync, [&] { return ::fdatasync(fd); }) == 0)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    // A close that fails can mean a write that never reached the disk (NFS).
    // It is never retried: the descriptor is gone either way.
    if (injected(Op::Close)) {
        ::close(fd);
        return false;
    }
    return ::close(fd) == 0;
}

QString folderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

// The folder's entries to the disk. A file system that has no such notion
// for folders says so with EINVAL; that is no failure.
bool syncFolder(const QString& folder) {
    const QByteArray name = native(folder);
    const int fd = static_cast<int>(
        call(Op::FolderOpen, [&] { return ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (fd < 0) return false;
    const bool ok = call(Op::FolderSync, [&] { return ::fsync(fd); }) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

// Creates name exclusively and fills it; on failure nothing is left of it and
// errno says why (EEXIST: the name was taken).
bool writeNew(const QByteArray& name, const QByteArray& bytes, int mode) {
    const int fd = createOwnerOnly(name);
    if (fd < 0) return false;
    if (fill(fd, bytes, mode)) return true;
    const int error = errno;
    ::unlink(name.constData());
    errno = error;
    return false;
}

// The new file's name beside path: path, ".saving-" and 16 hex digits. Only
// a save of ours makes such a name, so its leftovers can be told apart.
constexpr char kSavingMark[] = ".saving-";
constexpr int kSavingDigits = 16;
// What a swap displaced: kept until looked at, never removed unread.
constexpr char kDisplacedMark[] = ".displaced-";

QByteArray temporaryName(const QString& path) {
    const quint64 n = QRandomGenerator::global()->generate64();
    return native(path) + kSavingMark + QByteArray::number(n, 16).rightJustified(kSavingDigits, '0');
}

bool isTemporaryName(const QString& name, const QString& vaultName) {
    const QString prefix = vaultName + QLatin1String(kSavingMark);
    if (!name.startsWith(prefix) || name.size() != prefix.size() + kSavingDigits) return false;
    for (qsizetype i = prefix.size(); i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    }
    return true;
}

Stamp stampFrom(const struct stat& st) {
    return {true,
            static_cast<quint64>(st.st_dev),
            static_cast<quint64>(st.st_ino),
            static_cast<qint64>(st.st_size),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<qint64>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

}  // namespace

namespace {

// The new file beside path, written and synced under a name of its own;
// empty, with errno, when it could not be.
QByteArray writeTemporary(const QString& path, const QByteArray& bytes, int mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray temporary = temporaryName(path);
        if (writeNew(temporary, bytes, mode < 0 ? 0600 : mode)) return temporary;
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

// The swap itself, where the system has it.
int exchange(const QByteArray& from, const QByteArray& to) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    return ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE);
#else
    errno = ENOSYS;
    return -1;
#endif
}

// The file system has no such swap (exFAT, FUSE, a network share), or there
// is nothing at the other name to swap with.
bool cannotSwap(int error) {
    // EOPNOTSUPP and ENOTSUP are one value on Linux, not everywhere.
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
#if ENOTSUP != EOPNOTSUPP
           error == ENOTSUP ||
#endif
           error == ENOENT;
}

}  // namespace

WriteResult replace(const QString& path, const QByteArray& bytes, int mode) {
    const QByteArray temporary = writeTemporary(path, bytes, mode);
    if (temporary.isEmpty()) return failed(errno);
    const QByteArray target = native(path);
    if (call(Op::Rename, [&] { return ::rename(temporary.constData(), target.constData()); }) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failed(error);
    }
    if (!syncFolder(folderOf(path))) return {Outcome::Unconfirmed, systemError(errno)};
    return {};
}

SwapResult swapIn(const QString& path, const QByteArray& bytes, int mode) {
    SwapResult result;
    const QByteArray temporary = writeTemporary(path, bytes, mode);
    if (temporary.isEmpty()) {
        result.write = failed(errno);
        return result;
    }
    // Out of the leftovers' name before the swap: whatever is swapped out to
    // it must outlast a crash.
    const QByteArray swapName = native(path) + kDisplacedMark + temporary.right(kSavingDigits);
    const QByteArray target = native(path);
    if (call(Op::Rename, [&] { return ::rename(temporary.constData(), swapName.constData()); }) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        result.write = failed(error);
        return result;
    }
    result.created = stampOf(QFile::decodeName(swapName));
    if (call(Op::Swap, [&] { return exchange(swapName, target); }) == 0) {
        result.displaced = QFile::decodeName(swapName);
    } else {
        const int error = errno;
        const bool renamed = cannotSwap(error) &&
                             call(Op::Rename, [&] { return ::rename(swapName.constData(), target.constData()); }) == 0;
        if (!renamed) {
            const int why = cannotSwap(error) ? errno : error;
            ::unlink(swapName.constData());
            result.write = failed(why);
            return result;
        }
    }
    if (!syncFolder(folderOf(path))) result.write = {Outcome::Unconfirmed, systemError(errno)};
    return result;
}

WriteResult renameFree(const QString& from, const QString& to, bool* taken) {
    *taken = false;
    const QByteArray source = native(from);
    const QByteArray name = native(to);
    bool renamed = false;
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    renamed = call(Op::Rename, [&] {
                  return ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE);
              }) == 0;
    if (!renamed && errno != EINVAL && errno != ENOSYS) {
        *taken = errno == EEXIST;
        return failed(errno);
    }
#endif
    // cppcheck-suppress knownConditionTrueFalse
    if (!renamed) {
        // No such rename here: a hard link cannot replace either.
        if (::link(source.constData(), name.constData()) != 0) {
            *taken = errno == EEXIST;
            return failed(errno);
        }
        ::unlink(source.constData());
    }
    if (!syncFolder(folderOf(to))) return {Outcome::Unconfirmed, systemError(errno)};
    return {};
}

WriteResult remove(const QString& path) {
    const QByteArray name = native(path);
    if (call(Op::Remove, [&] { return ::unlink(name.constData()); }) != 0) return failed(errno);
    if (!syncFolder(folderOf(path))) return {Outcome::Unconfirmed, systemError(errno)};
    return {};
}

WriteResult createExclusive(const QString& path, const QByteArray& bytes, bool* taken) {
    *taken = false;
    const QByteArray name = native(path);
    if (!writeNew(name, bytes, 0600)) {
        *taken = errno == EEXIST;
        return failed(errno);
    }
    if (!syncFolder(folderOf(path))) {
        const int error = errno;
        ::unlink(name.constData());
        return failed(error);
    }
    return {};
}

Stamp stampOf(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0) {
        Stamp none;
        // A name that leads nowhere is simply not there.
        if (errno != ENOENT && errno != ENOTDIR) none.error = errno;
        return none;
    }
    return stampFrom(st);
}

Stamp stampOfOpen(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    return stampFrom(st);
}

int removeLeftovers(const QString& path) {
    const QFileInfo vault(path);
    const QDir folder = vault.absoluteDir();
    int removed = 0;
    for (const QString& name : folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System)) {
        if (!isTemporaryName(name, vault.fileName())) continue;
        const QByteArray full = native(folder.filePath(name));
        struct stat st {};
        // Never through a link, never a folder, never someone else's file.
        if (::lstat(full.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlink(full.constData()) == 0) ++removed;
    }
    return removed;
}

ReadResult readPlain(const QString& path, QByteArray* bytes, qint64 limit, Stamp* stamp) {
    const QByteArray name = native(path);
    // Non-blocking, so that opening a named pipe returns at once.
    const int fd = static_cast<int>(
        call(Op::ReadOpen, [&] { return ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        // A socket cannot be opened at all; say what it is rather than ENXIO.
        if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            return {S_ISDIR(st.st_mode) ? ReadKind::Folder : ReadKind::Special, {}};
        return {error == ENOENT ? ReadKind::Missing : ReadKind::Error, systemError(error)};
    }
    struct stat st {};
    ReadResult result;
    if (call(Op::ReadStat, [&] { return ::fstat(fd, &st); }) != 0) {
        result = {ReadKind::Error, systemError(errno)};
    } else if (!S_ISREG(st.st_mode)) {
        result = {S_ISDIR(st.st_mode) ? ReadKind::Folder : ReadKind::Special, {}};
    } else if (st.st_size > limit) {
        // A sparse file can claim a terabyte: nothing of that size is allocated.
        result = {ReadKind::TooLarge, {}, static_cast<qint64>(st.st_size)};
    } else {
        // Straight into the result, sized for the file plus one byte to see its end.
        QByteArray out(static_cast<qsizetype>(st.st_size) + 1, Qt::Uninitialized);
        qsizetype have = 0;
        for (;;) {
            if (have == out.size()) {
                // It grew while being read: more room, never past the limit.
                if (have > limit) {
                    result = {ReadKind::TooLarge, {}, have};
                    break;
                }
                out.resize(static_cast<qsizetype>(std::min<qint64>(qint64{out.size()} * 2, limit + 1)));
            }
            const ssize_t n =
                call(Op::Read, [&] { return ::read(fd, out.data() + have, static_cast<size_t>(out.size() - have)); });
            if (n < 0) {
                result = {ReadKind::Error, systemError(errno)};
                break;
            }
            if (n == 0) break;
            have += n;
        }
        out.truncate(have);
        if (result.kind == ReadKind::Plain) {
            *bytes = std::move(out);
            if (stamp) *stamp = stampFrom(st);
        }
    }
    ::close(fd);
    return result;
}

int permissions(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 07777);
}

#else

// Elsewhere Qt's own atomic file does what it can.
WriteResult replace(const QString& path, const QByteArray& bytes, int) {
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return {Outcome::Failed, file.errorString()};
    return {};
}

WriteResult createExclusive(const QString& path, const QByteArray& bytes, bool* taken) {
    QFile file(path);
    *taken = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    if (*taken) return {Outcome::Failed, QStringLiteral("the name is taken")};
    if (!file.open(QIODevice::NewOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return {Outcome::Failed, file.errorString()};
    return {};
}

Stamp stampOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return {};
    return {true, 0, 0, info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000, 0};
}

Stamp stampOfOpen(int) { return {}; }

SwapResult swapIn(const QString& path, const QByteArray& bytes, int mode) {
    return {replace(path, bytes, mode), {}, {}};
}

WriteResult renameFree(const QString& from, const QString& to, bool* taken) {
    *taken = QFileInfo::exists(to) || QFileInfo(to).isSymLink();
    if (*taken || !QFile::rename(from, to)) return {Outcome::Failed, QStringLiteral("the name is taken")};
    return {};
}

WriteResult remove(const QString& path) {
    if (!QFile::remove(path)) return {Outcome::Failed, QStringLiteral("it could not be removed")};
    return {};
}

int removeLeftovers(const QString&) { return 0; }

ReadResult readPlain(const QString& path, QByteArray* bytes, qint64 limit, Stamp* stamp) {
    const QFileInfo info(path);
    if (!info.exists()) return {ReadKind::Missing, QStringLiteral("No such file or directory")};
    if (info.isDir()) return {ReadKind::Folder, {}};
    if (!info.isFile()) return {ReadKind::Special, {}};
    if (info.size() > limit) return {ReadKind::TooLarge, {}, info.size()};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {ReadKind::Error, file.errorString()};
    QByteArray out = file.read(limit + 1);
    if (out.size() > limit) return {ReadKind::TooLarge, {}, out.size()};
    *bytes = std::move(out);
    if (stamp) *stamp = stampOf(path);
    return {};
}

int permissions(const QString& path) { return QFileInfo::exists(path) ? 0600 : -1; }

#endif

}  // namespace DurableFile
