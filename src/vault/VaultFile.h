#pragma once

#include <QByteArray>
#include <QString>

// Reading and replacing the vault file. Replacing is atomic: a crash, a kill
// or a full disk leaves either the old file or the new one.
namespace VaultFile {

struct Result {
    bool ok = true;
    QString error;  // why it failed, for the user
};

inline constexpr char kFileName[] = "data.enc";

QString vaultPath(const QString& folder);

// Creates the file as one empty line when it does not exist.
Result EnsureDataFile(const QString& path);

Result read(const QString& path, QByteArray* bytes);

// Writes the bytes to a temporary file beside path, flushes it to disk and
// renames it over path. A new file is owner-only; an existing one keeps its
// permissions.
Result writeAtomic(const QString& path, const QByteArray& bytes);

// Copies path to backupPath atomically (owner-only).
Result backup(const QString& path, const QString& backupPath);

}  // namespace VaultFile
