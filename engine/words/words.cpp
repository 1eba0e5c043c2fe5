// The word index exports. The keyword file is reached through the item-level
// exports (engine/rfh.h, engine/rfhitem.h); the postings file through
// engine/words/postings.h.
#include "engine/words/words.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/engine.h"
#include "engine/data/base95.h"
#include "engine/fid/fid.h"
#include "engine/maintenance/filemaint.h"
#include "engine/rfh.h"
#include "engine/rfhitem.h"
#include "engine/words/postings.h"
#include "engine/words/word_key.h"
#include "engine/words/wordclass.h"
#include "util/ascii.h"
#include "util/memory.h"
#include "util/text.h"

namespace corvex {

namespace {

constexpr char kKeywordItem[] = "KEYWORD";
constexpr char kPosnItem[] = "POSN";
constexpr int kPosnWidth = 5;
constexpr uint32_t kMaxHits = 64897;
constexpr uint32_t kHitGrowth = 128;
constexpr uint32_t kListGrowth = 256;

// How _fhhypaddline reads each character of a line: blanks, tabs, line
// feeds and carriage returns separate words, the zero byte ends the line,
// all others belong to a word. One look-up a character.
enum LineBreak : uint8_t { kInWord, kBlank, kEnd };
constexpr std::array<LineBreak, 256> kLineBreaks = [] {
  std::array<LineBreak, 256> breaks{};
  for (unsigned char c : {' ', '\t', '\n', '\r'}) breaks[c] = kBlank;
  breaks[0] = kEnd;
  return breaks;
}();

LineBreak break_of(char c) { return kLineBreaks[static_cast<unsigned char>(c)]; }

int fail(fhrequest *block, int status) {
  block->status = static_cast<uint8_t>(status);
  return -1;
}

int postings_fd(const fhrequest *block) { return block->hypfd; }

// The request blocks of this process that have one index open (they share
// its postings handle), and the one of them through which single-user
// blocks reach the keyword file: a single-user block keeps what it reads
// and writes of a file to itself, so one block must do all of it.
struct Users {
  fhrequest *keeper = nullptr;
  std::vector<fhrequest *> blocks;
};

std::unordered_map<int, Users> &users() {
  static std::unordered_map<int, Users> map;
  return map;
}

// The block that reaches the keyword file for `block`: itself in a shared
// setting, where every block reads what others wrote, else the keeper.
fhrequest *keyword_block(fhrequest *block) {
  if (block_is_shared(block)) return block;
  auto it = users().find(postings_fd(block));
  return it != users().end() && it->second.keeper ? it->second.keeper : block;
}

// `block` leaves the users of its index. When it was the keeper and others
// stay, its changes are written by closing it, and the next block opens
// the keyword file again, to see them, and becomes the keeper.
int leave(fhrequest *block) {
  const int fd = postings_fd(block);
  Users &u = users()[fd];
  u.blocks.erase(std::remove(u.blocks.begin(), u.blocks.end(), block), u.blocks.end());
  int closed = _rfhclose(block);
  if (u.keeper == block) {
    u.keeper = u.blocks.empty() ? nullptr : u.blocks.front();
    if (u.keeper && !block_is_shared(block)) {
      // A keeper that cannot open it again fails its own later calls.
      _rfhclose(u.keeper);
      _rfhopen(u.keeper);
      u.keeper->hypfd = static_cast<uint16_t>(fd);
    }
  }
  if (u.blocks.empty()) users().erase(fd);
  return closed;
}

// How much of a word the keyword file holds: the length of its item, or
// all of it when there is no such item.
size_t keyword_room(fhrequest *block) {
  int item = _fhfidoffset(block, kKeywordItem);
  return item >= 0 ? block->itemdefs[item].length : SIZE_MAX;
}

// The word as the keyword file holds it: lower case, cut to the item.
WordKey keyword_of(fhrequest *block, std::string_view word) { return WordKey(word, keyword_room(block)); }

// Puts `text`, space-filled, into the key buffer and makes key 1 current.
int set_key_text(fhrequest *block, std::string_view text) {
  if (!block->keybuf) return FHS_NOTSUPPORTED;
  memset(block->keybuf, ' ', FH_KEYBUFSIZE);
  memcpy(block->keybuf, text.data(), std::min<size_t>(text.size(), FH_KEYBUFSIZE));
  return _rfhsetkey(block, 1) == 0 ? int{FHS_OK} : block->status;
}

// The first posting of the keyword record in the record buffer, or 0 when
// its "POSN" is damaged.
uint32_t first_posting(fhrequest *block) {
  char text[kPosnWidth + 1];
  uint32_t pos = 0;
  if (_rfhitemget(block, kPosnItem, 0, text) != 0 || !base95_get(text, kPosnWidth, &pos)) return 0;
  return pos;
}

// Finds `keyword`'s record: reads it (FHS_OK, `*found` true) or learns that
// there is none (FHS_OK, `*found` false). With `lock` the record is locked
// before it is read.
int find_keyword(fhrequest *block, const WordKey &keyword, bool lock, bool *found) {
  *found = false;
  int status = set_key_text(block, keyword.text());
  if (status != FHS_OK) return status;
  if (_rfhposn(block, 1) != 0) return block->status;
  if (!(block->state & ST_POSITIONED)) return FHS_OK;
  if (lock && _rfhrlock(block) != 0) return block->status;
  if (_rfhread(block, 1) != 0) return block->status;
  *found = true;
  return FHS_OK;
}

// The chain of `keyword`: the one kept in memory, or the one its keyword
// record starts (walked into `local`, and kept when memory is kept).
// `*chain` is null for a word not in the index.
int chain_of(fhrequest *block, const WordKey &keyword, bool lock, Chain *local, Chain **chain) {
  const int fd = postings_fd(block);
  *chain = postings_cached_chain(fd, keyword);
  if (*chain) return FHS_OK;
  bool found = false;
  int status = find_keyword(block, keyword, lock, &found);
  if (status != FHS_OK || !found) return status;
  uint32_t first = first_posting(block);
  status = first == 0 ? FHS_READWORDS : postings_walk(fd, first, local);
  if (status != FHS_OK) return status;
  Chain *kept = postings_remember(fd, keyword, std::move(*local));
  *chain = kept ? kept : local;
  return FHS_OK;
}

// Writes the record of a new keyword whose first posting is at `pos`.
int write_keyword(fhrequest *block, const WordKey &keyword, uint32_t pos) {
  char posn[kPosnWidth + 1] = {};
  base95_put(pos, kPosnWidth, posn);
  block->recbuf[0] = ' ';
  if (_rfhitemset(block, kKeywordItem, 0, keyword.c_str()) != 0 || _rfhitemset(block, kPosnItem, 0, posn) != 0)
    return FHS_NOTSUPPORTED;
  return _rfhwrite(block, 1) == 0 ? int{FHS_OK} : block->status;
}

// Readies the postings for an operation: a memory copy in a single-user
// setting; in a shared one, whatever a copy still holds written and the
// copy dropped.
int prepare(fhrequest *block) {
  const int fd = postings_fd(block);
  if (block_is_shared(block) && postings_copied(fd)) {
    int status = postings_flush(fd);
    if (status != FHS_OK) return status;
    postings_drop(fd);
  }
  return postings_sync(fd, block);
}

// Adds `doc` to `keyword`'s chain through the keyword block `kw`, the new
// posting first and the link to it after, so that an interrupted add leaves
// no link to nothing; a new keyword's record is written once its posting is
// in the file.
int add_keyword(fhrequest *kw, const WordKey &keyword, uint32_t doc) {
  const int fd = postings_fd(kw);
  Chain local;
  Chain *chain = nullptr;
  int status = chain_of(kw, keyword, block_is_shared(kw), &local, &chain);
  if (status == FHS_OK && chain && !chain->known_by_ends(doc)) status = postings_list(fd, chain);
  if (status == FHS_OK && !(chain && chain->contains(doc))) {
    uint32_t pos = 0;
    status = postings_append(fd, doc, &pos);
    if (status == FHS_OK && chain) {
      status = postings_link(fd, chain->last, pos);
    } else if (status == FHS_OK) {
      status = postings_write_appended(fd);
      if (status == FHS_OK) status = write_keyword(kw, keyword, pos);
    }
    if (status == FHS_OK && chain) {
      chain->add(pos, doc);
    } else if (status == FHS_OK) {
      local.listed = false;
      local.add(pos, doc);
      postings_remember(fd, keyword, std::move(local));
    }
  }
  if (kw->lockpos != 0) _rfhrunlock(kw);
  if (status == FHS_OK && postings_flush_due(fd)) status = postings_flush(fd);
  return status;
}

// Adds the words of one document through a block. What that needs is
// found once for all the words of a line, at the first word the rules
// index: the postings made ready, the block that reaches the keyword file,
// and how much of a word that file holds. Words wait in small batches and
// are added in their order once the memory their chains lie in has been
// asked for, all of the batch at once, rather than one miss after another.
class Adder {
 public:
  Adder(fhrequest *block, uint32_t doc) : block_(block), doc_(doc) {}

