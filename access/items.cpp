// Items of a record buffer addressed by name, reference or number.
#include <cstring>
#include <string>

#include "access/item_access.h"
#include "access/item_ref.h"
#include "access/kdb.h"
#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/result_buffer.h"
#include "access/return_code.h"

using namespace lumbra;

namespace {

// Stores text into an item; with pos 1 or more the text replaces the item's
// characters from character pos on (the store drops what ends up beyond the
// item's length). Returns 0 or -1.
int store_item(fhrequest &r, const char *name, int occ, const char *text, int pos, bool check) {
  text = str(text);
  if (pos < 1) return set_item_text(r, name, occ, text) ? 0 : -1;
  std::string combined;
  if (!get_item_text(r, name, occ, &combined) && check) return -1;
  size_t at = static_cast<size_t>(pos) - 1;
  if (combined.size() < at) combined.resize(at, ' ');
  size_t n = strlen(text);
  combined.replace(at, std::min(n, combined.size() - at), text, n);
  return set_item_text(r, name, occ, combined.c_str()) ? 0 : -1;
}

// The name of item number n of a description, terminated.
void item_name(const fhitemdef &def, char (&name)[kItemNameMax + 1]) {
  memcpy(name, def.name, kItemNameMax);
  name[kItemNameMax] = '\0';
}

}  // namespace

const char *KDBfiditemstub(const char *name, int id, int occ) {
  kdb_file *f = lookup(id);
  // Listings call this for every item of every record: the text's room is
  // kept from call to call, as the result buffer is.
  static std::string text;
  if (f == nullptr || !get_item_text(f->req, str(name), sarg16(occ), &text)) return result_clear();
  return result_set(text.c_str());
}

int KDBfput(const char *text, const char *name, int id, int occ, int pos) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return 0;
  return store_item(f->req, str(name), sarg16(occ), text, sarg16(pos), true);
}

void KDBfoput(const char *text, int itemno, int id, int occ, int pos) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return;
  const fhitemdef *def = item_def(f->req, sarg16(itemno));
  if (def == nullptr) return;
  char name[kItemNameMax + 1];
  item_name(*def, name);
  store_item(f->req, name, sarg16(occ), text, sarg16(pos), false);
}

const char *KDBcopyfid(const char *ref, int id) {
  ItemRef r = parse_item_ref(ref);
  return KDBfiditemstub(r.name, id, r.occurrence);
}

int KDBcopyfput(const char *text, const char *ref, int id) {
  ItemRef r = parse_item_ref(ref);
  return KDBfput(text, r.name, id, r.occurrence, 0);
}

const char *KDBfid(int id, int itemno, int occ) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return result_clear();
  const fhitemdef *def = item_def(f->req, sarg16(itemno));
  int k = sarg16(occ);
  if (def == nullptr || k < 0 || k >= def->count) return result_clear();
  size_t at = def->offset + static_cast<size_t>(k) * def->length;
  if (at + def->length > f->req.reclen) return result_clear();
  return result_set_bytes(f->req.recbuf + at, def->length);
}

int KDBfidoffset(const char *name, int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return -1;
  return item_number(f->req, str(name));
}

int KDBismemo(int id) {
  kdb_file *f = lookup(id);
  if (f == nullptr) return 0;
  const fhrequest &r = f->req;
  for (int n = 0; const fhitemdef *def = item_def(r, n); ++n) {
    if (def->type != 'Z') continue;
    return def->offset < r.reclen && r.recbuf[def->offset] != ' ' ? 1 : 0;
  }
  return 0;
}

int KDBcopy(int src, int dst) {
  kdb_file *from = lookup(src);
  kdb_file *to = lookup(dst);
  if (from == nullptr || to == nullptr) return kNotOpen;
  std::string text;
  for (int n = 0; const fhitemdef *def = item_def(from->req, n); ++n) {
    char name[kItemNameMax + 1];
    item_name(*def, name);
    const fhitemdef *target = item_def(to->req, item_number(to->req, name));
    if (target == nullptr) continue;
    for (int k = 0; k < def->count && k < target->count; ++k) {
      if (get_item_text(from->req, name, k, &text)) set_item_text(to->req, name, k, text.c_str());
    }
  }
  return kOk;
}
