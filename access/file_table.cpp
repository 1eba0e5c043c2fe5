#include "access/file_table.h"

#include <cstring>

namespace lumbra {

int FileTable::index_of(uint16_t id) const {
  for (int i = 0; i < count_; ++i)
    if (entries_[i].id == id) return i;
  return -1;
}

kdb_file *FileTable::find(uint16_t id) const {
  int i = index_of(id);
  return i < 0 ? nullptr : entries_[i].file;
}

bool FileTable::add(uint16_t id, kdb_file *file) {
  if (full() || index_of(id) >= 0) return false;
  entries_[count_++] = Entry{id, file};
  return true;
}

kdb_file *FileTable::remove(uint16_t id) {
  int i = index_of(id);
  if (i < 0) return nullptr;
  kdb_file *file = entries_[i].file;
  memmove(&entries_[i], &entries_[i + 1], sizeof(Entry) * (count_ - i - 1));
  --count_;
  return file;
}

FileTable &open_files() {
  static FileTable table;
  return table;
}

}  // namespace lumbra
