#pragma once

#include "platform/DurableFile.h"

#include <QByteArray>
#include <QString>

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

// Copies path owner-only to path + ".bak", or, when that name is taken, to
// the first free ".bak.1", ".bak.2", ...: the copy is created exclusively, so
// an earlier backup, or whatever a link points to, is never written over.
// *keptAs receives the name used.
Result backup(const QString& path, QString* keptAs);
// The same for bytes already read from path.
Result keep(const QString& path, const QByteArray& bytes, QString* keptAs);

// Removes what saves over path left behind when they were killed before
// their rename, and nothing else. Only while the vault's lock is held.
int removeLeftovers(const QString& path);

// One version of the vault file: which file it was, and a fingerprint of its
// bytes, so that a file touched but not changed is known for the same.
struct Version {
    DurableFile::Stamp stamp;
    size_t fingerprint = 0;
    static Version of(const DurableFile::Stamp& stamp, const QByteArray& bytes);
    static size_t fingerprintOf(const QByteArray& bytes);
};

}  // namespace VaultFile
