// LogCompanion: "LogExtra.Dat", the companion table of the station log
// (description in data/LogExtra.desc). It holds, under the unique key of a
// log entry, what Log.Dat's fixed items cannot: the exact UTC time, the call
// sign, the band of an entry without a frequency, notes beyond Latin-1 and
// every ADIF field kept as it came. An entry without a companion record is
// an entry as the log alone describes it. One more record, under
// kPropertiesKey, holds the log's own settings.
#ifndef TESSALY_APP_TABLES_LOGCOMPANION_H
#define TESSALY_APP_TABLES_LOGCOMPANION_H

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <map>
#include <optional>

namespace tables {

class KdbApi;
class LumbraLibrary;

using AdifFields = std::map<QByteArray, QByteArray>;  // upper-case name -> value bytes

struct Companion {
  QString key;       // the log entry's unique key
  QDateTime utc;     // the exact time of the contact; invalid when unknown
  QString call;      // the call sign worked
  QByteArray band;   // ADIF band, kept for an entry without a frequency
  QString notes;     // the notes, when Log.Dat could only hold them with "?"
  AdifFields fields; // ADIF fields as they came

  bool operator==(const Companion &) const = default;
};

// The FIELDS text of `fields`: ADIF fields whose values have every byte
// that is no visible character (and "%") written as %XX, then <EOR>.
QByteArray encodeCompanionFields(const AdifFields &fields);
// The fields of such a text; those of a damaged text are dropped.
AdifFields decodeCompanionFields(const QByteArray &text);

class LogCompanion {
public:
  static constexpr char kFileName[] = "LogExtra.Dat";
  static constexpr char kPropertiesKey[] = "PROPERTIES";
  // Room for the FIELDS text: its 8 elements of 500 bytes, several times
  // what the logging programs write for a contact. Every read unpacks the
  // whole record, so listings pay for room that is not used.
  static constexpr qsizetype kFieldsElements = 8, kFieldsElementLength = 500;

  // `kdb` must outlive the object; the table is file `fileId`.
  LogCompanion(KdbApi *kdb, int fileId) : kdb_(kdb), fileId_(fileId) {}

  // Opens the table in the current directory; when it is missing, makes it
  // empty from its description through `library` first. False, with the
  // reason in `*error`, when it cannot be had.
  bool open(LumbraLibrary *library, QString *error);
  bool isOpen() const { return open_; }
  // Closes the table, so that a restore may have it alone; reopen() opens
  // it again when close() closed it. reopen() returns isOpen().
  void close();
  bool reopen();
  int fileId() const { return fileId_; }

  // The record of `key`.
  std::optional<Companion> read(const QString &key);
  // Stores `companion` under its key, replacing the record there. False when
  // the write fails or its fields pass the room (nothing is then stored).
  bool write(const Companion &companion);
  // Removes the record of `key`, if there is one.
  void remove(const QString &key);
  // Every entry's record in key order (not the properties); without
  // `whole`, only their keys, calls and bands, which listings show.
  void forEach(const std::function<void(const Companion &)> &visit, bool whole = true);

  // The log's "stamps in UTC" setting; nullopt when it was never set.
  std::optional<bool> stampsInUtc();
  bool setStampsInUtc(bool utc);

  // Whether `fields` fit the room of one record.
  static bool fits(const AdifFields &fields);

private:
  bool locate(const QString &key);
  Companion current(bool whole = true);

  KdbApi *kdb_;
  int fileId_;
  bool open_ = false;
  bool closed_ = false;  // by close(), to be reopened
};

}  // namespace tables

#endif
