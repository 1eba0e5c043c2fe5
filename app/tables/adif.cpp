#include "app/tables/adif.h"

#include <QBuffer>

namespace tables {

namespace {

// Longest tag name taken as a name; a longer run is text between fields.
constexpr qsizetype kMaxNameLength = 64;
// Longest length-and-type part of a tag ("123:S").
constexpr qsizetype kMaxSpecLength = 40;
// Bytes read from the source at a time.
constexpr qsizetype kReadBlock = 64 * 1024;

bool isNameChar(char c) {
  return c != ':' && c != '>' && c != '<' && c != ',' && c != '{' && c != '}' && static_cast<unsigned char>(c) > ' ';
}

bool allDigits(const QByteArray &text) {
  if (text.isEmpty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

QByteArray adifField(const QByteArray &name, const QByteArray &value) {
  return '<' + name + ':' + QByteArray::number(value.size()) + '>' + value;
}

QByteArray adifHeader(const QByteArray &programId, const QDateTime &created) {
  return "Station log exported by " + programId + "\n" + adifField("ADIF_VER", "3.1.4") + "\n" +
         adifField("PROGRAMID", programId) + "\n" +
         adifField("CREATED_TIMESTAMP", created.toUTC().toString("yyyyMMdd HHmmss").toLatin1()) + "\n<EOH>\n";
}

QByteArray AdifRecord::value(const char *name) const {
  const auto found = fields.find(name);
  return found == fields.end() ? QByteArray() : found->second;
}

AdifReader::AdifReader(QIODevice *source) : source_(source) {}

AdifReader::AdifReader(const QByteArray &text) : owned_(std::make_unique<QBuffer>()), source_(owned_.get()) {
  auto *buffer = static_cast<QBuffer *>(owned_.get());
  buffer->setData(text);
  buffer->open(QIODevice::ReadOnly);
}

AdifReader::~AdifReader() = default;

bool AdifReader::fill(qsizetype wanted) {
  if (buffer_.size() - pos_ >= wanted) return true;
  buffer_.remove(0, pos_);
  consumed_ += pos_;
  pos_ = 0;
  while (buffer_.size() < wanted && !atEnd_) {
    const qsizetype had = buffer_.size();
    buffer_.resize(had + std::max(kReadBlock, wanted - had));
    const qint64 got = source_->read(buffer_.data() + had, buffer_.size() - had);
    buffer_.resize(had + std::max<qint64>(got, 0));
    if (got <= 0) atEnd_ = true;
  }
  return buffer_.size() >= wanted;
}

bool AdifReader::skip(qint64 count) {
  while (count > 0) {
    if (!fill(1)) return false;
    const qint64 step = std::min<qint64>(count, buffer_.size() - pos_);
    pos_ += step;
    count -= step;
  }
  return true;
}

std::optional<AdifRecord> AdifReader::next() {
  while (!done_) {
    const qsizetype open = buffer_.indexOf('<', pos_);
    if (open < 0) {
      pos_ = buffer_.size();
      if (!fill(1)) return finish(AdifDamage::MissingEnd);
      continue;
    }
    pos_ = open;
    if (std::optional<AdifRecord> record = tag()) return record;
  }
  return std::nullopt;
}

// Reads the tag at pos_; the record it ends, if any.
std::optional<AdifRecord> AdifReader::tag() {
  fill(2 + kMaxNameLength + kMaxSpecLength + 1);
  const qsizetype start = pos_ + 1, size = buffer_.size();
  qsizetype end = start;
  while (end < size && end - start <= kMaxNameLength && isNameChar(buffer_[end])) ++end;
  if (end == start || end >= size || end - start > kMaxNameLength || (buffer_[end] != ':' && buffer_[end] != '>')) {
    pos_ = start;  // a lone "<" in text between fields
    return std::nullopt;
  }
  const QByteArray name = buffer_.mid(start, end - start).toUpper();
  if (buffer_[end] == '>') {
    pos_ = end + 1;
    return marker(name);
  }
  const qsizetype close = buffer_.indexOf('>', end);
  if (close < 0 || close - end > kMaxSpecLength) {
    if (close < 0 && atEnd_) {
      pos_ = size;  // the tag itself never ends: nothing more can be read
      damage(AdifDamage::MissingEnd);
    } else {
      pos_ = end + 1;
      damage(AdifDamage::BadTag);
    }
    return std::nullopt;
  }
  QByteArray spec = buffer_.mid(end + 1, close - end - 1);
  if (const qsizetype typeColon = spec.indexOf(':'); typeColon >= 0) spec.truncate(typeColon);
  pos_ = close + 1;
  if (!allDigits(spec)) {
    damage(AdifDamage::BadTag);
    return std::nullopt;
  }
  // Lengths of more digits than any file holds are not converted, so they cannot overflow.
  if (spec.size() > 18) return finish(AdifDamage::CutShort);
  const qint64 length = spec.toLongLong();
  if (currentBytes_ + length > kAdifMaxRecordBytes || qsizetype(current_.fields.size()) >= kAdifMaxFields) {
    if (!skip(length)) return finish(AdifDamage::CutShort);
    damage(AdifDamage::TooLarge);
    return std::nullopt;
  }
  if (!fill(length)) return finish(AdifDamage::CutShort);
  field(name, buffer_.mid(pos_, length));
  pos_ += length;
  return std::nullopt;
}

std::optional<AdifRecord> AdifReader::marker(const QByteArray &name) {
  if (name == "EOR") {
    AdifRecord record = std::move(current_);
    if (record.damage != AdifDamage::None) {
      record.fields.clear();
      record.repeated.clear();
    }
    current_ = {};
    currentBytes_ = 0;
    pending_ = markerOnly_ = false;
    sawRecord_ = true;
    return record;
  }
  if (name == "EOH") {
    if (!sawRecord_) {
      current_ = {};  // what came before was the header
      currentBytes_ = 0;
      pending_ = markerOnly_ = false;
    }
    return std::nullopt;
  }
  // A field without a length; alone, after the last record, an end marker.
  const bool alone = !pending_ || markerOnly_;
  damage(AdifDamage::BadTag);
  markerOnly_ = alone;
  return std::nullopt;
}

void AdifReader::field(const QByteArray &name, QByteArray value) {
  pending_ = true;
  markerOnly_ = false;
  currentBytes_ += value.size();
  if (!current_.fields.emplace(name, std::move(value)).second) current_.repeated.push_back(name);
}

void AdifReader::damage(AdifDamage why) {
  pending_ = true;
  markerOnly_ = false;
  if (current_.damage == AdifDamage::None) current_.damage = why;
}

// The record still open at the end, if any, is damaged by `why`.
std::optional<AdifRecord> AdifReader::finish(AdifDamage why) {
  done_ = true;
  if ((!pending_ || markerOnly_) && why != AdifDamage::CutShort) return std::nullopt;
  AdifRecord last;
  last.damage = why == AdifDamage::CutShort || current_.damage == AdifDamage::None ? why : current_.damage;
  return last;
}

std::vector<AdifRecord> readAdif(const QByteArray &text) {
  AdifReader reader(text);
  std::vector<AdifRecord> records;
  while (std::optional<AdifRecord> record = reader.next()) records.push_back(std::move(*record));
  return records;
}

}  // namespace tables
