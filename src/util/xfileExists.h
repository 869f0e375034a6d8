#pragma once

#include <QString>

// The part of path after its last separator; path itself when it has none.
QString GetFileName(const QString& path);

// True when a normal file of that name exists: not a folder, not hidden.
// Never fails: any trouble answers false.
bool FileExists(const QString& path);
