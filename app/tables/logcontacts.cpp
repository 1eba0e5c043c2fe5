#include "app/tables/logcontacts.h"

#include <string_view>

#include "app/tables/binding.h"
#include "app/tables/entrytable.h"
#include "app/tables/logcompanion.h"
#include "app/tables/logtab.h"
#include "app/tables/newentry.h"
#include "app/tables/stamps.h"

namespace tables {

namespace {

LogEntry entryOf(const Row &row) {
  return {row[0], row[1], row[2], row[3], row[4], row[5], row[LogTab::kKeyColumn]};
}

bool keyTaken(KdbApi &kdb, int logId, const QString &key) {
  kdb.posn(logId, key.toLatin1(), 1, 0);
  return kdb.read(logId, 0) == KDB_OK && itemText(kdb, "UNIKEY", logId).trimmed() == key;
}

// Stores `entry` as a new record under its key or the next free one.
AddedEntry addLogEntry(KdbApi &kdb, int logId, const LogEntry &entry) {
  const std::pair<const char *, const QString *> items[] = {
      {"DATETIME", &entry.dateTime}, {"FRQ", &entry.frequency}, {"MODE", &entry.mode},
      {"NET", &entry.net},           {"DATESORT", &entry.dateSort}, {"NOTES", &entry.notes},
  };
  for (const auto &[item, text] : items) kdb.copyFput(text->toLatin1(), item, logId);
  kdb.copyFput("", "DATTIMFRQ", logId);  // the buffer may still hold a record read before
  return addEntry(kdb, logId, "UNIKEY", entry.key);
}

bool worthKeeping(const Companion &extra) {
  return extra.utc.isValid() || !extra.call.isEmpty() || !extra.band.isEmpty() || !extra.notes.isEmpty() ||
         !extra.fields.empty();
}

}  // namespace

QTimeZone stampZone() { return stampsInUtc() ? QTimeZone::utc() : QTimeZone::systemTimeZone(); }

void forEachContact(const LogFiles &log, const QString &filter,
                    const std::function<void(const LogEntry &, const Companion *)> &visit) {
  const Rows rows = listRecords(*log.kdb, log.logId, LogTab::kColumns, "NOTES", filter);
  // Both files are in key order: one walk of each pairs them.
  size_t next = 0;
  auto visitUpTo = [&](const QString *key) {
    for (; next < rows.size(); ++next) {
      const QStringView rowKey = rows[next].cell(LogTab::kKeyColumn);
      if (key && rowKey.compare(*key, Qt::CaseInsensitive) >= 0) return;
      visit(entryOf(rows[next]), nullptr);
    }
  };
  if (log.companion && log.companion->isOpen()) {
    log.companion->forEach([&](const Companion &extra) {
      visitUpTo(&extra.key);
      if (next < rows.size() && rows[next].cell(LogTab::kKeyColumn).compare(extra.key, Qt::CaseInsensitive) == 0)
        visit(entryOf(rows[next++]), &extra);
    });
  }
  visitUpTo(nullptr);
}

bool addContact(const LogFiles &log, LogEntry &entry, Companion &extra) {
  entry.key = addLogEntry(*log.kdb, log.logId, entry).key;
  if (entry.key.isEmpty()) return false;
  extra.key = entry.key;
  if (!worthKeeping(extra) || !log.companion || !log.companion->isOpen()) return true;
  return log.companion->write(extra);
}

int dropOrphanCompanions(const LogFiles &log) {
  if (!log.companion || !log.companion->isOpen()) return 0;
  QStringList orphans;
  log.companion->forEach([&](const Companion &extra) {
    if (!keyTaken(*log.kdb, log.logId, extra.key)) orphans << extra.key;
  }, false);
  for (const QString &key : orphans) log.companion->remove(key);
  return static_cast<int>(orphans.size());
}

ContactAdder::ContactAdder(const LogFiles &log, const QTimeZone &zone) : log_(log), zone_(zone) {
  forEachContact(log_, QStringLiteral("All"), [this](const LogEntry &entry, const Companion *extra) {
    if (const std::optional<ExportedRecord> record = adifRecordFor(entry, extra, zone_))
      known_.insert(hashOf(contactIdentity(record->fields)));
  });
}

ContactAdder::Outcome ContactAdder::add(const AdifRecord &record, ImportedEntry *imported) {
  *imported = logEntryFor(record, zone_);
  if (!imported->entry) return Outcome::Skipped;
  const quint64 identity = hashOf(contactIdentity(record.fields));
  if (known_.count(identity)) return Outcome::Duplicate;
  if (!addContact(log_, *imported->entry, imported->extra)) return Outcome::Failed;
  known_.insert(identity);
  return Outcome::Added;
}

quint64 ContactAdder::hashOf(const QByteArray &identity) {
  return std::hash<std::string_view>{}(std::string_view(identity.constData(), static_cast<size_t>(identity.size())));
}

}  // namespace tables
