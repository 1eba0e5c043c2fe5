// What the open of a file set mends of an update that a kill, a full disk
// or a power cut did not let finish.
//
// Every update writes its record before the keys that lead to it and the
// data header's count last, so what such an end leaves is found past the
// count: records without all their keys, the new copy of a record that
// moved while its older copy is still active, and the start of a record
// that was being appended. The open mends these under the header lock, in
// time proportional to what it finds. An index whose single-user holder
// ended before its checkpoint cannot be mended so: it is built again from
// the data file, when the opener can hold the file alone.
#ifndef CORVEX_ENGINE_OPS_HEAL_H
#define CORVEX_ENGINE_OPS_HEAL_H

#include "engine/data/datafile.h"
#include "engine/fhrequest.h"

namespace corvex {

// Mends the file set of `block`, just opened, whose data header was read
// with `tail`; the caller holds the header lock. Sets *unfinished when
// something is left that the open reports with 113: a handle that cannot
// write, damage before the end of the data file (reported, never cut
// away), or an index to build again while another holder has the file.
// Returns 0 or the status of a failing read or write.
int heal_open(fhrequest *block, const DataTail &tail, bool *unfinished);

// Gives the active record at `pos`, whose image is `image`, every entry it
// lacks; an older copy of the record (another active record with its key 0,
// earlier in the file) is taken out, a newer one keeps its place and the
// record at `pos` goes. Returns 0 or a status.
int heal_record(fhrequest *block, uint32_t pos, char *image);

// A move of `block` that failed between its copies and could not be
// finished at once (the file calls keep failing): the newer copy at `pos`
// is mended by the block's next update, or marked for the next open's
// rebuild when the block closes first.
void heal_later(fhrequest *block, uint32_t pos);

// Mends what heal_later noted for the block, under the header lock.
// Returns 0 or the status of the mending, which the update then answers.
int heal_noted(fhrequest *block);

// The block closes: what is still noted marks the index pending.
void heal_close(fhrequest *block);

}  // namespace corvex

#endif
