#include "app/tables/lumbra.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tables {

namespace {

// The function types of the exports, as the layer declares them.
using InitFn = int(int);
using HostFn = int(int, const char *);
using OpenFn = int(const char *, const char *, const char *, int, int, int);
using PosnFn = int(int, const char *, int, const char *, int);
using ReadFn = int(int, int);
using WriteFn = int(int, int, int);
using AddFn = int(int, int);
using IdFn = int(int);
using StubFn = const char *(const char *, int, int);
using CopyFidFn = const char *(const char *, int);
using CopyFputFn = int(const char *, const char *, int);

// The layer's result buffer is overwritten by the next call: copy at once.
QByteArray copied(const char *text) { return text ? QByteArray(text) : QByteArray(); }

}  // namespace

LumbraLibrary::LumbraLibrary(std::vector<std::string> paths) : paths_(std::move(paths)) {}

std::vector<std::string> LumbraLibrary::defaultPaths() {
  std::vector<std::string> paths;
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    paths.push_back((exe.parent_path() / "liblumbra.so").string());
    paths.push_back((exe.parent_path().parent_path() / "lib" / "liblumbra.so").string());
  }
  paths.push_back("liblumbra.so");
  return paths;
}

void *LumbraLibrary::symbol(const char *name) {
  const auto found = symbols_.find(name);
  if (found != symbols_.end()) return found->second;
  if (!triedLoad_) {
    triedLoad_ = true;
    std::string errors;
    for (const std::string &path : paths_) {
      handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle_) break;
      const char *why = dlerror();
      errors += std::string("\n  ") + (why ? why : path.c_str());
    }
    if (!handle_) std::fprintf(stderr, "tessaly: cannot load the record layer:%s\n", errors.c_str());
  }
  void *address = nullptr;
  if (handle_) {
    dlerror();
    address = dlsym(handle_, name);
    if (!address) {
      const char *why = dlerror();
      std::fprintf(stderr, "tessaly: %s\n", why ? why : name);
    }
  }
  symbols_.emplace(name, address);
  return address;
}

int LumbraLibrary::init(int client) {
  auto *f = kdb<InitFn>(kInit);
  return f ? f(client) : kUnavailable;
}

int LumbraLibrary::host(int id, const QByteArray &name) {
  auto *f = kdb<HostFn>(kHost);
  return f ? f(id, name.constData()) : kUnavailable;
}

int LumbraLibrary::open(const QByteArray &datname, int id, int type, int mode) {
  auto *f = kdb<OpenFn>(kOpen);
  return f ? f(datname.constData(), "", "", id, type, mode) : kUnavailable;
}

int LumbraLibrary::posn(int id, const QByteArray &key, int keyno, int flags) {
  auto *f = kdb<PosnFn>(kPosn);
  return f ? f(id, key.constData(), keyno, "", flags) : kUnavailable;
}

int LumbraLibrary::read(int id, int flag) {
  auto *f = kdb<ReadFn>(kRead);
  return f ? f(id, flag) : kUnavailable;
}

int LumbraLibrary::write(int id, int count, int flag) {
  auto *f = kdb<WriteFn>(kWrite);
  return f ? f(id, count, flag) : kUnavailable;
}

int LumbraLibrary::add(int id, int flag) {
  auto *f = kdb<AddFn>(kAdd);
  return f ? f(id, flag) : kUnavailable;
}

int LumbraLibrary::lock(int id) {
  auto *f = kdb<IdFn>(kLock);
  return f ? f(id) : kUnavailable;
}

int LumbraLibrary::unlock(int id) {
  auto *f = kdb<IdFn>(kUnlock);
  return f ? f(id) : kUnavailable;
}

int LumbraLibrary::others(int id) {
  auto *f = kdb<IdFn>(kOthers);
  return f ? f(id) : 0;
}

int LumbraLibrary::close(int id) {
  auto *f = kdb<IdFn>(kClose);
  return f ? f(id) : kUnavailable;
}

int LumbraLibrary::remove(int id) {
  auto *f = kdb<IdFn>(kFree);
  return f ? f(id) : kUnavailable;
}

QByteArray LumbraLibrary::itemStub(const QByteArray &name, int id, int occ) {
  auto *f = kdb<StubFn>(kItemStub);
  return f ? copied(f(name.constData(), id, occ)) : QByteArray();
}

QByteArray LumbraLibrary::copyFid(const QByteArray &ref, int id) {
  auto *f = kdb<CopyFidFn>(kCopyFid);
  return f ? copied(f(ref.constData(), id)) : QByteArray();
}

int LumbraLibrary::copyFput(const QByteArray &text, const QByteArray &ref, int id) {
  auto *f = kdb<CopyFputFn>(kCopyFput);
  return f ? f(text.constData(), ref.constData(), id) : kUnavailable;
}

}  // namespace tables
