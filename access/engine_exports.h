// Engine exports that the layer calls besides the dispatcher and the FID
// lookup: the item functions and the key builder. They are declared weak, so
// that the layer builds and loads against an engine that does not provide them
// yet; the wrappers below then report failure instead of calling them.
#ifndef LUMBRA_ACCESS_ENGINE_EXPORTS_H
#define LUMBRA_ACCESS_ENGINE_EXPORTS_H

#include <stdint.h>

#include "engine/fhrequest.h"

extern "C" {
// Copies element index of the named item of recbuf into out (the element's
// length plus a terminator). 0, or -1 for an unknown name or index.
__attribute__((weak)) int32_t _rfhitemget(fhrequest *block, const char *name, int32_t index,
                                          char *out);
// Stores text into element index of the named item. 0 or -1.
__attribute__((weak)) int32_t _rfhitemset(fhrequest *block, const char *name, int32_t index,
                                          const char *text);
// Builds key k of the record in recbuf into out; returns its length.
__attribute__((weak)) int32_t _bldkey(fhrequest *block, int32_t k, char *out);
}

namespace lumbra {

// The calls above, or -1 when the engine lacks the function.
inline int32_t engine_itemget(fhrequest *b, const char *name, int32_t i, char *out) {
  return _rfhitemget != nullptr ? _rfhitemget(b, name, i, out) : -1;
}
inline int32_t engine_itemset(fhrequest *b, const char *name, int32_t i, const char *text) {
  return _rfhitemset != nullptr ? _rfhitemset(b, name, i, text) : -1;
}
inline int32_t engine_bldkey(fhrequest *b, int32_t k, char *out) {
  return _bldkey != nullptr ? _bldkey(b, k, out) : -1;
}

}  // namespace lumbra

#endif
