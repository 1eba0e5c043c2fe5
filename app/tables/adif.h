// The ADIF text form of a log (".adi"): tags <NAME:LENGTH> or
// <NAME:LENGTH:TYPE>, each followed by exactly LENGTH bytes of value; an
// optional header of free text and fields ends at <EOH>, each record ends at
// <EOR>. Text between fields is ignored and tag names are read in any case.
// The reader takes untrusted input as a stream: it holds one record and a
// bounded read buffer at a time, checks every length before reading the
// value, and reports a record it cannot read whole, never returning it in
// part.
#ifndef TESSALY_APP_TABLES_ADIF_H
#define TESSALY_APP_TABLES_ADIF_H

#include <QByteArray>
#include <QDateTime>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace tables {

// "<NAME:LENGTH>VALUE", LENGTH counting the bytes of `value`.
QByteArray adifField(const QByteArray &name, const QByteArray &value);

// The header: a line of text, then ADIF_VER, PROGRAMID and
// CREATED_TIMESTAMP (`created` in UTC, "YYYYMMDD HHMMSS"), then <EOH>.
QByteArray adifHeader(const QByteArray &programId, const QDateTime &created);

// Why a record of a file could not be read.
enum class AdifDamage {
  None,
  BadTag,       // a field tag without a length, or with one that is not a number
  MissingEnd,   // the file ends before <EOR>
  CutShort,     // a value runs past the end of the file; nothing after it is read
  TooLarge,     // the record's values or fields pass the reader's bounds
};

// Bounds of one record: the bytes of its values and its count of fields.
inline constexpr qsizetype kAdifMaxRecordBytes = 64 * 1024, kAdifMaxFields = 500;

struct AdifRecord {
  std::map<QByteArray, QByteArray> fields;  // upper-case name -> value bytes
  std::vector<QByteArray> repeated;         // names that came again; the first value is kept
  AdifDamage damage = AdifDamage::None;     // records with damage have no fields

  // The value of `name` (upper case), "" when absent.
  QByteArray value(const char *name) const;
  bool has(const char *name) const { return fields.count(name) != 0; }
};

// Reads records one at a time from a device the caller keeps open. A header
// is whatever comes before <EOH> when <EOH> comes before the first <EOR>.
// Line ends (LF or CR LF) outside values are text between fields. A tag
// without a length (<EOF>, <APP_LoTW_EOF>) before the first field of a
// record is a marker and ignored. Memory stays within a read block plus one
// record's bounds whatever the input; a value beyond the bounds is passed
// over unread.
class AdifReader {
public:
  explicit AdifReader(QIODevice *source);
  explicit AdifReader(const QByteArray &text);
  ~AdifReader();
  AdifReader(const AdifReader &) = delete;
  AdifReader &operator=(const AdifReader &) = delete;

  // The next record in file order, damaged ones included; nullopt at the end.
  std::optional<AdifRecord> next();
  // Bytes consumed so far.
  qint64 position() const { return consumed_ + pos_; }

private:
  bool fill(qsizetype wanted);
  bool skip(qint64 count);
  std::optional<AdifRecord> tag();
  std::optional<AdifRecord> marker(const QByteArray &name);
  void field(const QByteArray &name, QByteArray value);
  void damage(AdifDamage why);
  std::optional<AdifRecord> finish(AdifDamage why);

  std::unique_ptr<QIODevice> owned_;
  QIODevice *source_;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  qint64 consumed_ = 0;  // bytes dropped from the front of buffer_
  bool atEnd_ = false, done_ = false;
  AdifRecord current_;
  qsizetype currentBytes_ = 0;
  bool pending_ = false;     // the open record has fields or damage
  bool markerOnly_ = false;  // ... and its only damage is valueless markers
  bool sawRecord_ = false;
};

// Every record of `text` (AdifReader over it).
std::vector<AdifRecord> readAdif(const QByteArray &text);

}  // namespace tables

#endif
