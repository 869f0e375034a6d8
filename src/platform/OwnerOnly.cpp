#include "platform/OwnerOnly.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#ifdef Q_OS_UNIX
OwnerOnlyCreation::OwnerOnlyCreation() : previous_(::umask(0077)) {}
OwnerOnlyCreation::~OwnerOnlyCreation() { ::umask(static_cast<mode_t>(previous_)); }
#else
// Elsewhere a new file is its owner's by the folder's rights.
OwnerOnlyCreation::OwnerOnlyCreation() = default;
OwnerOnlyCreation::~OwnerOnlyCreation() = default;
#endif
