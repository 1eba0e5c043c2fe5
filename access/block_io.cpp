#include "access/block_io.h"

#include "access/kdb_file.h"
#include "access/layer.h"
#include "access/request.h"
#include "access/return_code.h"

namespace lumbra {
namespace {

class EngineBlockIO final : public BlockIO {
 public:
  int read_block(kdb_file &f) override {
    return send_read(f.req, false) ? kOk : settle(f);
  }
  int write_block(kdb_file &f) override {
    return send_write(f.req, false) ? kOk : settle(f);
  }
};

}  // namespace

BlockIO &engine_block_io() {
  static EngineBlockIO io;
  return io;
}

}  // namespace lumbra
