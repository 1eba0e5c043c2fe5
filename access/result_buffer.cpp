#include "access/result_buffer.h"

#include <cstring>

namespace lumbra {
namespace {
char g_result[kResultMax + 1];
}

char *result_buffer() { return g_result; }

const char *result_clear() {
  g_result[0] = '\0';
  return g_result;
}

const char *result_set(const char *text) {
  if (text == nullptr) return result_clear();
  return result_set_bytes(text, strnlen(text, kResultMax));
}

const char *result_set_bytes(const char *data, size_t n) {
  if (n > kResultMax) n = kResultMax;
  if (n > 0) memmove(g_result, data, n);
  g_result[n] = '\0';
  return g_result;
}

}  // namespace lumbra
