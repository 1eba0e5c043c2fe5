// Messages of the engine's status codes (the codes are in engine/fhrequest.h).
#ifndef CORVEX_ENGINE_STATUS_H
#define CORVEX_ENGINE_STATUS_H

#include <stddef.h>

namespace corvex {

// The message entry of status `code`: a text for the codes 1..44 (possibly
// empty), null for every other code.
const char *status_entry(int code);

// Writes the full message of `code` into `out` (at most size - 1 characters
// and a terminator): "Error " + entry + ".", so an empty entry gives
// "Error .". Codes without an entry give "". Returns the length of the full
// message (which may exceed what fitted).
size_t status_message(int code, char *out, size_t size);

}  // namespace corvex

#endif
