#include "app/tables/logcompanion.h"

#include <QFile>
#include <QTimeZone>

#include "access/kdb.h"
#include "app/tables/adif.h"
#include "app/tables/binding.h"
#include "app/tables/logextra_desc.h"
#include "app/tables/lumbra.h"
#include "engine/exports.h"

namespace tables {

namespace {

constexpr int kKeyedRecordFile = 3;
constexpr char kUtcPattern[] = "yyyyMMddHHmmss";
constexpr char kStampsInUtcField[] = "STAMPS_UTC";

bool escaped(unsigned char c) { return c <= ' ' || c == 0x7f || c == '%'; }

QByteArray escape(const QByteArray &value) {
  QByteArray out;
  out.reserve(value.size());
  for (char c : value) {
    if (escaped(static_cast<unsigned char>(c))) {
      out += '%';
      out += QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0').toUpper();
    } else {
      out += c;
    }
  }
  return out;
}

QByteArray unescape(const QByteArray &text) { return QByteArray::fromPercentEncoding(text); }

QByteArray elementRef(int element) { return "FIELDS(" + QByteArray::number(element) + ")"; }

}  // namespace

QByteArray encodeCompanionFields(const AdifFields &fields) {
  QByteArray out;
  for (const auto &[name, value] : fields) out += adifField(name, escape(value));
  return fields.empty() ? out : out + "<EOR>";
}

AdifFields decodeCompanionFields(const QByteArray &text) {
  AdifFields fields;
  AdifReader reader(text);
  std::optional<AdifRecord> record = reader.next();
  if (!record || record->damage != AdifDamage::None) return fields;
  for (auto &[name, value] : record->fields) fields.emplace(name, unescape(value));
  return fields;
}

bool LogCompanion::fits(const AdifFields &fields) {
  return encodeCompanionFields(fields).size() <= kFieldsElements * kFieldsElementLength;
}

bool LogCompanion::open(LumbraLibrary *library, QString *error) {
  const QByteArray name(kFileName);
  if (!QFile::exists(QString::fromLatin1(kFileName))) {
    auto *describe = library->bind<decltype(::corvex_describe)>("corvex_describe");
    auto *make = library->bind<decltype(::KDBmake)>("KDBmake");
    char why[256] = "";
    if (!describe || !make || describe(kLogExtraDescription, "LogExtra.fid", why, sizeof why) != 0) {
      *error = QStringLiteral("cannot describe %1: %2").arg(QLatin1String(kFileName), QString::fromLocal8Bit(why));
      return false;
    }
    // Made, it is open: the make opens the new file under the id.
    const int made = make(kFileName, "", "", fileId_, kKeyedRecordFile, 0);
    open_ = made == KDB_OK || made == KDB_END_OF_FILE;
    if (!open_) *error = QStringLiteral("cannot make %1 (code %2)").arg(QLatin1String(kFileName)).arg(made);
    return open_;
  }
  const int opened = kdb_->open(name, fileId_, kKeyedRecordFile, 0);
  open_ = opened == KDB_OK || opened == KDB_NEEDS_RECOVER;
  if (!open_) *error = QStringLiteral("cannot open %1 (code %2)").arg(QLatin1String(kFileName)).arg(opened);
  return open_;
}

void LogCompanion::close() {
  if (!open_) return;
  kdb_->close(fileId_);
  open_ = false;
  closed_ = true;
}

bool LogCompanion::reopen() {
  if (!closed_) return open_;
  closed_ = false;
  const int opened = kdb_->open(kFileName, fileId_, kKeyedRecordFile, 0);
  open_ = opened == KDB_OK || opened == KDB_NEEDS_RECOVER;
  return open_;
}

bool LogCompanion::locate(const QString &key) {
  if (!open_) return false;
  kdb_->posn(fileId_, key.toLatin1(), 1, 0);
  return kdb_->read(fileId_, 0) == KDB_OK && itemText(*kdb_, "UNIKEY", fileId_).trimmed() == key.trimmed();
}

Companion LogCompanion::current(bool whole) {
  Companion c;
  c.key = QString::fromLatin1(kdb_->itemStub("UNIKEY", fileId_, 0).trimmed());
  c.call = QString::fromUtf8(kdb_->itemStub("CALL", fileId_, 0).trimmed());
  c.band = kdb_->itemStub("BAND", fileId_, 0).trimmed();
  if (!whole) return c;
  const QString utc = QString::fromLatin1(kdb_->itemStub("UTC", fileId_, 0).trimmed());
  if (!utc.isEmpty()) c.utc = QDateTime(QDate::fromString(utc.left(8), "yyyyMMdd"),
                                        QTime::fromString(utc.mid(8), "HHmmss"), QTimeZone::utc());
  c.notes = QString::fromUtf8(kdb_->itemStub("NOTES", fileId_, 0).trimmed());
  QByteArray text;
  for (int i = 0; i < kFieldsElements; ++i) {
    const QByteArray element = kdb_->itemStub("FIELDS", fileId_, i).trimmed();
    if (element.isEmpty()) break;
    text += element;
  }
  c.fields = decodeCompanionFields(text);
  return c;
}

std::optional<Companion> LogCompanion::read(const QString &key) {
  if (!locate(key)) return std::nullopt;
  return current();
}

bool LogCompanion::write(const Companion &c) {
  if (!open_) return false;
  const QByteArray fields = encodeCompanionFields(c.fields);
  if (fields.size() > kFieldsElements * kFieldsElementLength) return false;
  locate(c.key);  // a record of the key is replaced, else one is added
  const QByteArray utc = c.utc.isValid() ? c.utc.toUTC().toString(QLatin1String(kUtcPattern)).toLatin1() : QByteArray();
  kdb_->copyFput(c.key.toLatin1(), "UNIKEY", fileId_);
  kdb_->copyFput(utc, "UTC", fileId_);
  kdb_->copyFput(c.call.toUtf8(), "CALL", fileId_);
  kdb_->copyFput(c.band, "BAND", fileId_);
  kdb_->copyFput(c.notes.toUtf8(), "NOTES", fileId_);
  for (int i = 0; i < kFieldsElements; ++i)
    kdb_->copyFput(fields.mid(i * kFieldsElementLength, kFieldsElementLength), elementRef(i), fileId_);
  return kdb_->write(fileId_, 0, 0) == KDB_OK;
}

void LogCompanion::remove(const QString &key) {
  if (locate(key)) kdb_->remove(fileId_);
}

void LogCompanion::forEach(const std::function<void(const Companion &)> &visit, bool whole) {
  if (!open_) return;
  kdb_->posn(fileId_, QByteArray(), 1, 0);
  while (kdb_->read(fileId_, 0) == KDB_OK) {
    const Companion c = current(whole);
    if (c.key != QLatin1String(kPropertiesKey)) visit(c);
  }
}

std::optional<bool> LogCompanion::stampsInUtc() {
  const std::optional<Companion> properties = read(QLatin1String(kPropertiesKey));
  if (!properties) return std::nullopt;
  const auto found = properties->fields.find(kStampsInUtcField);
  if (found == properties->fields.end()) return std::nullopt;
  return found->second == "1";
}

bool LogCompanion::setStampsInUtc(bool utc) {
  Companion properties = read(QLatin1String(kPropertiesKey)).value_or(Companion{});
  properties.key = QLatin1String(kPropertiesKey);
  properties.fields[kStampsInUtcField] = utc ? "1" : "0";
  return write(properties);
}

}  // namespace tables
