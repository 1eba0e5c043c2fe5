// The open-file table of this process: up to 500 file ids with their
// contexts, kept in the order of opening. Lookup is by equal 16-bit id; a
// removal moves the later entries down so that their order is kept.
#ifndef LUMBRA_ACCESS_FILE_TABLE_H
#define LUMBRA_ACCESS_FILE_TABLE_H

#include <cstdint>

namespace lumbra {

struct kdb_file;

class FileTable {
 public:
  static constexpr int kCapacity = 500;

  struct Entry {
    uint16_t id;
    kdb_file *file;  // not owned: the layer frees it at close
  };

  int count() const { return count_; }
  bool full() const { return count_ >= kCapacity; }
  // The entry at index i (0 <= i < count()), in the order of opening.
  const Entry &at(int i) const { return entries_[i]; }

  // The context of id, or null.
  kdb_file *find(uint16_t id) const;
  // Appends an entry. Returns false when the table is full or id is present.
  bool add(uint16_t id, kdb_file *file);
  // Removes id's entry; returns its context, or null when id was not present.
  kdb_file *remove(uint16_t id);

 private:
  int index_of(uint16_t id) const;

  Entry entries_[kCapacity] = {};
  int count_ = 0;
};

// The table of this process.
FileTable &open_files();

}  // namespace lumbra

#endif
