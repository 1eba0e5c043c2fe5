// The ADIF text form of a log (".adi"): tags <NAME:LENGTH> or
// <NAME:LENGTH:TYPE>, each followed by exactly LENGTH bytes of value; an
// optional header of free text and fields ends at <EOH>, each record ends at
// <EOR>. Text between fields is ignored and tag names are read in any case.
// The reader takes untrusted input: every length is checked against the
// bytes that are left, and a record it cannot read whole is reported, never
// returned in part.
#ifndef TESSALY_APP_TABLES_ADIF_H
#define TESSALY_APP_TABLES_ADIF_H

#include <QByteArray>
#include <QDateTime>
#include <map>
#include <vector>

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
  MissingEnd,   // the file ends, or a field comes twice, before <EOR>
  CutShort,     // a value runs past the end of the file; nothing after it is read
};

struct AdifRecord {
  std::map<QByteArray, QByteArray> fields;  // upper-case name -> value bytes
  AdifDamage damage = AdifDamage::None;     // records with damage have no fields

  // The value of `name` (upper case), "" when absent.
  QByteArray value(const char *name) const;
  bool has(const char *name) const { return fields.count(name) != 0; }
};

// The records of `text` in file order, damaged ones included. A header is
// whatever comes before <EOH> when <EOH> comes before the first <EOR>.
// Line ends (LF or CR LF) outside values are text between fields.
std::vector<AdifRecord> readAdif(const QByteArray &text);

}  // namespace tables

#endif
