// Checks of a file set after a crash, a full disk or damage, and a rebuild
// of its index from the data file, made with the engine's own internals.
#ifndef TESSALY_TESTS_ENGINE_RECOVERY_H
#define TESSALY_TESTS_ENGINE_RECOVERY_H

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/datafile.h"
#include "engine/data/records.h"
#include "engine/index/index.h"
#include "engine/index/keys.h"

// Visits the stored records of the open file set `b` slot by slot: the
// position, the unpacked image and the stored length.
template <typename Visit>
void each_record(fhrequest *b, Visit visit) {
  using namespace corvex;
  std::vector<char> image(b->reclen);
  int64_t size = data_size(b);
  bool varlen = (b->mode & FH_VARLEN) != 0;
  for (int64_t pos = b->reclen; pos < size;) {
    uint32_t len;
    if (record_read(b, static_cast<uint32_t>(pos), image.data(), &len) != FHS_OK) return;
    if (!varlen && pos + b->reclen > size) return;
    visit(static_cast<uint32_t>(pos), image.data(), len);
    pos += varlen ? len : b->reclen;
  }
}

// Replaces the index of the open file set `b` by a new one that holds the
// keys of every active record and lists every deleted slot.
inline void rebuild_index(fhrequest *b) {
  using namespace corvex;
  index_close(b);
  close(b->idxfd);
  ASSERT_EQ(index_make(b), FHS_OK);
  int fd = open(b->idxname, O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  b->idxfd = fd;
  ASSERT_EQ(index_open(b), FHS_OK);
  char text[KEYTEXT_MAX];
  int failed = FHS_OK;
  each_record(b, [&](uint32_t pos, char *image, uint32_t len) {
    if (image[0] == REC_DELETED && failed == FHS_OK) failed = index_add_slot(b, pos, static_cast<uint16_t>(len));
    for (int k = 0; k < b->nkeys && image[0] == REC_ACTIVE && failed == FHS_OK; k++) {
      build_key_of(b, k, image, text);
      failed = index_insert(b, k, text, pos);
    }
  });
  ASSERT_EQ(failed, FHS_OK);
  ASSERT_EQ(index_checkpoint(b), FHS_OK);
}

// The active records of a file, read slot by slot: position -> key 0.
inline std::map<uint32_t, std::string> active_records(fhrequest *b) {
  std::map<uint32_t, std::string> out;
  char text[corvex::KEYTEXT_MAX];
  each_record(b, [&](uint32_t pos, char *image, uint32_t) {
    if (image[0] != corvex::REC_ACTIVE) return;
    int n = corvex::build_key_of(b, 0, image, text);
    out[pos] = std::string(text, static_cast<size_t>(n));
  });
  return out;
}

// Walks every entry of key k in order and checks that each one leads to an
// active record that holds the entry's key. Returns the positions met (one
// per entry), or stops the test at the first wrong entry.
inline std::vector<uint32_t> checked_entries(fhrequest *b, int k, std::string *fault) {
  using namespace corvex;
  std::vector<uint32_t> met;
  std::vector<char> image(b->reclen);
  char built[KEYTEXT_MAX];
  int mode = IDX_FIRST;
  for (;;) {
    uint32_t pos = 0;
    int status = index_search(b, k, mode, nullptr, &pos);
    if (status != FHS_OK) {
      *fault = "search answered " + std::to_string(status);
      return met;
    }
    if (pos == 0) return met;
    mode = IDX_NEXT;
    met.push_back(pos);
    uint32_t len;
    if (!valid_record_pos(b, pos, data_size(b)) || record_read(b, pos, image.data(), &len) != FHS_OK) {
      *fault = "an entry leads outside the records";
      return met;
    }
    int n = build_key_of(b, k, image.data(), built);
    if (image[0] != REC_ACTIVE || memcmp(built, index_keytext(b), static_cast<size_t>(n)) != 0) {
      *fault = "key " + std::to_string(k) + " entry " + std::string(index_keytext(b), static_cast<size_t>(n)) +
               " leads to a record holding " + std::string(built, static_cast<size_t>(n)) + " status '" +
               image[0] + "'";
      return met;
    }
  }
}

// Where the items of a test table lie (raised offsets) and its description:
// ID (key 0), VALUE (key 1, with key 0 appended), NOTE.
struct Layout {
  const char *name;
  const char *description;
  int id_at, value_at, note_at;
};

inline const Layout kFixed = {"fixed",
                              "length 34\nitem ID C 0 6\nitem VALUE C 6 8\nitem NOTE C 14 20\nkey ID\nkey VALUE\n", 1,
                              7, 15};
// Rewrites that change the length of NOTE move records.
inline const Layout kVarlen = {
    "varlen", "varlen\nlength 38\nitem ID C 4 6\nitem VALUE C 10 8\nitem NOTE C 18 20\nkey ID\nkey VALUE\n", 5, 11,
    19};

#endif
