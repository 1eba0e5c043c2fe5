#include "tests/support/scratch.h"
#include "util/names.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Parts {
  std::string dir, name, ext;
};

Parts split(const char *path) {
  std::vector<char> d(std::strlen(path) + 1), n(d.size()), e(d.size());
  split_name(path, d.data(), n.data(), e.data());
  return {d.data(), n.data(), e.data()};
}

std::string abbr(const char *path, int max) {
  std::string t(static_cast<size_t>(max > 0 ? max : 0) + 2, '#');
  abbrname(path, max, t.data());
  EXPECT_EQ(t.back(), '#') << "wrote past max + 1 bytes";
  std::string result = t.c_str();
  EXPECT_LE(result.size(), static_cast<size_t>(max > 0 ? max : 0));
  return result;
}

TEST(Names, CreatName) {
  char t[64];
  EXPECT_STREQ(creat_name(t, "C:\\DIR", "FILE", "TXT"), "C:\\DIR\\FILE.TXT");
  EXPECT_STREQ(creat_name(t, "", "FILE", ".TXT"), "FILE.TXT");
  EXPECT_STREQ(creat_name(t, "/var/data", "Log", "fid"), "/var/data/Log.fid");
  EXPECT_STREQ(creat_name(t, "data/", "Log", ""), "data/Log");
  EXPECT_STREQ(creat_name(t, "C:", "X", "Y"), "C:X.Y");
  EXPECT_STREQ(creat_name(t, nullptr, "a", nullptr), "a");
  std::strcpy(t, "dir");
  EXPECT_STREQ(creat_name(t, t, "n", "e"), "dir/n.e");  // target may be the directory
}

TEST(Names, SplitName) {
  Parts p = split("C:\\DIR\\FILE.TXT");
  EXPECT_EQ(p.dir, "C:\\DIR\\");
  EXPECT_EQ(p.name, "FILE");
  EXPECT_EQ(p.ext, "TXT");
  p = split("/home/op/Log.Dat");
  EXPECT_EQ(p.dir, "/home/op/");
  EXPECT_EQ(p.name, "Log");
  EXPECT_EQ(p.ext, "Dat");
  p = split("a.b.c");
  EXPECT_EQ(p.dir, "");
  EXPECT_EQ(p.name, "a");
  EXPECT_EQ(p.ext, "b.c");
  p = split("C:name");
  EXPECT_EQ(p.dir, "C:");
  EXPECT_EQ(p.name, "name");
  p = split("dir.x/plain");
  EXPECT_EQ(p.dir, "dir.x/");
  EXPECT_EQ(p.name, "plain");
  EXPECT_EQ(p.ext, "");
  char name[8];
  split_name("x/y.z", nullptr, name, nullptr);  // unwanted parts may be null
  EXPECT_STREQ(name, "y");
}

TEST(Names, Abbrname) {
  EXPECT_EQ(abbr("/a/b/c.txt", 20), "/a/b/c.txt");
  EXPECT_EQ(abbr("abcdefghij", 6), "...hij");
  EXPECT_EQ(abbr("C:\\one\\two\\three\\file.txt", 20), "C:\\one\\...\\file.txt");
  EXPECT_EQ(abbr("/usr/local/share/data/Log.Dat", 22), "/usr/local/.../Log.Dat");
  EXPECT_EQ(abbr("/verylongdirectory/file.txt", 14), "/.../file.txt");
  EXPECT_EQ(abbr("dir/averyveryverylongname.txt", 12), "...gname.txt");  // no directory fits
  EXPECT_EQ(abbr("abcdef", 3), "def");
  EXPECT_EQ(abbr("abcdef", 0), "");
}

TEST(Names, Mrdname) {
  EXPECT_EQ(mrdname("FRQ"), 1);
  EXPECT_EQ(mrdname("_x9"), 1);
  EXPECT_EQ(mrdname("9x"), 0);
  EXPECT_EQ(mrdname(""), 0);
  EXPECT_EQ(mrdname("A-B"), 0);
  EXPECT_EQ(mrdname("ABCDEFGHIJ-K"), 1);  // after the tenth nothing is looked at
  EXPECT_EQ(mrdname("ABCDEFGHI-"), 0);
}

class Directory : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.made()); }
  void file(const std::string &name, size_t size) { std::ofstream(root + "/" + name) << std::string(size, 'x'); }
  std::vector<std::string> find(const std::string &pattern, int dirs) {
    std::vector<std::string> names;
    int32_t size;
    unsigned char stamp[6];
    for (const char *n = cfindfirst((root + "/" + pattern).c_str(), dirs, &size, stamp); n; n = cfindnext(&size, stamp))
      names.push_back(n);
    return names;
  }
  Scratch scratch_;
  const std::string &root = scratch_.dir();
};

TEST_F(Directory, MakeAndRemove) {
  std::string d = root + "/sub";
  EXPECT_EQ(makedir(d.c_str()), 0);
  EXPECT_EQ(makedir(d.c_str()), -1);
  file("sub/f", 1);
  EXPECT_EQ(removdir(d.c_str()), -1);  // not empty
  unlink((d + "/f").c_str());
  EXPECT_EQ(removdir(d.c_str()), 0);
  EXPECT_EQ(removdir(d.c_str()), -1);
  EXPECT_EQ(makedir(""), -1);
}

TEST_F(Directory, FindMatchesNamesAndMarksDirectories) {
  file("b.dat", 10);
  file("a.dat", 3);
  file("notes", 5);
  file("A.DAT", 1);
  ASSERT_EQ(makedir((root + "/sub.dat").c_str()), 0);
  EXPECT_EQ(find("*.dat", 0), (std::vector<std::string>{"a.dat", "b.dat"}));
  EXPECT_EQ(find("*.dat", 1), (std::vector<std::string>{"a.dat", "b.dat", "sub.dat/"}));
  EXPECT_EQ(find("*.*", 0), (std::vector<std::string>{"A.DAT", "a.dat", "b.dat", "notes"}));
  EXPECT_EQ(find("?.dat", 0), (std::vector<std::string>{"a.dat", "b.dat"}));
  EXPECT_EQ(find("none*", 1), std::vector<std::string>{});
  EXPECT_EQ(cfindnext(nullptr, nullptr), nullptr);
  EXPECT_EQ(cfindfirst((root + "/missing/*").c_str(), 1, nullptr, nullptr), nullptr);
}

TEST_F(Directory, FindReportsSizeAndStamp) {
  file("f.txt", 1234);
  struct tm t {};
  t.tm_year = 2003 - 1900;
  t.tm_mon = 4;
  t.tm_mday = 17;
  t.tm_hour = 13;
  t.tm_min = 45;
  t.tm_sec = 31;
  t.tm_isdst = -1;
  struct utimbuf times {};
  times.actime = times.modtime = mktime(&t);
  ASSERT_EQ(utime((root + "/f.txt").c_str(), &times), 0);
  int32_t size = -1;
  unsigned char stamp[6] = {};
  const char *name = cfindfirst((root + "/f*").c_str(), 0, &size, stamp);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "f.txt");
  EXPECT_EQ(size, 1234);
  const unsigned char expected[6] = {103, 5, 17, 13, 45, 30};  // seconds in units of two
  EXPECT_EQ(std::memcmp(stamp, expected, 6), 0);
}

}  // namespace
