#include "util/memory.h"

#include <cstdlib>

void *globalmalloc(size_t size) { return std::calloc(1, size == 0 ? 1 : size); }

void *globalcalloc(size_t count, size_t size) {
  if (count == 0 || size == 0) return std::calloc(1, 1);
  return std::calloc(count, size);  // calloc refuses a product that overflows
}

void globalmfree(void *block) { std::free(block); }
