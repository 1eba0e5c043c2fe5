#include "app/tables/adifentry.h"

#include <QStringDecoder>
#include <cmath>

#include "app/tables/stamps.h"

namespace tables {

namespace {

// The log writes two-digit years; they stand for 1978 to 2077.
constexpr int kFirstYear = 1978, kLastYear = 2077;

// Frequencies the log's "FRQ" item holds, in units of 10 Hz: up to 99999.99 kHz.
constexpr qint64 kMaxTenHz = 9999999;

// ADIF's bands, in 10 Hz.
const struct {
  const char *name;
  qint64 low, high;
} kBands[] = {
    {"2190m", 13570, 13780},          {"630m", 47200, 47900},           {"560m", 50100, 50400},
    {"160m", 180000, 200000},         {"80m", 350000, 400000},          {"60m", 506000, 545000},
    {"40m", 700000, 730000},          {"30m", 1010000, 1015000},        {"20m", 1400000, 1435000},
    {"17m", 1806800, 1816800},        {"15m", 2100000, 2145000},        {"12m", 2489000, 2499000},
    {"10m", 2800000, 2970000},        {"8m", 4000000, 4500000},         {"6m", 5000000, 5400000},
    {"5m", 5400001, 6990000},         {"4m", 7000000, 7100000},         {"2m", 14400000, 14800000},
    {"1.25m", 22200000, 22500000},    {"70cm", 42000000, 45000000},     {"33cm", 90200000, 92800000},
    {"23cm", 124000000, 130000000},
};

// Fields whose values the log's own items decide: an entry edited since
// its import sends these as the log holds them.
const char *const kEntryFields[] = {"QSO_DATE", "TIME_ON", "FREQ",    "BAND",             "MODE",
                                    "SUBMODE",  "COMMENT", "NOTES",   "APP_TESSALY_MODE", "APP_TESSALY_NET"};
// The order of the leading fields of a written record; the rest follow by name.
const char *const kLeadingFields[] = {"QSO_DATE", "TIME_ON", "CALL", "FREQ", "BAND", "MODE", "SUBMODE"};

bool isEntryField(const QByteArray &name) {
  for (const char *f : kEntryFields)
    if (name == f) return true;
  return false;
}

// A year QDate refuses (0) when `twoDigits` is not a number.
int fullYear(int twoDigits) {
  if (twoDigits < 0) return 0;
  return twoDigits + (twoDigits >= kFirstYear % 100 ? 1900 : 2000);
}

// The digits of text[at, at + count) as a number, -1 when they are not all digits.
int digitsAt(const QString &text, qsizetype at, qsizetype count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (qsizetype i = at; i < at + count; ++i) {
    if (!text[i].isDigit() || text[i].unicode() > '9') return -1;
    value = value * 10 + (text[i].unicode() - '0');
  }
  return value;
}

// The local date and time of an entry: "DATETIME", else "DATESORT".
std::optional<std::pair<QDate, QTime>> entryTime(const LogEntry &entry) {
  QDate date;
  QTime time;
  const QString &t = entry.dateTime;
  if (t.size() == 14 && t[2] == u'/' && t[5] == u'/' && t[8] == u' ' && t[11] == u':') {
    date = QDate(fullYear(digitsAt(t, 6, 2)), digitsAt(t, 0, 2), digitsAt(t, 3, 2));
    time = QTime(digitsAt(t, 9, 2), digitsAt(t, 12, 2));
  }
  const QString &s = entry.dateSort;
  if ((!date.isValid() || !time.isValid()) && s.size() == 10) {
    date = QDate(fullYear(digitsAt(s, 0, 2)), digitsAt(s, 2, 2), digitsAt(s, 4, 2));
    time = QTime(digitsAt(s, 6, 2), digitsAt(s, 8, 2));
  }
  if (!date.isValid() || !time.isValid()) return std::nullopt;
  return std::pair(date, time);
}

// The UTC moment of a local date and time of `zone`, and how sure it is:
// the offsets in force a day before and a day after are the candidates.
std::pair<QDateTime, EntryTime> utcOf(QDate date, QTime time, const QTimeZone &zone) {
  const QDateTime naive(date, time, QTimeZone::utc());
  const int before = zone.offsetFromUtc(naive.addSecs(-86400)), after = zone.offsetFromUtc(naive.addSecs(86400));
  std::vector<QDateTime> fits;
  for (int offset : {before, after}) {
    const QDateTime utc = naive.addSecs(-offset);
    if (zone.offsetFromUtc(utc) == offset && (fits.empty() || fits[0] != utc)) fits.push_back(utc);
  }
  if (fits.empty()) return {naive.addSecs(-before), EntryTime::Missing};
  if (fits.size() == 1) return {fits[0], EntryTime::Converted};
  return {std::min(fits[0], fits[1]), EntryTime::Ambiguous};
}

std::optional<qint64> tenHzOf(const QByteArray &text, double scale) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  const double tenHz = std::round(value * scale);
  return tenHz > 1e15 || tenHz < -1e15 ? std::optional<qint64>(-1) : static_cast<qint64>(tenHz);
}

QString decoded(const QByteArray &bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  for (QChar &c : text)
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = u' ';
  return text.trimmed();
}

// `text` cut to `length` characters; sets `*cut` when it was longer.
QString cutTo(QString text, qsizetype length, bool *cut) {
  if (text.size() > length) {
    text.truncate(length);
    *cut = true;
  }
  return text.trimmed();
}

int countBeyondLatin1(const QString &text) {
  int count = 0;
  for (char32_t c : text.toUcs4())
    if (c > 0xff) ++count;
  return count;
}

// What Log.Dat keeps of a text: its Latin-1 form.
QString asStored(const QString &text) { return QString::fromLatin1(text.toLatin1()); }

bool sameEntry(const LogEntry &a, const LogEntry &b) {
  return a.dateTime == b.dateTime && a.frequency == b.frequency && a.mode == b.mode && a.net == b.net &&
         a.dateSort == b.dateSort && asStored(a.notes) == asStored(b.notes);
}

// The fields an entry gives by itself at UTC time `utc`, with the call,
// band and notes its companion `extra` (or null) adds.
AdifFields derivedFields(const LogEntry &entry, const QDateTime &utc, const Companion *extra) {
  AdifFields f;
  f["QSO_DATE"] = utc.toString("yyyyMMdd").toLatin1();
  f["TIME_ON"] = utc.toString("HHmmss").toLatin1();
  const std::optional<qint64> tenHz = tenHzOf(entry.frequency.toLatin1(), 100);
  if (tenHz && *tenHz > 0 && *tenHz <= kMaxTenHz) {
    f["FREQ"] = QByteArray::number(*tenHz / 100000) + '.' + QByteArray::number(*tenHz % 100000).rightJustified(5, '0');
    if (const QByteArray band = bandFor(*tenHz); !band.isEmpty()) f["BAND"] = band;
  } else if (extra && !extra->band.isEmpty()) {
    f["BAND"] = extra->band;
  }
  const std::optional<AdifMode> mode = adifModeFor(entry.mode);
  if (mode) {
    f["MODE"] = mode->mode;
    if (!mode->submode.isEmpty()) f["SUBMODE"] = mode->submode;
  } else if (!entry.mode.isEmpty()) {
    f["NOTES"] = "Mode: " + entry.mode.toUtf8();
  }
  if (!entry.mode.isEmpty() && (!mode || logModeFor(mode->mode, mode->submode) != entry.mode))
    f["APP_TESSALY_MODE"] = entry.mode.toUtf8();
  if (entry.net == u'1') f["APP_TESSALY_NET"] = "1";
  const bool fullNotes = extra && !extra->notes.isEmpty() && asStored(extra->notes) == asStored(entry.notes);
  const QString &notes = fullNotes ? extra->notes : entry.notes;
  if (!notes.isEmpty()) f["COMMENT"] = notes.toUtf8();
  if (extra && !extra->call.isEmpty()) f["CALL"] = extra->call.toUtf8();
  return f;
}

QByteArray written(const AdifFields &fields) {
  QByteArray out;
  for (const char *name : kLeadingFields)
    if (const auto found = fields.find(name); found != fields.end()) out += adifField(found->first, found->second);
  for (const auto &[name, value] : fields) {
    bool leading = false;
    for (const char *l : kLeadingFields) leading = leading || name == l;
    if (!leading) out += adifField(name, value);
  }
  return out + "<EOR>\n";
}

}  // namespace

