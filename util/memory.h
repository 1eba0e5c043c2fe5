// Blocks that cross calls inside the libraries. They come from the C heap; a
// block must be freed with globalmfree by the library that allocated it.
#ifndef CORVEX_UTIL_MEMORY_H
#define CORVEX_UTIL_MEMORY_H

#include <stddef.h>

#include "util/export.h"

CORVEX_EXTERN_C_BEGIN

// A zero-filled block of size bytes, or null.
CORVEX_EXPORT void *globalmalloc(size_t size);
// A zero-filled block of count * size bytes, or null (also when the product overflows).
CORVEX_EXPORT void *globalcalloc(size_t count, size_t size);
// Frees a block from globalmalloc or globalcalloc; null is ignored.
CORVEX_EXPORT void globalmfree(void *block);

CORVEX_EXTERN_C_END

#endif
