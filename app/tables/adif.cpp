#include "app/tables/adif.h"

namespace tables {

namespace {

// Longest tag name taken as a name; a longer run is text between fields.
constexpr qsizetype kMaxNameLength = 64;

bool isNameChar(char c) {
  return c != ':' && c != '>' && c != '<' && c != ',' && c != '{' && c != '}' && static_cast<unsigned char>(c) > ' ';
}

bool allDigits(const QByteArray &text) {
  if (text.isEmpty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Reads the records; `pos` always moves forward, so every loop ends.
class Reader {
public:
  explicit Reader(const QByteArray &text) : text_(text) {}

  std::vector<AdifRecord> run() {
    qsizetype pos = 0;
    while ((pos = text_.indexOf('<', pos)) >= 0) {
      if (!tag(&pos)) return finish(AdifDamage::CutShort);
    }
    return finish(AdifDamage::MissingEnd);
  }

private:
  // Reads the tag at `*pos`; false when a value runs past the end.
  bool tag(qsizetype *pos) {
    const qsizetype start = *pos + 1;
    qsizetype end = start;
    while (end < text_.size() && end - start <= kMaxNameLength && isNameChar(text_[end])) ++end;
    if (end == start || end >= text_.size() || end - start > kMaxNameLength ||
        (text_[end] != ':' && text_[end] != '>')) {
      *pos = start;  // a lone "<" in text between fields
      return true;
    }
    const QByteArray name = text_.mid(start, end - start).toUpper();
    if (text_[end] == '>') {
      *pos = end + 1;
      marker(name);
      return true;
    }
    const qsizetype close = text_.indexOf('>', end);
    if (close < 0) {
      // The tag itself never ends: nothing more can be read.
      *pos = text_.size();
      damage(AdifDamage::MissingEnd);
      return true;
    }
    QByteArray spec = text_.mid(end + 1, close - end - 1);
    const qsizetype typeColon = spec.indexOf(':');
    if (typeColon >= 0) spec.truncate(typeColon);
    *pos = close + 1;
    if (!allDigits(spec)) {
      damage(AdifDamage::BadTag);
      return true;
    }
    // Lengths longer than what is left are not converted, so they cannot overflow.
    const qsizetype left = text_.size() - *pos;
    if (spec.size() > 18 || spec.toLongLong() > left) return false;
    const qsizetype length = static_cast<qsizetype>(spec.toLongLong());
    field(name, text_.mid(*pos, length));
    *pos += length;
    return true;
  }

  void marker(const QByteArray &name) {
    if (name == "EOR") {
      AdifRecord record = std::move(current_);
      if (record.damage != AdifDamage::None) record.fields.clear();
      records_.push_back(std::move(record));
      current_ = {};
      pending_ = false;
      sawRecord_ = true;
    } else if (name == "EOH" && !sawRecord_) {
      current_ = {};  // what came before was the header
      pending_ = false;
    } else if (name != "EOH") {
      damage(AdifDamage::BadTag);  // a field without a length
    }
  }

  void field(const QByteArray &name, const QByteArray &value) {
    pending_ = true;
    if (!current_.fields.emplace(name, value).second) damage(AdifDamage::MissingEnd);
  }

  void damage(AdifDamage why) {
    pending_ = true;
    if (current_.damage == AdifDamage::None) current_.damage = why;
  }

  // The record still open at the end, if any, is damaged by `why`.
  std::vector<AdifRecord> finish(AdifDamage why) {
    if (pending_ || why == AdifDamage::CutShort) {
      AdifRecord last;
      last.damage = why == AdifDamage::CutShort || current_.damage == AdifDamage::None ? why : current_.damage;
      records_.push_back(std::move(last));
    }
    return std::move(records_);
  }

  const QByteArray &text_;
  std::vector<AdifRecord> records_;
  AdifRecord current_;
  bool pending_ = false;  // the open record has fields or damage
  bool sawRecord_ = false;
};

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

std::vector<AdifRecord> readAdif(const QByteArray &text) { return Reader(text).run(); }

}  // namespace tables
