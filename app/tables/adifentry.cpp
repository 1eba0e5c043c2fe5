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

// Log mode texts and their ADIF modes. For the way back the first row of a
// mode and submode wins, so each group starts with the text an import gives.
const struct {
  const char *log, *mode, *submode;
} kModes[] = {
    {"LSB", "SSB", "LSB"}, {"USB", "SSB", "USB"}, {"SSB", "SSB", ""},     {"CW", "CW", ""},
    {"CW-W", "CW", ""},    {"CW-N", "CW", ""},    {"AM", "AM", ""},       {"AM-W", "AM", ""},
    {"AM-N", "AM", ""},    {"FM", "FM", ""},      {"RTTY", "RTTY", ""},   {"FSK", "RTTY", ""},
    {"PSK31", "PSK", "PSK31"}, {"Olivia", "OLIVIA", ""}, {"SSTV", "SSTV", ""},
};

// ADIF's bands up to the highest frequency the log holds, in 10 Hz.
const struct {
  const char *name;
  qint64 low, high;
} kBands[] = {
    {"2190m", 13570, 13780},       {"630m", 47200, 47900},        {"560m", 50100, 50400},
    {"160m", 180000, 200000},      {"80m", 350000, 400000},       {"60m", 506000, 545000},
    {"40m", 700000, 730000},       {"30m", 1010000, 1015000},     {"20m", 1400000, 1435000},
    {"17m", 1806800, 1816800},     {"15m", 2100000, 2145000},     {"12m", 2489000, 2499000},
    {"10m", 2800000, 2970000},     {"8m", 4000000, 4500000},      {"6m", 5000000, 5400000},
    {"5m", 5400001, 6990000},      {"4m", 7000000, 7100000},
};

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

// The local time of an entry: "DATETIME", else "DATESORT".
std::optional<QDateTime> entryTime(const LogEntry &entry, const QTimeZone &zone) {
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
  return QDateTime(date, time, zone);
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

}  // namespace

std::optional<AdifMode> adifModeFor(const QString &logMode) {
  for (const auto &m : kModes)
    if (logMode.compare(QLatin1String(m.log), Qt::CaseInsensitive) == 0) return AdifMode{m.mode, m.submode};
  return std::nullopt;
}

QString logModeFor(const QByteArray &mode, const QByteArray &submode) {
  const QByteArray upperMode = mode.trimmed().toUpper(), upperSub = submode.trimmed().toUpper();
  for (const auto &m : kModes)
    if (upperMode == m.mode && upperSub == m.submode) return QLatin1String(m.log);
  return QString::fromLatin1(upperSub.isEmpty() ? upperMode : upperSub);
}

QByteArray bandFor(qint64 tenHz) {
  for (const auto &b : kBands)
    if (tenHz >= b.low && tenHz <= b.high) return b.name;
  return {};
}

std::optional<QByteArray> adifRecordFor(const LogEntry &entry, const QTimeZone &zone) {
  const std::optional<QDateTime> local = entryTime(entry, zone);
  const std::optional<qint64> tenHz = tenHzOf(entry.frequency.toLatin1(), 100);
  if (!local || !tenHz || *tenHz <= 0 || *tenHz > kMaxTenHz) return std::nullopt;
  const QDateTime utc = local->toUTC();
  QByteArray out = adifField("QSO_DATE", utc.toString("yyyyMMdd").toLatin1()) +
                   adifField("TIME_ON", utc.toString("HHmmss").toLatin1());
  out += adifField("FREQ", QByteArray::number(*tenHz / 100000) + '.' +
                               QByteArray::number(*tenHz % 100000).rightJustified(5, '0'));
  const QByteArray band = bandFor(*tenHz);
  if (!band.isEmpty()) out += adifField("BAND", band);
  const std::optional<AdifMode> mode = adifModeFor(entry.mode);
  if (mode) {
    out += adifField("MODE", mode->mode);
    if (!mode->submode.isEmpty()) out += adifField("SUBMODE", mode->submode);
  } else if (!entry.mode.isEmpty()) {
    out += adifField("NOTES", "Mode: " + entry.mode.toUtf8());
  }
  if (!entry.mode.isEmpty() && (!mode || logModeFor(mode->mode, mode->submode) != entry.mode))
    out += adifField("APP_TESSALY_MODE", entry.mode.toUtf8());
  if (entry.net == u'1') out += adifField("APP_TESSALY_NET", "1");
  if (!entry.notes.isEmpty()) out += adifField("COMMENT", entry.notes.toUtf8());
  return out + "<EOR>\n";
}

ImportedEntry logEntryFor(const AdifRecord &record, const QTimeZone &zone) {
  ImportedEntry out;
  switch (record.damage) {
    case AdifDamage::None: break;
    case AdifDamage::BadTag: out.skip = ImportSkip::BadTag; return out;
    case AdifDamage::MissingEnd: out.skip = ImportSkip::MissingEnd; return out;
    case AdifDamage::CutShort: out.skip = ImportSkip::CutShort; return out;
  }
  const QByteArray dateText = record.value("QSO_DATE").trimmed(), timeText = record.value("TIME_ON").trimmed();
  const QDate date = dateText.size() == 8 ? QDate::fromString(QString::fromLatin1(dateText), "yyyyMMdd") : QDate();
  const QTime time = timeText.size() == 6   ? QTime::fromString(QString::fromLatin1(timeText), "HHmmss")
                     : timeText.size() == 4 ? QTime::fromString(QString::fromLatin1(timeText), "HHmm")
                                            : QTime();
  const QDateTime local = QDateTime(date, time, QTimeZone::utc()).toTimeZone(zone);
  if (!date.isValid() || !time.isValid() || local.date().year() < kFirstYear || local.date().year() > kLastYear) {
    out.skip = ImportSkip::BadDate;
    return out;
  }
  if (!record.has("FREQ")) {
    out.skip = ImportSkip::NoFrequency;
    return out;
  }
  const std::optional<qint64> tenHz = tenHzOf(record.value("FREQ"), 100000);
  if (!tenHz || *tenHz <= 0 || *tenHz > kMaxTenHz) {
    out.skip = tenHz ? ImportSkip::FrequencyRange : ImportSkip::BadFrequency;
    return out;
  }

  LogEntry entry;
  entry.dateTime = stamp(QLatin1String(kLogDatePattern), local);
  entry.dateSort = stamp(QLatin1String(kSortPattern), local);
  entry.key = stamp(QLatin1String(kUniqueKeyPattern), local);
  entry.frequency = QStringLiteral("%1.%2").arg(*tenHz / 100, 5, 10, QLatin1Char('0')).arg(*tenHz % 100, 2, 10, QLatin1Char('0'));
  const QString mode = record.has("APP_TESSALY_MODE") ? decoded(record.value("APP_TESSALY_MODE"))
                                                      : logModeFor(record.value("MODE"), record.value("SUBMODE"));
  entry.mode = cutTo(mode, kLogModeLength, &out.cut);
  entry.net = record.value("APP_TESSALY_NET").trimmed() == "1" ? QStringLiteral("1") : QStringLiteral("0");
  entry.notes = cutTo(decoded(record.value("COMMENT")), kLogNotesLength, &out.cut);
  out.entry = std::move(entry);
  return out;
}

}  // namespace tables
