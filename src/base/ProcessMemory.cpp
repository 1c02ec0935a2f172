// The C library's threshold for handing large blocks straight back to the system.
#include "base/ProcessMemory.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX) && defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ProcessMemory {

void returnLargeBlocksAtOnce() {
#if defined(Q_OS_LINUX) && defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}

} // namespace ProcessMemory
