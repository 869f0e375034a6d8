#include "vault/VaultFile.h"

#include "platform/DurableFile.h"
#include "platform/Paths.h"
#include "util/xfileExists.h"

#include <QDir>
#include <QFileInfo>
#include <QHashFunctions>
#include <QLocale>
#include <QRegularExpression>

namespace VaultFile {
namespace {

Result failure(const QString& what, const QString& path, const QString& why) {
    return {false, QStringLiteral("%1 \"%2\": %3").arg(what, QDir::toNativeSeparators(path), why)};
}

Result replacedBut(const QString& path, const QString& why, bool differs) {
    Result r = failure(QStringLiteral("Cannot verify"), path, why);
    r.replaced = true;
    r.differs = differs;
    return r;
}

// Far more than anyone keeps; past it the user is asked to tidy up.
constexpr int kMaxBackups = 999;

// A link to a file that is not there (a stick not plugged in, a share not
// mounted): why it cannot be used, naming where it points; empty otherwise.
QString leadsNowhere(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink() || info.exists()) return {};
    return QStringLiteral(
               "it is a link to \"%1\", which does not exist.  Is a drive not plugged in, or a share not "
               "mounted?  The link was left as it is")
        .arg(QDir::toNativeSeparators(info.symLinkTarget()));
}

QString tooLarge(qint64 size) {
    return QStringLiteral("it is %1, far larger than a vault file can be (%2 at most); it was left as it is")
        .arg(QLocale::c().formattedDataSize(size, 1), QLocale::c().formattedDataSize(kMaxFileSize, 0));
}

}  // namespace

QString vaultPath(const QString& folder) { return joinPath(folder, QLatin1String(kFileName)); }

QString writtenFile(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
}

QString lockPath(const QString& path) { return writtenFile(path) + QStringLiteral(".lock"); }

Result EnsureDataFile(const QString& path) {
    if (FileExists(path)) return {};
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("Cannot create"), path, QStringLiteral("a folder of that name is in the way"));
    // Present but not a plain visible file, or a link that leads nowhere:
    // leave it to the reader, which says what it is.
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) return {};
    return writeAtomic(path, QByteArrayLiteral("\r\n"));
}

Result read(const QString& path, QByteArray* bytes, DurableFile::Stamp* stamp) {
    const DurableFile::ReadResult r = DurableFile::readPlain(path, bytes, kMaxFileSize, stamp);
    switch (r.kind) {
        case DurableFile::ReadKind::Plain: return {};
        case DurableFile::ReadKind::Missing: {
            const QString nowhere = leadsNowhere(path);
            return failure(QStringLiteral("Cannot open"), path, nowhere.isEmpty() ? r.why : nowhere);
        }
        case DurableFile::ReadKind::TooLarge: return failure(QStringLiteral("Cannot read"), path, tooLarge(r.size));
        case DurableFile::ReadKind::Folder:
            return failure(QStringLiteral("Cannot read"), path, QStringLiteral("it is a folder, not a file"));
        case DurableFile::ReadKind::Special:
            return failure(QStringLiteral("Cannot read"), path,
                           QStringLiteral("it is a named pipe, a socket or a device, not a plain file"));
        case DurableFile::ReadKind::Error: break;
    }
    return failure(QStringLiteral("Cannot read"), path, r.why);
}

Result writeAtomic(const QString& path, const QByteArray& bytes, DurableFile::Stamp* written) {
    if (bytes.size() > kMaxFileSize) return failure(QStringLiteral("Cannot write"), path, tooLarge(bytes.size()));
    // A vault that is a link is saved where the link points, as it always
    // was; one that leads nowhere is not replaced.
    if (const QString nowhere = leadsNowhere(path); !nowhere.isEmpty())
        return failure(QStringLiteral("Cannot write"), path, nowhere);
    const QString target = writtenFile(path);
    const DurableFile::WriteResult w = DurableFile::replace(target, bytes, DurableFile::permissions(target));
    if (w.outcome == DurableFile::Outcome::Failed) return failure(QStringLiteral("Cannot write"), path, w.why);
    // Whatever happens after the rename, what is on disk now is the program's own.
    if (w.outcome == DurableFile::Outcome::Unconfirmed) {
        if (written) *written = DurableFile::stampOf(path);
        return replacedBut(path, QStringLiteral("the system could not confirm that it reached the disk: ") + w.why,
                           false);
    }

    QByteArray back;
    DurableFile::Stamp stamp;
    if (const DurableFile::ReadResult r = DurableFile::readPlain(path, &back, kMaxFileSize, &stamp);
        r.kind != DurableFile::ReadKind::Plain) {
        if (written) *written = DurableFile::stampOf(path);
        return replacedBut(path, QStringLiteral("it could not be read back: ") + r.why, false);
    }
    if (written) *written = stamp;
    if (back != bytes) return replacedBut(path, QStringLiteral("the file on disk differs from what was written"), true);
    return {};
}

Swap swapIn(const QString& path, const QByteArray& bytes) {
    if (bytes.size() > kMaxFileSize)
        return {failure(QStringLiteral("Cannot write"), path, tooLarge(bytes.size())), {}, {}};
    if (const QString nowhere = leadsNowhere(path); !nowhere.isEmpty())
        return {failure(QStringLiteral("Cannot write"), path, nowhere), {}, {}};
    const QString target = writtenFile(path);
    const DurableFile::SwapResult s = DurableFile::swapIn(target, bytes, DurableFile::permissions(target));
    if (s.write.outcome == DurableFile::Outcome::Failed)
        return {failure(QStringLiteral("Cannot write"), path, s.write.why), {}, {}};
    Swap swap{{}, s.created, s.displaced};
    if (s.write.outcome == DurableFile::Outcome::Unconfirmed)
        swap.result = replacedBut(
            path, QStringLiteral("the system could not confirm that it reached the disk: ") + s.write.why, false);
    return swap;
}