  // Takes `word`, as given, when the word rules index it; adds the batch
  // when it is full.
  int add(std::string_view word) {
    if (!word_is_indexed(word)) return FHS_OK;
    int status = keywords_ ? int{FHS_OK} : start();
    if (status != FHS_OK) return status;
    WordKey &key = batch_[waiting_++];
    key.assign(word, room_);
    postings_prefetch_slot(fd_, key);
    return waiting_ == kBatch ? finish() : FHS_OK;
  }

  // Adds the words that wait, up to the first that fails.
  int finish() {
    for (size_t i = 0; i < waiting_; i++) postings_prefetch_chain(fd_, batch_[i]);
    int status = FHS_OK;
    for (size_t i = 0; i < waiting_ && status == FHS_OK; i++) {
      if (shared_ && (status = postings_lock(fd_, block_->hdrtries)) != FHS_OK) break;
      status = add_keyword(keywords_, batch_[i], doc_);
      if (shared_) postings_unlock(fd_);
    }
    waiting_ = 0;
    return status;
  }

 private:
  static constexpr size_t kBatch = 16;

  int start() {
    int status = prepare(block_);
    if (status != FHS_OK) return status;
    keywords_ = keyword_block(block_);
    fd_ = postings_fd(block_);
    shared_ = block_is_shared(block_);
    room_ = keyword_room(block_);
    return FHS_OK;
  }

