// How sequential text access moves whole blocks of the record buffer to and
// from its file. The layer's real implementation drives the engine; tests use
// a fake over memory.
#ifndef LUMBRA_ACCESS_BLOCK_IO_H
#define LUMBRA_ACCESS_BLOCK_IO_H

namespace lumbra {

struct kdb_file;

class BlockIO {
 public:
  virtual ~BlockIO() = default;
  // Reads the file's next block (reclen bytes) into the record buffer.
  // Returns a return code (0 on success).
  virtual int read_block(kdb_file &f) = 0;
  // Writes the record buffer (reclen bytes) as the file's next block.
  // Returns a return code (0 on success).
  virtual int write_block(kdb_file &f) = 0;
};

// The implementation over the engine: read and write requests on the file's
// request block, with the read and write flag clear. A failure leaves the raw
// status as the client's last status and returns its translated code.
BlockIO &engine_block_io();

}  // namespace lumbra

#endif
