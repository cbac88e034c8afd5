#include "platform/freed_memory.h"

#include <cstdlib>  // defines __GLIBC__ on glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kelp::platform {

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);  // every arena, pages inside the heap as well as its top
#endif
}

}  // namespace kelp::platform
