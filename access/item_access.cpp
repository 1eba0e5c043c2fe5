#include "access/item_access.h"

#include <string.h>

#include "engine/fid/fid.h"
#include "engine/rfhitem.h"

namespace lumbra {

const fhitemdef *item_def(const fhrequest &r, int n) {
  if (r.itemdefs == nullptr || n < 0 || n >= r.nitems) return nullptr;
  return &r.itemdefs[n];
}

int item_number(fhrequest &r, const char *name) { return _fhfidoffset(&r, name); }

namespace {
// The entry of the named item when occ is one of its occurrences.
const fhitemdef *occurrence_def(fhrequest &r, const char *name, int occ) {
  const fhitemdef *def = item_def(r, item_number(r, name));
  if (def == nullptr || occ < 0 || occ >= def->count) return nullptr;
  return def;
}
}  // namespace

bool get_item_text(fhrequest &r, const char *name, int occ, std::string *out) {
  const fhitemdef *def = occurrence_def(r, name, occ);
  if (def == nullptr) return false;
  out->assign(def->length + 1u, '\0');
  if (_rfhitemget(&r, name, occ, out->data()) != 0) return false;
  out->resize(strlen(out->c_str()));
  return true;
}

bool set_item_text(fhrequest &r, const char *name, int occ, const char *text) {
  if (occurrence_def(r, name, occ) == nullptr) return false;
  return _rfhitemset(&r, name, occ, text) == 0;
}

}  // namespace lumbra
