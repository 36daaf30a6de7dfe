#include "allocator.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__) && !defined(QUILTANA_PORTABLE)
#include <malloc.h>
#endif

namespace quiltana {

void TuneAllocatorForDecoding()
{
#if defined(__GLIBC__) && !defined(QUILTANA_PORTABLE)
    mallopt(M_ARENA_MAX, 1);
#endif
}

} // namespace quiltana
