// Where a member being added to a new archive goes.
//
// Its header and data are gathered in memory, so that a member that fits is
// written in one piece once its header is complete, and one whose coding did
// not pay starts over without touching the file. A larger member goes to the
// file as it comes, behind its incomplete header, which is written over in
// place at the end.
#ifndef CORVEX_UTIL_ARCHIVE_MEMBER_OUTPUT_H
#define CORVEX_UTIL_ARCHIVE_MEMBER_OUTPUT_H

#include <stddef.h>

#include <vector>

#include "util/archive/header.h"
#include "util/archive/lzw.h"

namespace corvex {

// The most a member gathers before it goes to the file as it comes.
constexpr size_t kMemberGatherLimit = size_t{1} << 20;

class MemberOutput : public ByteSink {
 public:
  // The member's header (its final fields not yet known) belongs at
  // `header_at` of the fast file `slot`, which is positioned there. `gather`
  // holds the gathered bytes; the caller keeps it from member to member, so
  // that its memory is allocated once.
  MemberOutput(int slot, long header_at, const MemberHeader &header, std::vector<unsigned char> &gather);

  // The member's data; false when writing to the file failed.
  bool write(const unsigned char *data, size_t size) override;

  // Drops the data written so far. false when the file could not be
  // positioned back.
  bool restart();

  // Writes `header`, complete, and what is gathered, and leaves the file
  // positioned after the member. false when writing failed.
  bool finish(const MemberHeader &header);

 private:
  bool go_to_file();

  int slot_;
  long header_at_;
  std::vector<unsigned char> &gather_;
  bool in_file_ = false;
};

}  // namespace corvex

#endif
