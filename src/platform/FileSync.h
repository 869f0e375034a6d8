#pragma once

#include <QString>

// Flushes a folder's entries (a rename inside it) to disk. Best effort: a
// platform without the notion answers true.
bool syncFolder(const QString& folder);

// The path separator of the platform's file names.
QChar nativePathSeparator();

// folder, the separator (unless folder ends with one) and name.
QString joinPath(const QString& folder, const QString& name);
