// Item text of a record buffer, through the engine's item functions. Unlike
// them these never write past a buffer of the layer: the text comes back as a
// string of the item's full length.
#ifndef LUMBRA_ACCESS_ITEM_ACCESS_H
#define LUMBRA_ACCESS_ITEM_ACCESS_H

#include <string>

#include "engine/fhrequest.h"

namespace lumbra {

// The entry of item number n, or null when n is not below the item count.
const fhitemdef *item_def(const fhrequest &r, int n);

// The number of the named item, or -1.
int item_number(fhrequest &r, const char *name);

// The text of occurrence occ of the named item (up to its first zero byte).
// Returns false for an unknown name or an occurrence out of range.
bool get_item_text(fhrequest &r, const char *name, int occ, std::string *out);

// Stores text into occurrence occ of the named item, padded, cut and
// justified as the item asks. Returns false for an unknown name or an
// occurrence out of range.
bool set_item_text(fhrequest &r, const char *name, int occ, const char *text);

}  // namespace lumbra

#endif
