#include "platform/NoCoreDump.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

bool forbidCoreDumps() {
    bool ok = true;
#ifdef Q_OS_UNIX
    const rlimit none{0, 0};
    ok = ::setrlimit(RLIMIT_CORE, &none) == 0;
#endif
#ifdef Q_OS_LINUX
    // A core handler that is a pipe ignores the size limit; this it does not.
    ok = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && ok;
#endif
    return ok;
}
