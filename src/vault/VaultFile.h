#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Reading and replacing the vault file. Replacing is atomic: a crash, a kill
// or a full disk leaves either the old file or the new one.
namespace VaultFile {

struct Result {
    bool ok = true;
    QString error;  // why it failed, for the user
    // The old file was already replaced when the failure was found (the
    // read-back differs): "left as it was" would be untrue.
    bool replaced = false;
};

inline constexpr char kFileName[] = "data.enc";

QString vaultPath(const QString& folder);

// Creates the file as one empty line when it does not exist.
Result EnsureDataFile(const QString& path);

// Refuses, before opening it, anything but a plain file: a named pipe or a
// device would block the read or never end.
Result read(const QString& path, QByteArray* bytes);

// Writes the bytes to a temporary file beside path, flushes it to disk and
// renames it over path. A new file is owner-only; an existing one keeps its
// permissions.
Result writeAtomic(const QString& path, const QByteArray& bytes);

// Copies path atomically and owner-only to path + ".bak", or, when that name
// is taken, to the first free ".bak.1", ".bak.2", ...: an earlier backup is
// never overwritten. *keptAs receives the name used.
Result backup(const QString& path, QString* keptAs);

// Runs right after a replace is committed, before the read-back check.
// Tests use it to stand in for a disk that gives back other bytes.
void setAfterCommitHook(std::function<void(const QString& path)> hook);

}  // namespace VaultFile
