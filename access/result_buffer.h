// The per-program result buffer through which KDB functions return text.
// It holds at most kResultMax characters and always a terminator; nothing that
// is stored into it can run past its end.
#ifndef LUMBRA_ACCESS_RESULT_BUFFER_H
#define LUMBRA_ACCESS_RESULT_BUFFER_H

#include <cstddef>

namespace lumbra {

constexpr size_t kResultMax = 512;

// The buffer itself (kResultMax + 1 bytes). Valid until the next call that
// returns text.
char *result_buffer();

// Empties the buffer and returns it.
const char *result_clear();

// Stores at most kResultMax characters of text (null counts as "") and
// returns the buffer.
const char *result_set(const char *text);

// Stores exactly n bytes of data (cut to kResultMax), terminates and returns
// the buffer.
const char *result_set_bytes(const char *data, size_t n);

}  // namespace lumbra

#endif
