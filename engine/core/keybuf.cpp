#include "engine/core/keybuf.h"

#include "engine/core/engine.h"
#include "util/memory.h"

namespace corvex {

int keybuf_setup() {
  engine().keybuf = static_cast<char *>(globalcalloc(FH_KEYBUFSIZE, 1));
  return engine().keybuf ? FHS_OK : FHS_NOMEMORY;
}

void keybuf_shutdown() {
  globalmfree(engine().keybuf);
  engine().keybuf = nullptr;
}

char *shared_keybuf() { return engine().keybuf; }

}  // namespace corvex
