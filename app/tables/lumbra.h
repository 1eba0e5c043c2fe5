// LumbraLibrary: the program's one route to its libraries. One object is
// made at start-up and handed to whoever needs a library function: the
// tables (as their KdbApi), the log's word index, the table checks and the
// backups. It loads liblumbra at run time, which brings libcorvex with it,
// on the first call, and looks each function up by name on its own first
// call; the program links neither library. When the library or a function
// cannot be found, the loader's message goes to stderr once and that call
// (and every later one of it) answers kUnavailable, 0 for others() and ""
// for texts. The library stays loaded for the life of the process, since
// the program keeps its tables open to the end.
#ifndef TESSALY_APP_TABLES_LUMBRA_H
#define TESSALY_APP_TABLES_LUMBRA_H

#include <array>
#include <map>
#include <string>
#include <vector>

#include "app/tables/kdbapi.h"

namespace tables {

class LumbraLibrary : public KdbApi {
public:
  // The code of calls that could not be bound: the layer's "cannot open".
  static constexpr int kUnavailable = KDB_CANNOT_OPEN;

  // Tries `paths` in order; a path without "/" goes through the normal
  // library search.
  explicit LumbraLibrary(std::vector<std::string> paths);
  // liblumbra.so beside the running program, then in ../lib of it, then
  // through the normal library search.
  static std::vector<std::string> defaultPaths();

  LumbraLibrary(const LumbraLibrary &) = delete;
  LumbraLibrary &operator=(const LumbraLibrary &) = delete;

  int init(int client) override;
  int host(int id, const QByteArray &name) override;
  int open(const QByteArray &datname, int id, int type, int mode) override;
  int posn(int id, const QByteArray &key, int keyno, int flags) override;
  int read(int id, int flag) override;
  int write(int id, int count, int flag) override;
  int add(int id, int flag) override;
  int lock(int id) override;
  int unlock(int id) override;
  int others(int id) override;
  int close(int id) override;
  int remove(int id) override;
  QByteArray itemStub(const QByteArray &name, int id, int occ) override;
  QByteArray copyFid(const QByteArray &ref, int id) override;
  int copyFput(const QByteArray &text, const QByteArray &ref, int id) override;

  // True once the library has been opened.
  bool loaded() const { return handle_ != nullptr; }

  // The address of function `name`, or null (reported once). Exports of
  // libcorvex, which the layer's library loads with it, are found too.
  void *symbol(const char *name);
  template <class F>
  F *bind(const char *name) {
    return reinterpret_cast<F *>(symbol(name));
  }

private:
  // The KDB functions of the KdbApi, each bound once: listings call them
  // for every record.
  enum Function {
    kInit, kHost, kOpen, kPosn, kRead, kWrite, kAdd, kLock, kUnlock, kOthers, kClose, kFree, kItemStub, kCopyFid,
    kCopyFput, kFunctions
  };
  template <class F>
  F *kdb(Function f) {
    static constexpr const char *kNames[kFunctions] = {
        "KDBinit", "KDBhost", "KDBopen", "KDBposn", "KDBread",  "KDBwrite",       "KDBadd",     "KDBrlock",
        "KDBrunlock", "KDBothers", "KDBclose", "KDBfree", "KDBfiditemstub", "KDBcopyfid", "KDBcopyfput"};
    if (!kdb_[f]) kdb_[f] = symbol(kNames[f]);
    return reinterpret_cast<F *>(kdb_[f]);
  }

  std::vector<std::string> paths_;
  void *handle_ = nullptr;
  bool triedLoad_ = false;
  std::map<std::string, void *> symbols_;  // null entries: looked up and missing
  std::array<void *, kFunctions> kdb_ = {};
};

}  // namespace tables

#endif
