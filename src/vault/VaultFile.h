#pragma once

#include "platform/DurableFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Reading and replacing the vault file. Replacing is atomic: a crash, a kill
// or a full disk leaves either the old file or the new one.
namespace VaultFile {

struct Result {
    bool ok = true;
    QString error;  // why it failed, for the user
    // The old file was already replaced when the failure was found: "left as
    // it was" would be untrue.
    bool replaced = false;
    // ... and it was read back different from what was written; otherwise the
    // system could not confirm that the new file is on the disk.
    bool differs = false;
};

// One version of the vault file: which file it was, and a fingerprint of its
// bytes, so that a file touched but not changed is known for the same.
struct Version {
    DurableFile::Stamp stamp;
    size_t fingerprint = 0;
    bool read = false;  // stamp and fingerprint are of bytes that were read or written
    static Version of(const DurableFile::Stamp& stamp, const QByteArray& bytes);
    static size_t fingerprintOf(const QByteArray& bytes);
};

inline constexpr char kFileName[] = "data.enc";

// Far more than any vault holds (100,000 entries take some 6 MB): a larger
// file is not read, and the vault is never written larger.
inline constexpr qint64 kMaxFileSize = qint64{1} << 30;

QString vaultPath(const QString& folder);

// The file that saves write: where the vault's link leads, or the vault
// itself. A link that leads nowhere stands for itself.
QString writtenFile(const QString& path);
// The lock file guards the file that is written, and lies beside it: every
// way of reaching that file meets the one lock.
QString lockPath(const QString& path);

// Creates the file as one empty line when it does not exist. A link whose
// target is missing is left as it is, for the reader to tell.
Result EnsureDataFile(const QString& path);

// Reads a plain file of at most kMaxFileSize bytes only: a named pipe or a
// device would block the read or never end. *stamp, when given, receives the
// stamp of what was read.
Result read(const QString& path, QByteArray* bytes, DurableFile::Stamp* stamp = nullptr);

// Writes the bytes to an owner-only temporary file beside path, syncs it to
// disk and renames it over path, then syncs the folder and reads the file
// back. A new file is owner-only; an existing one keeps its permissions. A
// failure before the rename leaves the old file; one after it is told as such.
// *written, when given, receives the stamp of the file read back.
Result writeAtomic(const QString& path, const QByteArray& bytes, DurableFile::Stamp* written = nullptr);

// A save's replace: swapped in where the file system can, the version it
// displaced left at `displaced` to be looked at (see DurableFile::swapIn).
struct Swap {
    Result result;
    DurableFile::Stamp created;  // the file this save made
    QString displaced;
};
Swap swapIn(const QString& path, const QByteArray& bytes);

// Looks at what is at path once a save has replaced it: ok when it holds
// bytes. *onDisk receives what was found there (its stamp, and the
// fingerprint of what was read, or of bytes when nothing could be read), and
// *ours whether it is still the file that save made, however changed since.
Result readBack(const QString& path, const QByteArray& bytes, const DurableFile::Stamp& created, Version* onDisk,
                bool* ours);

// Copies path owner-only to path + ".bak", or, when that name is taken, to
// the first free ".bak.1", ".bak.2", ...: the copy is created exclusively, so
// an earlier backup, or whatever a link points to, is never written over.
// *keptAs receives the name used.
Result backup(const QString& path, QString* keptAs);
// The same for bytes already read from path. Backups lie beside the file
// that is written, where the vault's link leads.
Result keep(const QString& path, const QByteArray& bytes, QString* keptAs);
// The same by moving a file that holds a version of path, such as one a swap
// displaced, to that name.
Result keepFile(const QString& path, const QString& file, QString* keptAs);
// Removes a displaced version once nothing of it can be lost.
Result drop(const QString& file);

// Other versions of the vault beside it: the conflict copies that sync tools
// keep when the vault was changed in two places (Syncthing's
// "data.sync-conflict-<date>-<time>-<id>.enc", Nextcloud's and ownCloud's
// "data (conflicted copy <date> <time>).enc", Dropbox's "data (<name>'s
// conflicted copy <date>).enc"), and versions displaced by a save that
// stopped before it could look at them.
QStringList conflictCopies(const QString& path);
// Moves a merged copy out of the way: to its name + ".merged", or the first
// free ".merged.1", ".merged.2", ...
Result setAside(const QString& copy, QString* movedAs);

// Removes what saves over path left behind when they were killed before
// their rename, and nothing else. Only while the vault's lock is held.
int removeLeftovers(const QString& path);
}  // namespace VaultFile