QByteArray bandFor(qint64 tenHz) {
  for (const auto &b : kBands)
    if (tenHz >= b.low && tenHz <= b.high) return b.name;
  return {};
}

std::optional<ExportedRecord> adifRecordFor(const LogEntry &entry, const Companion *extra, const QTimeZone &zone) {
  const std::optional<std::pair<QDate, QTime>> local = entryTime(entry);
  if (!local) return std::nullopt;
  auto [utc, how] = utcOf(local->first, local->second, zone);
  if (extra && extra->utc.isValid()) {
    // The exact time stands while the entry's own stamp still names its minute.
    const QDateTime there = extra->utc.toTimeZone(zone);
    if (there.date() == local->first && there.time().hour() == local->second.hour() &&
        there.time().minute() == local->second.minute()) {
      utc = extra->utc;
      how = EntryTime::Exact;
    }
  }
  const AdifFields derived = derivedFields(entry, utc, extra);
  if (!derived.count("FREQ") && !derived.count("BAND") && !(extra && extra->fields.count("FREQ"))) return std::nullopt;
  AdifFields fields = derived;
  if (extra && !extra->fields.empty()) {
    AdifFields merged = derived;
    if (extra->fields.count("NOTES") && !extra->fields.count("COMMENT")) merged.erase("COMMENT");
    for (const auto &[name, value] : extra->fields) merged[name] = value;
    AdifRecord back;
    back.fields = merged;
    const ImportedEntry again = logEntryFor(back, zone);
    if (again.entry && sameEntry(*again.entry, entry)) {
      fields = std::move(merged);
    } else {
      for (const auto &[name, value] : extra->fields)
        if (!isEntryField(name)) fields[name] = value;
    }
  }
  return ExportedRecord{written(fields), std::move(fields), how};
}

