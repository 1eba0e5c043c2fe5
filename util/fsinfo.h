// What a file lives on.
//
// On a network file system (NFS, SMB) other machines' writes reach this one
// only through the server, and what one machine caches stays coherent only
// across the byte-range locks that the shared network modes take. Anything that
// relies on this machine's page cache alone (memory-mapped reads, caching in
// the default mode) is safe only on a local file system.
#ifndef CORVEX_UTIL_FSINFO_H
#define CORVEX_UTIL_FSINFO_H

namespace corvex {

// "NFS" or "SMB" when `fd` is a file on a network file system, else null
// (also when the system cannot tell).
const char *network_filesystem(int fd);

// Says once per process on stderr that `path` lives on the network file system
// `kind`, and whether the tables are opened in a mode that shares them safely.
void note_network_filesystem(const char *path, const char *kind, bool shared_mode);

}  // namespace corvex

#endif
