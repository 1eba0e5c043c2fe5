#include "engine/core/openlist.h"

#include <new>

#include "engine/core/engine.h"
#include "engine/plug.h"

namespace corvex {

int openlist_setup() {
  engine().openlist = new (std::nothrow) fhslot;
  return engine().openlist ? FHS_OK : FHS_NOMEMORY;
}

void openlist_shutdown() {
  fhslot *slot = engine().openlist;
  while (slot) {
    fhslot *next = slot->next;
    delete slot;
    slot = next;
  }
  engine().openlist = nullptr;
}

fhslot *openlist_find(const fhrequest *block) {
  if (!engine().openlist) return nullptr;
  for (fhslot *s = engine().openlist->next; s; s = s->next) {
    if (s->block == block) return s;
  }
  return nullptr;
}

int openlist_add(fhrequest *block, uint16_t openflags) {
  fhslot *tail = engine().openlist;
  if (!tail) return FHS_NOTOPEN;
  while (tail->next) tail = tail->next;
  fhslot *slot = new (std::nothrow) fhslot;
  if (!slot) return FHS_NOMEMORY;
  slot->state = SLOT_OPEN;
  slot->openflags = openflags;
  slot->block = block;
  tail->next = slot;
  return FHS_OK;
}

int openlist_remove(const fhrequest *block) {
  if (!engine().openlist) return FHS_NOTOPEN;
  for (fhslot *prev = engine().openlist; prev->next; prev = prev->next) {
    fhslot *slot = prev->next;
    if (slot->block == block) {
      prev->next = slot->next;
      delete slot;
      return FHS_OK;
    }
  }
  return FHS_NOTOPEN;
}

int openlist_use(fhrequest *block) {
  fhslot *mine = openlist_find(block);
  if (!mine) return FHS_NOTOPEN;
  for (fhslot *s = engine().openlist->next; s; s = s->next) {
    if (s != mine && s->age < UINT16_MAX) s->age++;
  }
  mine->age = 0;
  if (mine->state != SLOT_PARKED) return FHS_OK;
  if (!plug().reopen) return FHS_OPENDATA;
  return plug().reopen(mine);
}

bool openlist_index_attached(const fhrequest *block) {
  const fhslot *slot = openlist_find(block);
  return slot && (slot->openflags & OPEN_INDEX);
}

}  // namespace corvex
