#include "engine/rfhitem.h"

#include <string.h>

#include <memory>
#include <new>

#include "engine/fid/fid.h"

namespace {

// The item called `name` whose element `index` lies inside the record
// buffer, or null.
const fhitemdef *element_item(const fhrequest *block, const char *name, int32_t index) {
  if (!block || !block->recbuf || !block->itemdefs) return nullptr;
  int32_t n = _fhfidoffset(const_cast<fhrequest *>(block), name);
  if (n < 0 || n >= block->nitems) return nullptr;
  const fhitemdef *def = &block->itemdefs[n];
  if (index < 0 || index >= def->count) return nullptr;
  uint64_t end = def->offset + static_cast<uint64_t>(def->count) * def->length;
  return end <= block->reclen ? def : nullptr;
}

char *element_at(const fhrequest *block, const fhitemdef *def, int32_t index) {
  return block->recbuf + def->offset + static_cast<size_t>(index) * def->length;
}

}  // namespace

int32_t _rfhitemget(fhrequest *block, const char *name, int32_t index, char *out) {
  const fhitemdef *def = element_item(block, name, index);
  if (!def || !out) return -1;
  const char *elem = element_at(block, def, index);
  size_t n = strnlen(elem, def->length);
  memcpy(out, elem, n);
  memset(out + n, 0, def->length + 1u - n);
  return 0;
}

int32_t _rfhitemset(fhrequest *block, const char *name, int32_t index, const char *text) {
  const fhitemdef *def = element_item(block, name, index);
  if (!def) return -1;
  if (!text) text = "";
  char *elem = element_at(block, def, index);
  size_t length = def->length;
  size_t n = strnlen(text, length);
  size_t pad = def->just == 'R' ? length - n : 0;
  memset(elem, ' ', pad);
  memcpy(elem + pad, text, n);
  memset(elem + pad + n, ' ', length - pad - n);
  return 0;
}

char *_rfhitemoffset(fhrequest *block, const char *name) {
  const fhitemdef *def = element_item(block, name, 0);
  return def ? element_at(block, def, 0) : nullptr;
}

int32_t _rfhcopy(fhrequest *dest, fhrequest *source) {
  if (!dest || !source) return -1;
  if (!source->itemdefs) return 0;
  size_t widest = 0;
  for (uint16_t i = 0; i < source->nitems; i++) {
    if (source->itemdefs[i].length > widest) widest = source->itemdefs[i].length;
  }
  std::unique_ptr<char[]> work(new (std::nothrow) char[widest + 1]);
  if (!work) return -1;
  for (uint16_t i = 0; i < source->nitems; i++) {
    char name[FID_NAMELEN + 1] = {};
    memcpy(name, source->itemdefs[i].name, FID_NAMELEN);
    if (_rfhitemget(source, name, 0, work.get()) == 0) _rfhitemset(dest, name, 0, work.get());
  }
  return 0;
}
