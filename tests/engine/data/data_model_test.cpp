// Keyed records with several secondary keys against an in-memory model:
// random adds, rewrites and deletes, and after every batch each key order
// must be the model's.
#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/data_fixture.h"
#include "tests/support/scratch.h"

namespace {

struct Fields {
  std::string f[3];
  std::string note;
};

std::string pad(const std::string &s, size_t n) { return (s + std::string(n, ' ')).substr(0, n); }

// Fixed or variable length, single-user or shared mode.
class DataModelTest : public ::testing::TestWithParam<std::tuple<bool, const char *>> {
 protected:
  bool varlen() const { return std::get<0>(GetParam()); }
  int base() const { return varlen() ? 5 : 1; }

  std::string description() const {
    int o = varlen() ? 4 : 0;
    std::string d = varlen() ? "length 44\nvarlen\n" : "length 40\n";
    d += "item CODE C " + std::to_string(o) + " 8\n";
    for (int i = 0; i < 3; i++) d += "item F" + std::to_string(i + 1) + " C " + std::to_string(o + 8 + 6 * i) + " 6\n";
    d += "item NOTE C " + std::to_string(o + 26) + " 14\n";
    d += "key CODE\nkey F1\nkey F2\nkey F3\n";
    return d;
  }

  void put(Table &t, const std::string &code, const Fields &r) {
    t.clear();
    t.put(base(), pad(code, 8));
    for (int i = 0; i < 3; i++) t.put(base() + 8 + 6 * i, pad(r.f[i], 6));
    t.put(base() + 26, pad(r.note, 14));
  }

  // The codes along key `k` (0-based) as the model orders them.
  std::vector<std::string> expected(int k) const {
    std::vector<std::pair<std::string, std::string>> order;
    for (const auto &[code, r] : model_) order.push_back({k == 0 ? "" : pad(r.f[k - 1], 6), pad(code, 8)});
    std::sort(order.begin(), order.end());
    std::vector<std::string> out;
    for (const auto &p : order) out.push_back(p.second);
    return out;
  }

  std::vector<std::string> walk(Table &t, int k) {
    std::vector<std::string> out;
    EXPECT_EQ(t.setkey(k + 1), FHS_OK);
    EXPECT_EQ(t.position_key(""), FHS_OK);
    while (t.positioned()) {
      int status = t.op(FHOP_READ);
      EXPECT_EQ(status, FHS_OK);
      if (status != FHS_OK) break;
      out.push_back(t.get(base(), 8));
      const Fields &r = model_[trim(out.back())];
      EXPECT_EQ(t.get(base() + 8, 18), pad(r.f[0], 6) + pad(r.f[1], 6) + pad(r.f[2], 6)) << out.back();
      EXPECT_EQ(t.get(base() + 26, 14), pad(r.note, 14));
    }
    return out;
  }

  static std::string trim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }

  std::map<std::string, Fields> model_;
};

TEST_P(DataModelTest, EveryKeyOrderMatchesTheModel) {
  Scratch scratch;
  EngineSession session(std::get<1>(GetParam()));
  write_fid(scratch.path("M.fid"), description());
  Table t;
  ASSERT_EQ(t.make(scratch.path("M.dat")), FHS_OK);
  std::mt19937 rng(20240611);
  auto pick = [&](const char *alphabet, int maxlen) {
    std::string s;
    int n = 1 + static_cast<int>(rng() % maxlen);
    for (int i = 0; i < n; i++) s += alphabet[rng() % strlen(alphabet)];
    return s;
  };
  for (int batch = 0; batch < 12; batch++) {
    for (int i = 0; i < 60; i++) {
      std::string code = pick("ABCDEFGHIJ", 3);
      int what = static_cast<int>(rng() % 10);
      if (what < 7) {
        Fields r{{pick("XYZ", 2), pick("PQRS", 3), pick("MN", 6)}, pick("abcdefg ", 14)};
        put(t, code, r);
        ASSERT_EQ(t.op(FHOP_WRITE), FHS_OK) << code;
        model_[code] = r;
      } else {
        put(t, code, Fields{});
        int status = t.op(FHOP_DELETE);
        ASSERT_EQ(status, model_.count(code) ? FHS_OK : FHS_NORECORD) << code;
        model_.erase(code);
      }
    }
    for (int k = 0; k < 4; k++) ASSERT_EQ(walk(t, k), expected(k)) << "batch " << batch << " key " << k;
  }
  // The same after the file set is closed and opened again.
  ASSERT_EQ(t.close(), FHS_OK);
  ASSERT_EQ(t.open(scratch.path("M.dat")), FHS_OK);
  for (int k = 0; k < 4; k++) EXPECT_EQ(walk(t, k), expected(k)) << "key " << k;
}

INSTANTIATE_TEST_SUITE_P(Layouts, DataModelTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values("SINGLE", "MSNET")));

}  // namespace
