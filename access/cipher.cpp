#include "access/cipher.h"

#include <algorithm>
#include <cstdint>

#include "access/kdb_file.h"
#include "access/kdb.h"
#include "access/layer.h"
#include "access/return_code.h"
#include "util/text.h"

namespace lumbra {
namespace {

bool is_key_item(const fhrequest &r, const fhitemdef &item) {
  if (r.keydefs == nullptr) return false;
  for (int k = 0; k < r.nkeys; ++k) {
    const fhkeydef &key = r.keydefs[k];
    int segs = std::min<int>(key.nsegs, FID_MAXSEGS);
    for (int s = 0; s < segs; ++s)
      if (key.seg[s].offset + 1 == item.offset) return true;
  }
  return false;
}

// Moves every enciphered byte of record up (direction 1) or down (-1).
void apply(const kdb_file &f, char *record, int direction) {
  const fhrequest &r = f.req;
  if (f.crypt_key[0] == '\0' || record == nullptr || r.itemdefs == nullptr) return;
  unsigned sum = 0, length = 0;
  for (const char *c = f.crypt_key; *c != '\0'; ++c, ++length) sum += static_cast<uint8_t>(*c);
  for (int i = 0; i < r.nitems; ++i) {
    const fhitemdef &item = r.itemdefs[i];
    if (is_key_item(r, item)) continue;
    for (unsigned j = 0; j < item.count; ++j) {
      unsigned a = item.offset + j * item.length;
      for (unsigned k = 0; k < item.length; ++k) {
        unsigned at = a + k;
        if (at == 0 || at + 1 >= r.reclen) continue;  // the status byte and the line feed
        auto shift = static_cast<uint8_t>(sum + length * at);
        auto &byte = reinterpret_cast<uint8_t &>(record[at]);
        byte = static_cast<uint8_t>(direction > 0 ? byte + shift : byte - shift);
      }
    }
  }
}

}  // namespace

void encipher(const kdb_file &f, char *record) { apply(f, record, 1); }

void decipher(kdb_file &f) { apply(f, f.req.recbuf, -1); }

}  // namespace lumbra

using namespace lumbra;

int KDBencrypt(int id, const char *key) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return kNotOpen;
  nstrncpy(f->crypt_key, str(key), kKeyTextMax);
  return kOk;
}