ImportedEntry logEntryFor(const AdifRecord &record, const QTimeZone &zone) {
  ImportedEntry out;
  switch (record.damage) {
    case AdifDamage::None: break;
    case AdifDamage::BadTag: out.skip = ImportSkip::BadTag; return out;
    case AdifDamage::MissingEnd: out.skip = ImportSkip::MissingEnd; return out;
    case AdifDamage::CutShort: out.skip = ImportSkip::CutShort; return out;
    case AdifDamage::TooLarge: out.skip = ImportSkip::TooLarge; return out;
  }
  const QByteArray dateText = record.value("QSO_DATE").trimmed(), timeText = record.value("TIME_ON").trimmed();
  const QDate date = dateText.size() == 8 ? QDate::fromString(QString::fromLatin1(dateText), "yyyyMMdd") : QDate();
  const QTime time = timeText.size() == 6   ? QTime::fromString(QString::fromLatin1(timeText), "HHmmss")
                     : timeText.size() == 4 ? QTime::fromString(QString::fromLatin1(timeText), "HHmm")
                                            : QTime();
  const QDateTime utc(date, time, QTimeZone::utc());
  const QDateTime local = utc.toTimeZone(zone);
  if (!date.isValid() || !time.isValid() || local.date().year() < kFirstYear || local.date().year() > kLastYear) {
    out.skip = ImportSkip::BadDate;
    return out;
  }
  const QByteArray band = record.value("BAND").trimmed();
  std::optional<qint64> tenHz;
  if (record.has("FREQ")) {
    tenHz = tenHzOf(record.value("FREQ"), 100000);
    if (!tenHz || *tenHz <= 0) {
      out.skip = tenHz ? ImportSkip::FrequencyRange : ImportSkip::BadFrequency;
      return out;
    }
  } else if (band.isEmpty()) {
    out.skip = ImportSkip::NoFrequency;
    return out;
  }

  LogEntry entry;
  entry.dateTime = stamp(QLatin1String(kLogDatePattern), local);
  entry.dateSort = stamp(QLatin1String(kSortPattern), local);
  entry.key = stamp(QLatin1String(kUniqueKeyPattern), local);
  if (tenHz && *tenHz <= kMaxTenHz)
    entry.frequency = QStringLiteral("%1.%2").arg(*tenHz / 100, 5, 10, QLatin1Char('0')).arg(*tenHz % 100, 2, 10, QLatin1Char('0'));
  const QString mode = record.has("APP_TESSALY_MODE") ? decoded(record.value("APP_TESSALY_MODE"))
                                                      : logModeFor(record.value("MODE"), record.value("SUBMODE"));
  entry.mode = cutTo(mode, kLogModeLength, &out.cut);
  entry.net = record.value("APP_TESSALY_NET").trimmed() == "1" ? QStringLiteral("1") : QStringLiteral("0");
  const QString notes = decoded(record.value(record.has("COMMENT") ? "COMMENT" : "NOTES"));
  entry.notes = cutTo(notes, kLogNotesLength, &out.cut);
  out.beyondLatin1 = countBeyondLatin1(entry.notes);

  Companion &extra = out.extra;
  extra.key = entry.key;
  extra.utc = utc;
  extra.call = decoded(record.value("CALL"));
  if (entry.frequency.isEmpty()) extra.band = !band.isEmpty() ? band : bandFor(*tenHz);
  if (out.beyondLatin1 > 0) extra.notes = entry.notes;
  const AdifFields derived = derivedFields(entry, utc, &extra);
  for (const auto &[name, value] : record.fields) {
    const auto same = derived.find(name);
    if (same == derived.end() || same->second != value) extra.fields.emplace(name, value);
  }
  if (!LogCompanion::fits(extra.fields)) {
    out.skip = ImportSkip::TooLarge;
    return out;
  }
  out.entry = std::move(entry);
  return out;
}

QByteArray contactIdentity(const AdifFields &fields) {
  auto value = [&](const char *name) {
    const auto found = fields.find(name);
    return found == fields.end() ? QByteArray() : found->second.trimmed();
  };
  const QByteArray date = value("QSO_DATE"), time = value("TIME_ON").left(4);
  if (date.size() != 8 || time.size() != 4) return {};
  QByteArray band = value("BAND").toLower();
  if (band.isEmpty())
    if (const std::optional<qint64> tenHz = tenHzOf(value("FREQ"), 100000)) band = bandFor(*tenHz);
  QByteArray mode = value("MODE").toUpper();
  if (mode.isEmpty())
    if (const std::optional<AdifMode> m = adifModeFor(QString::fromUtf8(value("APP_TESSALY_MODE")))) mode = m->mode;
  return date + time + '|' + value("CALL").toUpper() + '|' + band + '|' + mode;
}

}  // namespace tables
