#pragma once

#include "platform/DurableFile.h"

#include <QByteArray>
#include <QString>

// Whether a process on this machine holds the file locked, as a lock file's
// holder does from the moment it creates the file, before it has written its
// name into it. Takes nothing and waits for nothing.
bool lockedByAProcess(const QString& path);

enum class LockRemoval {
    Removed,
    Gone,     // nothing was there
    Changed,  // another file, or other bytes, than the ones seen: left alone
    InUse,    // a process here holds it: left alone
    Failed,   // *why says what
};

// Removes the lock file only if it is still the one seen (the same file,
// unchanged, holding the same bytes) and no process here holds it, so that
// a lock taken meanwhile is never the one removed. Locks the file while it
// looks, as a lock's own holder does, so no other taker can come between.
LockRemoval removeLockIfUnchanged(const QString& path, const QByteArray& seenBytes, const DurableFile::Stamp& seenStamp,
                                  QString* why);
