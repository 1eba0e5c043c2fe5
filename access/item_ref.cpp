#include "access/item_ref.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace lumbra {

ItemRef parse_item_ref(const char *ref) {
  ItemRef out{};
  if (ref == nullptr) return out;
  size_t name_len = strcspn(ref, "([");
  size_t keep = name_len < kItemNameMax ? name_len : kItemNameMax;
  memcpy(out.name, ref, keep);
  out.name[keep] = '\0';
  if (ref[name_len] != '\0') {
    long n = strtol(ref + name_len + 1, nullptr, 10);
    // Occurrences are 16-bit like every integer argument of the layer.
    out.occurrence = static_cast<int16_t>(n);
  }
  return out;
}

}  // namespace lumbra
