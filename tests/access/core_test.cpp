// Return codes, item references and the result buffer.
#include <gtest/gtest.h>

#include <string>

#include "access/item_ref.h"
#include "access/result_buffer.h"
#include "access/return_code.h"

namespace lumbra {
namespace {

TEST(ReturnCode, EveryEngineStatusHasItsCode) {
  const struct {
    int status, code;
  } listed[] = {{0, 0},    {1, 6},    {2, 6},    {6, 21},   {7, 22},   {8, 22},
                {112, 22}, {9, 24},   {53, 24},  {19, 40},  {100, 11}, {103, 18},
                {105, 28}, {106, 27}, {107, 25}, {108, 25}, {109, 34}, {113, 117},
                {114, 118}};
  int mapped[256];
  for (int s = 0; s < 256; ++s) mapped[s] = 20;
  for (const auto &e : listed) mapped[e.status] = e.code;
  for (int s = 0; s < 256; ++s)
    EXPECT_EQ(translate_status(static_cast<uint8_t>(s)), mapped[s]) << "status " << s;
}

TEST(ItemRef, NameAndOccurrence) {
  ItemRef r = parse_item_ref("ABCDEFGHIJKLMN(3");  // cut to 10, no closing bracket needed
  EXPECT_STREQ(r.name, "ABCDEFGHIJ");
  EXPECT_EQ(r.occurrence, 3);
  r = parse_item_ref("X( -4)");
  EXPECT_EQ(r.occurrence, -4);
  r = parse_item_ref("X(abc)");
  EXPECT_EQ(r.occurrence, 0);
  r = parse_item_ref(nullptr);
  EXPECT_STREQ(r.name, "");
}

TEST(ResultBuffer, NeverOverrun) {
  std::string longer(2000, 'x');
  const char *out = result_set(longer.c_str());
  EXPECT_EQ(std::string(out).size(), kResultMax);
  out = result_set_bytes(longer.data(), longer.size());
  EXPECT_EQ(std::string(out).size(), kResultMax);
  EXPECT_STREQ(result_set_bytes("ab\0cd", 2), "ab");
  EXPECT_STREQ(result_set(nullptr), "");
  EXPECT_STREQ(result_clear(), "");
}

}  // namespace
}  // namespace lumbra
