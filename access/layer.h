// Pieces that the KDB functions share: argument conversion, the per-program
// settings, the lookup of open files and the bookkeeping of engine results.
#ifndef LUMBRA_ACCESS_LAYER_H
#define LUMBRA_ACCESS_LAYER_H

#include <cstdint>

#include "access/kdb_file.h"

namespace lumbra {

// Integer arguments of the KDB functions count in their low 16 bits.
inline uint16_t arg16(int v) { return static_cast<uint16_t>(v); }
inline int16_t sarg16(int v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }
// A null string argument counts as "".
inline const char *str(const char *s) { return s != nullptr ? s : ""; }

// Settings of this program.
struct Settings {
  uint16_t hdrtries = 100;      // header lock tries given to files opened later
  uint16_t rectries = 100;      // record lock tries given to files opened later
  uint16_t autosecure = 0;      // secure a file after this many writes; 0 = never
};
Settings &settings();

// Clears the last status of the client that id belongs to.
void clear_status(int id);

// Stores the status that the last request on block r left as the last status
// of the client of id, and returns its translated code.
int settle(int id, const fhrequest &r);
inline int settle(const kdb_file &f) { return settle(f.id, f.req); }

// The context of an open file id, or null. A context restored from a
// hand-over is opened again first; when that fails the id counts as not open.
kdb_file *lookup(int id);

// The open step that KDBopen, KDBmake and KDBtmpidx share, with engine
// opcode FHOP_OPEN, FHOP_MAKE or FHOP_TEMPINDEX (whose key expression is
// selection, up to 200 characters): registers a new context for id, with its
// record buffer ready. Returns a code and, on success (0, or 117 for a file
// opened after an unfinished update), the context at out.
constexpr int kSelectionMax = 200;
int open_common(const char *dat, const char *fid, const char *idx, int id, int type, int mode,
                uint8_t opcode, kdb_file **out, const char *selection = nullptr);

// Closes one open file: writes the last block of an output file, closes the
// companion and the file, frees the context and removes the id from the
// table (even when a step fails). Returns the close's code, else the write's.
int close_file(kdb_file *f);

// Positions a file at its start: the lowest key, or record number 0. Nothing
// for a text file. Returns the code of the position request.
int position_at_start(kdb_file &f);

// Reads the record the file is positioned on, staying on it, and sets the
// buffer position after the status byte. Returns a return code.
int read_found(kdb_file &f);

}  // namespace lumbra

#endif
