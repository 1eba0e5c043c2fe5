#include "app/tables/newentry.h"

#include <map>

#include "app/tables/stamps.h"

namespace tables {

namespace {

// Keys passed over before giving up: a key item too short for the count to
// grow any further makes every next key one that exists.
constexpr int kKeyTries = 100000;

// Per file, the wanted key and the key stored by the last call. Every key
// between them was found taken then, so the next call that wants one of
// them starts after the stored key.
struct LastAdd {
  QString wanted;
  QString stored;
};

std::map<int, LastAdd> &lastAdds() {
  static std::map<int, LastAdd> adds;
  return adds;
}

// Both digit texts of one width compare as numbers do.
bool within(const QString &key, const QString &low, const QString &high) {
  return key.size() == low.size() && key.size() == high.size() && low <= key && key <= high;
}

QString firstTry(int fileId, const QString &wanted) {
  const auto last = lastAdds().find(fileId);
  if (last != lastAdds().end() && within(wanted, last->second.wanted, last->second.stored))
    return nextKey(last->second.stored);
  return wanted;
}

}  // namespace

AddedEntry addEntry(KdbApi &kdb, int fileId, const char *keyItem, const QString &wanted) {
  AddedEntry added;
  QString key = firstTry(fileId, wanted.trimmed());
  for (int i = 0; i < kKeyTries; ++i, key = nextKey(key)) {
    kdb.copyFput(key.toLatin1(), keyItem, fileId);
    added.code = kdb.add(fileId, 0);
    if (added.code == KDB_KEY_EXISTS) continue;
    if (added.code != KDB_OK) return added;
    added.key = key;
    lastAdds()[fileId] = {wanted.trimmed(), key};
    return added;
  }
  return added;
}

}  // namespace tables
