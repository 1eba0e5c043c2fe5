// Item reference texts: NAME, NAME(3) or NAME[3].
#ifndef LUMBRA_ACCESS_ITEM_REF_H
#define LUMBRA_ACCESS_ITEM_REF_H

namespace lumbra {

constexpr int kItemNameMax = 10;

struct ItemRef {
  char name[kItemNameMax + 1];  // the text before the first '(' or '[', cut to 10
  int occurrence;               // the number after the bracket, 0 without one
};

// Splits ref (null counts as ""). The occurrence is read like strtol: leading
// white space, an optional sign, digits up to the first non-digit; no digits
// give 0, and the closing bracket is not needed.
ItemRef parse_item_ref(const char *ref);

}  // namespace lumbra

#endif
