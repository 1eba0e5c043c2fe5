// LogWords: the word index of the station log's notes, in "LogWords.Dat"
// (the keyword file, described by "LogWords.fid", which comes with the
// tables) and "LogWords.hyp" (the postings) beside "Log.Dat". An entry's
// document number is the time of its unique key ("YYMMDDhhmmss") in seconds
// since 1 January 2000, so that it survives packs and rebuilds and turns
// back into the key.
//
// Words taken out of a note stay in the index until it is made afresh, so
// a hit is listed only after the entry's notes have been checked.
#ifndef TESSALY_APP_TABLES_LOGWORDS_H
#define TESSALY_APP_TABLES_LOGWORDS_H

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "engine/fhrequest.h"

namespace tables {

class KdbApi;
class LumbraLibrary;

class LogWords {
public:
  // Binds the word index functions through `library`, which must outlive
  // the object.
  explicit LogWords(LumbraLibrary *library);
  ~LogWords();
  LogWords(const LogWords &) = delete;
  LogWords &operator=(const LogWords &) = delete;

  // Opens the index in the current directory. When "LogWords.hyp" is
  // missing or older than "Log.Dat", or "LogWords.Dat" is missing, the index is made afresh from the log
  // (file id `logId`, read through `kdb`), with progress on stderr for long
  // logs. False, said on stderr and by whyClosed(), when the index cannot be
  // had.
  bool open(KdbApi &kdb, int logId);
  bool isOpen() const { return open_; }
  // Why the last open() failed, in a sentence; "" while the index is open.
  const QString &whyClosed() const { return whyClosed_; }

  // Adds the words of `notes` for the entry with unique key `key`.
  void index(const QString &key, const QString &notes);
  // Marks the index as current after the log changed (a save or delete
  // that adds no word leaves the postings file older than the log).
  void logChanged();
  // Unique keys of the entries the index holds for every word of `words`
  // (entries whose notes lost a word since may be among them).
  QStringList candidates(const QString &words);

  // The words of a search text or a note as the index compares them:
  // split at blanks, stripped of surrounding marks, lower-cased, without
  // the words the index never holds (under 3 characters, "and", "the").
  static QStringList searchWords(const QString &text);
  // Whether `notes` hold every word of `words` (both as searchWords).
  static bool notesHold(const QString &notes, const QStringList &words);

  // The document number of a unique key, none for a key that is no time.
  static std::optional<uint32_t> documentOf(const QString &key);
  static QString keyOf(uint32_t doc);

private:
  struct Api;
  bool start(bool exclusive);
  void stop();
  bool rebuild(KdbApi &kdb, int logId);

  LumbraLibrary *library_;
  std::unique_ptr<Api> api_;
  fhrequest block_ = {};
  bool open_ = false;
  QString whyClosed_;
};

}  // namespace tables

#endif