  fhrequest *const block_;
  const uint32_t doc_;
  fhrequest *keywords_ = nullptr;
  int fd_ = 0;
  bool shared_ = false;
  size_t room_ = 0;
  WordKey batch_[kBatch];
  size_t waiting_ = 0;
};

// Opens the keyword file of `block`, made when its data file does not exist.
// A file left by a program that ended inside an update (113) is rebuilt,
// when no other program has it open, and opened again.
int open_keywords(fhrequest *block) {
  if (access(block->datname, F_OK) != 0) return _rfhmake(block);
  int opened = _rfhopen(block);
  if (opened == 0 || block->status != FHS_RECOVER) return opened;
  _rfhclose(block);
  std::fprintf(stderr, "corvex: %s: the word index was left inside an update; its keyword file is rebuilt\n",
               block->datname);
  filemaint(FM_PACK, block->datname, block->fidname, block->idxname, nullptr, 0, nullptr);
  if (_rfhopen(block) == 0) return 0;
  // Still unfinished: another program has it open, or the rebuild failed.
  if (block->recbuf) _rfhclose(block);
  return -1;
}

bool ready(const fhrequest *block) { return block && block->recbuf && block->hypfd != 0; }

}  // namespace

}  // namespace corvex

using namespace corvex;

int32_t _fhhypinit(fhrequest *block, const char *postings, int32_t open) {
  if (!block) return -1;
  if (open == 0) {
    if (block->hypfd == 0) return _rfhclose(block);
    const int fd = block->hypfd;
    int status = postings_flush(fd);
    int closed = leave(block);
    int last = postings_close(fd);
    block->hypfd = 0;
    if (status == FHS_OK) status = last;
    return status != FHS_OK ? fail(block, status) : closed;
  }
  // The postings first: a block joining an index this program has open
  // must not rebuild its keyword file, and opens it once the keeper has
  // written what it holds (a 113 that remains is the keeper's to mind).
  int status = FHS_OK;
  bool joined = false;
  int fd = postings_open(text_or_empty(postings), block, &joined, &status);
  if (fd < 0) return fail(block, status);
  block->hypfd = static_cast<uint16_t>(fd);
  fhrequest *keeper = joined ? users()[fd].keeper : nullptr;
  if (keeper) _rfhsecure(keeper);
  int opened = joined ? _rfhopen(block) : open_keywords(block);
  if (opened != 0 && !(joined && block->recbuf)) {
    status = block->status;
    postings_close(fd);
    block->hypfd = 0;
    return fail(block, status);
  }
  Users &u = users()[fd];
  u.blocks.push_back(block);
  if (!u.keeper) u.keeper = block;
  block->status = FHS_OK;
  return 0;
}

int32_t _fhhypaddword(fhrequest *block, char *word, uint32_t doc) {
  if (!ready(block) || !word) return -1;
  block->status = FHS_OK;
  // The rules look at the word as given: it is lower-cased once indexed.
  const std::string_view given(word);
  if (!word_is_indexed(given)) return 0;
  Adder adder(block, doc);
  int status = adder.add(given);
  if (status == FHS_OK) status = adder.finish();
  for (char *c = word; *c; c++) *c = static_cast<char>(ascii_lower(static_cast<unsigned char>(*c)));
  return status == FHS_OK ? 0 : fail(block, status);
}

