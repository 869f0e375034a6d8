#include "platform/Memory.h"

#include <cstdlib>  // defines __GLIBC__ where it applies

#ifdef __GLIBC__
#include <malloc.h>
#endif

void releaseFreeMemory() {
#ifdef __GLIBC__
    // glibc keeps freed blocks inside its heap resident until asked.
    malloc_trim(0);
#endif
}
