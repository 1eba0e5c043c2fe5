// The file set a maintenance run works on and the steps every action shares:
// names, the description, the data file and its header, key texts for the
// Current line and record locks in network use.
//
// The actions work on the files directly through a request block of their
// own, which is never registered in the open-file list: `datfd` and `idxfd`
// are the run's own handles, so that the engine's record and index helpers
// can be used on them.
#ifndef CORVEX_ENGINE_MAINTENANCE_MAINTFILES_H
#define CORVEX_ENGINE_MAINTENANCE_MAINTFILES_H

#include <stdint.h>

#include <string>

#include "engine/fhrequest.h"
#include "engine/maintenance/report.h"

namespace corvex {

// What the caller of filemaint named.
struct MaintNames {
  std::string data;
  std::string fid;    // "" = the data file's name with ".fid"
  std::string index;  // "" = derived: ".idx", or ".hsh" for hashed files
  int flags = 0;      // FM_ flags of engine/maintenance/filemaint.h
};

// Copies `name` into a name field of a request block. False when it is
// empty or does not fit.
bool put_block_name(char *field, const std::string &name);

// Runs `opcode` on `block` through the engine's entry point; the status.
int run_opcode(fhrequest *block, uint8_t opcode);

// The FID file name: the one given, or derived from the data file's.
std::string fid_name_of(const MaintNames &names);

// The index or hash file name for a block whose description is loaded.
std::string index_name_of(const MaintNames &names, const fhrequest *block);

// Loads the description into the zeroed `block`; `datname` is set too when
// it fits. Returns 0 or the loader's status (6 when the name does not fit
// the block).
int load_description(fhrequest *block, const MaintNames &names);

// "Hashed with N table entries.", "Indexed on N key(s).", or "Random.",
// with " Variable length records." appended for variable-length records.
std::string file_type_text(const fhrequest *block);

// Shows "Opening data file..." and opens the data file for reading (and
// with `writing` for writing too) into `datfd`. With `exclusive` no other
// program may have it open in any mode (RECOVER and PACK replace its files).
// Returns 0 or 1.
int open_data(MaintReport &report, fhrequest *block, const std::string &name, bool exclusive,
              bool writing = false);

// Shows "Reading data file header..." and reads the header record (under
// the header lock in network use). Sets `count` to its record count and
// FH_VARLEN from its first byte. Returns 0, 3 when nothing (or no count)
// could be read, or 3 after showing "Error: Data/FID record length
// mismatch." when it does not end with a line feed.
int read_data_header(MaintReport &report, fhrequest *block, bool network, uint32_t *count);

// The record image of stored record `stored` (`len` bytes): unpacked for
// variable-length records, copied otherwise. `image` holds `reclen` bytes.
void record_image(fhrequest *block, const char *stored, uint32_t len, char *image);

// Key `k` of `image` as shown on the Current line: its own part, without
// trailing spaces.
std::string key_shown(fhrequest *block, int k, char *image);

// Takes the header lock of the data file in network use: 100 tries, 20 ms
// apart. Returns 0 or 108. unlock_header lets it go.
int lock_header(fhrequest *block);
void unlock_header(fhrequest *block);

// Locks the record at `pos` in network use: 100 tries, 20 ms apart. False
// when another program holds it throughout.
bool lock_record(fhrequest *block, uint32_t pos);
void unlock_record(fhrequest *block, uint32_t pos);

// Closes the run's handles (dropping what the engine cached for them) and
// frees the description tables.
void close_files(fhrequest *block);

}  // namespace corvex

#endif