Result readBack(const QString& path, const QByteArray& bytes, const DurableFile::Stamp& created, Version* onDisk,
                bool* ours) {
    QByteArray back;
    DurableFile::Stamp stamp;
    const DurableFile::ReadResult r = DurableFile::readPlain(path, &back, kMaxFileSize, &stamp);
    if (r.kind != DurableFile::ReadKind::Plain) {
        stamp = DurableFile::stampOf(path);
        *ours = DurableFile::sameInode(stamp, created);
        *onDisk = Version::of(stamp, bytes);
        return replacedBut(path, QStringLiteral("it could not be read back: ") + r.why, false);
    }
    *ours = DurableFile::sameInode(stamp, created);
    if (back == bytes) {
        *onDisk = Version::of(stamp, bytes);
        return {};
    }
    *onDisk = Version::of(stamp, back);
    return replacedBut(path, QStringLiteral("the file on disk differs from what was written"), true);
}

Result backup(const QString& path, QString* keptAs) {
    QByteArray bytes;
    if (Result r = read(path, &bytes); !r.ok) return r;
    return keep(path, bytes, keptAs);
}

namespace {

// Puts something at the first free name of first, first.1, first.2, ...
// through put(name, &taken).
template <class Put>
Result atFreeName(const QString& what, const QString& path, const QString& first, QString* usedAs, Put&& put) {
    for (int n = 0; n <= kMaxBackups; ++n) {
        const QString name = n == 0 ? first : first + QLatin1Char('.') + QString::number(n);
        // Taken by a file, a folder or a link, dangling or not: try the next name.
        bool taken = false;
        const DurableFile::WriteResult w = put(name, &taken);
        if (taken) continue;
        if (w.outcome == DurableFile::Outcome::Failed) return failure(what, path, w.why);
        if (usedAs) *usedAs = name;
        return {};
    }
    return failure(what, path,
                   QStringLiteral("%1 and %1.1 to %1.%2 are all taken; move some of them away")
                       .arg(QDir::toNativeSeparators(first), QString::number(kMaxBackups)));
}

}  // namespace

Result keep(const QString& path, const QByteArray& bytes, QString* keptAs) {
    return atFreeName(QStringLiteral("Cannot keep a copy of"), path, writtenFile(path) + QStringLiteral(".bak"), keptAs,
                      [&](const QString& name, bool* taken) {
                          const DurableFile::WriteResult w = DurableFile::createExclusive(name, bytes, taken);
                          // A copy whose folder entry is not confirmed is no copy.
                          return w.outcome == DurableFile::Outcome::Done
                                     ? w
                                     : DurableFile::WriteResult{DurableFile::Outcome::Failed, w.why};
                      });
}

Result keepFile(const QString& path, const QString& file, QString* keptAs) {
    return atFreeName(QStringLiteral("Cannot keep a copy of"), path, writtenFile(path) + QStringLiteral(".bak"), keptAs,
                      [&](const QString& name, bool* taken) { return DurableFile::renameFree(file, name, taken); });
}

Result drop(const QString& file) {
    const DurableFile::WriteResult w = DurableFile::remove(file);
    if (w.outcome == DurableFile::Outcome::Failed) return failure(QStringLiteral("Cannot remove"), file, w.why);
    return {};
}

QStringList conflictCopies(const QString& path) {
    QStringList found;
    QStringList folders;
    const auto look = [&](const QString& vault) {
        const QFileInfo info(vault);
        const QString folder = info.absolutePath();
        if (folders.contains(folder)) return;
        folders << folder;
        const QString stem = QRegularExpression::escape(info.completeBaseName());
        const QString suffix =
            info.suffix().isEmpty() ? QString() : QStringLiteral("\\.") + QRegularExpression::escape(info.suffix());
        const QString name = QRegularExpression::escape(info.fileName());
        const QRegularExpression copy(QStringLiteral("^(?:%1\\.sync-conflict-\\d{8}-\\d{6}-[A-Z0-9]{7}%2"
                                                     "|%1 \\([^()/]*conflicted copy[^()/]*\\)(?: \\(\\d+\\))?%2"
                                                     "|%3\\.displaced-[0-9a-f]{16})$")
                                          .arg(stem, suffix, name),
                                      QRegularExpression::CaseInsensitiveOption);
        const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        for (const QString& n : names)
            if (copy.match(n).hasMatch()) found << QDir(folder).filePath(n);
    };
    look(path);
    look(writtenFile(path));
    return found;
}

Result setAside(const QString& copy, QString* movedAs) {
    return atFreeName(QStringLiteral("Cannot move"), copy, copy + QStringLiteral(".merged"), movedAs,
                      [&](const QString& name, bool* taken) { return DurableFile::renameFree(copy, name, taken); });
}

int removeLeftovers(const QString& path) {
    // A vault that is a link is saved beside where it points.
    int removed = DurableFile::removeLeftovers(path);
    if (const QString target = writtenFile(path); target != path) removed += DurableFile::removeLeftovers(target);
    return removed;
}

size_t Version::fingerprintOf(const QByteArray& bytes) { return qHash(QByteArrayView(bytes), size_t(0x7e55)); }

Version Version::of(const DurableFile::Stamp& stamp, const QByteArray& bytes) {
    return {stamp, fingerprintOf(bytes), true};
}

}  // namespace VaultFile
