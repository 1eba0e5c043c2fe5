// The shared key buffer: FH_KEYBUFSIZE bytes that open and make point every
// block's `keybuf` at, so all files of a process share one key buffer.
#ifndef CORVEX_ENGINE_CORE_KEYBUF_H
#define CORVEX_ENGINE_CORE_KEYBUF_H

namespace corvex {

// Allocates the zero-filled buffer. Returns 0 or 9.
int keybuf_setup();

// Frees the buffer; harmless when there is none.
void keybuf_shutdown();

// The buffer, or null before set-up.
char *shared_keybuf();

}  // namespace corvex

#endif
