// The receiving side of a chain hand-over: files restored by KDBgetfiles sit
// in the open-file table with the kRestored flag, their engine file closed,
// until their first use opens it again.
#ifndef LUMBRA_ACCESS_CHAIN_H
#define LUMBRA_ACCESS_CHAIN_H

namespace lumbra {

struct kdb_file;

// Opens the engine file of a restored context again and puts it back where
// the handing program left it (record position and whether it had a current
// record; the record buffer came along). False when the open fails or the
// file's record length no longer fits the restored buffer; the context stays
// restored then, and the raw status is the client's last status.
bool reopen_restored(kdb_file &f);

// Closes a restored context that was never opened again: frees it and its
// record buffer and removes it from the open-file table. Returns 0.
int discard_restored(kdb_file *f);

}  // namespace lumbra

#endif
