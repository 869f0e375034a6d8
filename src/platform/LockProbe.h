#pragma once

#include <QString>

// Whether a process on this machine holds the file locked, as a lock file's
// holder does from the moment it creates the file, before it has written its
// name into it. Takes nothing and waits for nothing.
bool lockedByAProcess(const QString& path);
