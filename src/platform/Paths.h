#pragma once

#include <QString>

// The path separator of the platform's file names.
QChar nativePathSeparator();

// folder, the separator (unless folder ends with one) and name.
QString joinPath(const QString& folder, const QString& name);
