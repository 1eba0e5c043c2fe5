// Walks the station log table the way the program reaches the layer: the
// library is loaded at run time and every function is bound by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/access_fixture.h"

namespace {

const auto *const g_env = ::testing::AddGlobalTestEnvironment(new access_test::PrivateState);

class Lumbra {
 public:
  Lumbra() : lib_(dlopen(LUMBRA_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
  ~Lumbra() {
    if (lib_ != nullptr) dlclose(lib_);
  }
  bool loaded() const { return lib_ != nullptr; }
  // The function called name, cast to the type F; null when it is missing.
  template <typename F>
  F fn(const char *name) const {
    return reinterpret_cast<F>(dlsym(lib_, name));
  }

 private:
  void *lib_;
};

TEST(Walk, StationLogThroughNamesBoundAtRunTime) {
  Lumbra lib;
  ASSERT_TRUE(lib.loaded()) << dlerror();
  using IntFn = int (*)(int);
  using OpenFn = int (*)(const char *, const char *, const char *, int, int, int);
  using HostFn = int (*)(int, const char *);
  using PutFn = int (*)(const char *, const char *, int);
  using GetFn = const char *(*)(const char *, int);
  using NavFn = int (*)(int, int);
  using WriteFn = int (*)(int, int, int);
  auto init = lib.fn<IntFn>("KDBinit");
  auto host = lib.fn<HostFn>("KDBhost");
  auto make = lib.fn<OpenFn>("KDBmake");
  auto open = lib.fn<OpenFn>("KDBopen");
  auto put = lib.fn<PutFn>("KDBcopyfput");
  auto get = lib.fn<GetFn>("KDBcopyfid");
  auto write = lib.fn<WriteFn>("KDBwrite");
  auto first = lib.fn<NavFn>("KDBfirstrec");
  auto next = lib.fn<NavFn>("KDBnextrec");
  auto close = lib.fn<IntFn>("KDBclose");
  ASSERT_TRUE(init && host && make && open && put && get && write && first && next && close);

  Scratch dir;
  access_test::write_fid(access_test::read_file(TESSALY_DATA_DIR "/Log.desc"),
                         dir.path("Log.fid"));
  std::string dat = dir.path("Log.Dat");
  int client = init(0);
  int log = client + 3;
  ASSERT_EQ(host(log, "MSNET"), 0);
  ASSERT_EQ(make(dat.c_str(), "", "", log, 3, 0), 0);
  const char *entries[][3] = {{"2612081845", "14250.00", "USB"},
                              {"2612081700", "7074.00", "FSK"},
                              {"2612082010", "3573.00", "FSK"}};
  for (const auto &e : entries) {
    ASSERT_EQ(put(e[0], "UNIKEY", log), 0);
    ASSERT_EQ(put(e[1], "FRQ", log), 0);
    ASSERT_EQ(put(e[2], "MODE", log), 0);
    ASSERT_EQ(write(log, 0, 0), 0);
  }
  ASSERT_EQ(close(log), 0);

  ASSERT_EQ(open(dat.c_str(), "", "", log, 3, 0), 0);
  std::vector<std::string> frequencies;
  for (int rc = first(log, 1); rc == 0; rc = next(log, -1)) frequencies.push_back(get("FRQ", log));
  EXPECT_EQ(frequencies, (std::vector<std::string>{"7074.00 ", "14250.00", "3573.00 "}));
  EXPECT_EQ(init(client), 0);
}

}  // namespace
