#include "access/block_io.h"

#include "access/kdb_file.h"
#include "access/layer.h"
#include "engine/rfh.h"
#include "access/return_code.h"

namespace lumbra {
namespace {

class EngineBlockIO final : public BlockIO {
 public:
  int read_block(kdb_file &f) override {
    return _rfhread(&f.req, 0) == 0 ? kOk : settle(f);
  }
  int write_block(kdb_file &f) override {
    return _rfhwrite(&f.req, 0) == 0 ? kOk : settle(f);
  }
};

}  // namespace

BlockIO &engine_block_io() {
  static EngineBlockIO io;
  return io;
}

}  // namespace lumbra