int32_t _fhhypaddline(fhrequest *block, const char *text, uint32_t doc, uint16_t flags) {
  if (!ready(block)) return -1;
  block->status = FHS_OK;
  const char *p = text_or_empty(text);
  Adder adder(block, doc);
  while (*p) {
    while (break_of(*p) == kBlank) p++;
    const char *start = p;
    while (break_of(*p) == kInWord) p++;
    std::string_view cut(start, std::min<size_t>(static_cast<size_t>(p - start), kWordMax));
    std::string_view clean = strip_word_marks(cut);
    if (clean.empty() || !word_class_accepted(clean, flags)) continue;
    int status = adder.add(clean);
    if (status != FHS_OK) return fail(block, status);
  }
  int status = adder.finish();
  return status == FHS_OK ? 0 : fail(block, status);
}

uint32_t *_fhhypsearch(fhrequest *block, const char *word, uint32_t *count) {
  if (count) *count = 0;
  if (!ready(block)) return nullptr;
  block->status = FHS_OK;
  Chain local;
  Chain *chain = nullptr;
  int status = prepare(block);
  if (status == FHS_OK)
    status = chain_of(keyword_block(block), keyword_of(block, text_or_empty(word)), false, &local, &chain);
  if (status == FHS_OK && chain) status = postings_list(block->hypfd, chain);
  if (status != FHS_OK) {
    block->status = static_cast<uint8_t>(status);
    return nullptr;
  }
  if (!chain) return nullptr;
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(chain->docs.size()), kMaxHits);
  const uint32_t room = (n + kHitGrowth - 1) / kHitGrowth * kHitGrowth;
  auto *hits = static_cast<uint32_t *>(globalcalloc(room, sizeof(uint32_t)));
  if (!hits) {
    block->status = FHS_NOMEMORY;
    return nullptr;
  }
  std::copy_n(chain->docs.begin(), n, hits);
  if (count) *count = n;
  return hits;
}

char *_fhhyplist(fhrequest *block, uint32_t doc, const char *prefix, char *buffer, uint32_t *size) {
  if (!ready(block) || !size) return nullptr;
  block->status = FHS_OK;
  if (!buffer) {
    buffer = static_cast<char *>(globalmalloc(kListGrowth));
    if (!buffer) {
      block->status = FHS_NOMEMORY;
      return nullptr;
    }
    *size = kListGrowth;
  }
  size_t used = strnlen(buffer, *size);
  const WordKey start_key = keyword_of(block, text_or_empty(prefix));
  const std::string_view start = start_key.text();
  fhrequest *kw = keyword_block(block);
  int status = prepare(block);
  if (status == FHS_OK) status = set_key_text(kw, start);
  if (status == FHS_OK && _rfhposn(kw, 0) != 0) status = kw->status;
  if (status == FHS_OK && (kw->state & ST_POSITIONED)) _rfhrlock(kw);
  char item[FH_KEYBUFSIZE + 1];
  while (status == FHS_OK && _rfhread(kw, 0) == 0) {
    if (_rfhitemget(kw, kKeywordItem, 0, item) != 0) break;
    trim(item);
    if (!start.empty() && static_cast<unsigned char>(item[0]) > static_cast<unsigned char>(start[0])) break;
    const WordKey keyword = WordKey::as_stored(item);
    Chain local;
    Chain *chain = postings_cached_chain(block->hypfd, keyword);
    if (chain) {
      status = postings_list(block->hypfd, chain);
    } else {
      uint32_t first = first_posting(kw);
      status = first == 0 ? FHS_READWORDS : postings_walk(block->hypfd, first, &local);
      chain = &local;
    }
    if (status != FHS_OK || !chain->contains(doc)) continue;
    const size_t need = used + keyword.size() + 2;
    if (need + 3 >= *size) {
      uint32_t grown = *size;
      while (need + 3 >= grown) grown += kListGrowth;
      char *bigger = static_cast<char *>(globalmalloc(grown));
      if (!bigger) {
        status = FHS_NOMEMORY;
        break;
      }
      memcpy(bigger, buffer, used);
      globalmfree(buffer);
      buffer = bigger;
      *size = grown;
    }
    memcpy(buffer + used, keyword.c_str(), keyword.size());
    memcpy(buffer + used + keyword.size(), "\r\n", 2);
    used = need;
    buffer[used] = '\0';
  }
  // The lock only kept the first record steady while listing; leaving it
  // would block every later add of that word in a shared setting.
  if (kw->lockpos != 0) _rfhrunlock(kw);
  if (status != FHS_OK) {
    globalmfree(buffer);
    block->status = static_cast<uint8_t>(status);
    return nullptr;
  }
  block->status = FHS_OK;
  return buffer;
}
