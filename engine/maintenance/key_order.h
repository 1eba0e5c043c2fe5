// The active records of a data file in the order of one key, for a PACK
// that writes them in that order (FM_BYKEY): while the old file is walked,
// each record that goes to the new file is noted with its key text, its
// position and its stored length; once the walk is over the notes are
// sorted by key and the records are read again in that order.
//
// The key texts are kept in memory: about the key length plus 12 bytes a
// record. Records with equal keys keep the order they were noted in, so a
// later copy of a record still follows an earlier one, as in the walk.
#ifndef CORVEX_ENGINE_MAINTENANCE_KEY_ORDER_H
#define CORVEX_ENGINE_MAINTENANCE_KEY_ORDER_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "engine/fhrequest.h"

namespace corvex {

class KeyOrder {
 public:
  // Where a noted record lies in the old data file.
  struct Place {
    uint32_t pos;
    uint32_t len;
  };

  // Keys are built and compared by `block`'s description (kept by the
  // caller for the object's life) as key `keynum`.
  KeyOrder(fhrequest *block, int keynum);

  // Notes the record at `pos`, `len` stored bytes, whose image is `image`.
  // False when memory runs out or the key does not fit a key text.
  bool note(char *image, uint32_t pos, uint32_t len);

  // Sorts the notes by key. Needs no memory beyond what the notes hold.
  void sort();

  size_t size() const { return notes_.size(); }
  Place place(size_t i) const { return {notes_[i].pos, notes_[i].len}; }

 private:
  struct Note {
    uint32_t pos;
    uint32_t len;
    uint32_t key;  // the note's number: its text is at key * keylen_
  };

  fhrequest *block_;
  int keynum_;
  int keylen_;
  std::vector<char> keys_;
  std::vector<Note> notes_;
};

}  // namespace corvex

#endif
