// The ADIF pieces without tables: the tolerant reader, the writer's byte
// lengths, the mode mapping both ways, bands, and entries to records and back.
#include <gtest/gtest.h>

#include "app/tables/adif.h"
#include "app/tables/adifentry.h"

using namespace tables;

namespace {

const QTimeZone kZone(3600);  // an hour ahead of UTC

LogEntry entry(const char *mode, const QString &notes = "notes") {
  return {"12/07/26 21:05", "14070.15", mode, "0", "2612072105", notes, "261207210509"};
}

AdifRecord only(const QByteArray &text) {
  const std::vector<AdifRecord> records = readAdif(text);
  EXPECT_EQ(records.size(), 1u);
  return records.empty() ? AdifRecord() : records[0];
}

}  // namespace

TEST(AdifReader, HeaderCaseLineEndsAndExtraFields) {
  const QByteArray text =
      "Made by hand <not a tag> for the test\r\n<adif_ver:5>3.1.4 <programid:4>Test\r\n<eoh>\r\n"
      "<call:4>DL1X <qso_date:8:d>20261207<Time_On:4>2005 <freq:6>14.070\n<Mode:3>PSK<submode:5>PSK31"
      "<comment:8>a <b> c\n<eor>\n"
      "<QSO_DATE:8>20261208<TIME_ON:6>010203<FREQ:4>7.05<EOR>\r\n";
  const std::vector<AdifRecord> records = readAdif(text);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].damage, AdifDamage::None);
  EXPECT_EQ(records[0].value("CALL"), "DL1X");
  EXPECT_EQ(records[0].value("QSO_DATE"), "20261207");
  EXPECT_EQ(records[0].value("COMMENT"), "a <b> c\n");
  EXPECT_FALSE(records[0].has("ADIF_VER"));
  EXPECT_EQ(records[1].value("TIME_ON"), "010203");
  // Without a header the first fields are a record.
  EXPECT_EQ(only("<FREQ:4>7.05<EOR>").value("FREQ"), "7.05");
}

TEST(AdifReader, DamageIsReportedAndNothingHalfIsReturned) {
  const std::vector<AdifRecord> records = readAdif(
      "<EOH><FREQ:x>14.0<QSO_DATE:8>20261207<EOR>"        // bad length
      "<FREQ>14.0<EOR>"                                    // no length at all
      "<FREQ:4>14.0<QSO_DATE:8>20261207"                  // missing end: a field comes twice
      "<FREQ:4>21.0<QSO_DATE:8>20261207<EOR>"
      "<FREQ:4>28.0<EOR>"
      "<COMMENT:500>too short");
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].damage, AdifDamage::BadTag);
  EXPECT_EQ(records[1].damage, AdifDamage::BadTag);
  EXPECT_EQ(records[2].damage, AdifDamage::MissingEnd);
  EXPECT_TRUE(records[2].fields.empty());
  EXPECT_EQ(records[3].value("FREQ"), "28.0");
  EXPECT_EQ(records[4].damage, AdifDamage::CutShort);
  // Fields after the last <EOR>, a tag that never closes, a huge length.
  EXPECT_EQ(only("<FREQ:4>14.0").damage, AdifDamage::MissingEnd);
  EXPECT_EQ(readAdif("<FREQ:4>14.0<EOR><FREQ:4").back().damage, AdifDamage::MissingEnd);
  EXPECT_EQ(only("<FREQ:99999999999999999999999>1").damage, AdifDamage::CutShort);
  EXPECT_TRUE(readAdif("").empty());
  EXPECT_TRUE(readAdif("just text <<< >>>").empty());
}

TEST(AdifWriter, LengthsCountBytes) {
  EXPECT_EQ(adifField("COMMENT", "Grüße"), QByteArray("<COMMENT:7>Gr\xc3\xbc\xc3\x9f" "e"));
  const QByteArray header = adifHeader("Tessaly", QDateTime(QDate(2026, 12, 7), QTime(21, 5, 9), QTimeZone::utc()));
  EXPECT_TRUE(header.contains("<ADIF_VER:5>3.1.4"));
  EXPECT_TRUE(header.contains("<PROGRAMID:7>Tessaly"));
  EXPECT_TRUE(header.contains("<CREATED_TIMESTAMP:15>20261207 210509"));
  EXPECT_TRUE(readAdif(header).empty());
}

TEST(AdifModes, BothWays) {
  const struct {
    const char *log, *mode, *submode, *back;
  } cases[] = {
      {"LSB", "SSB", "LSB", "LSB"},  {"USB", "SSB", "USB", "USB"},    {"CW-W", "CW", "", "CW"},
      {"CW-N", "CW", "", "CW"},      {"AM-W", "AM", "", "AM"},        {"AM-N", "AM", "", "AM"},
      {"FM", "FM", "", "FM"},        {"FSK", "RTTY", "", "RTTY"},     {"RTTY", "RTTY", "", "RTTY"},
      {"psk31", "PSK", "PSK31", "PSK31"}, {"Olivia", "OLIVIA", "", "Olivia"}, {"SSTV", "SSTV", "", "SSTV"},
  };
  for (const auto &c : cases) {
    const std::optional<AdifMode> m = adifModeFor(c.log);
    ASSERT_TRUE(m) << c.log;
    EXPECT_EQ(m->mode, c.mode) << c.log;
    EXPECT_EQ(m->submode, c.submode) << c.log;
    EXPECT_EQ(logModeFor(m->mode, m->submode), c.back) << c.log;
  }
  EXPECT_FALSE(adifModeFor("Unknown Digital"));
  EXPECT_EQ(logModeFor("ssb", "usb"), "USB");
  EXPECT_EQ(logModeFor("PSK", "PSK63"), "PSK63");
  EXPECT_EQ(logModeFor("FT8", ""), "FT8");
}

TEST(AdifBands, EdgesBelongToTheBand) {
  EXPECT_EQ(bandFor(1400000), "20m");
  EXPECT_EQ(bandFor(1435000), "20m");
  EXPECT_EQ(bandFor(1435001), "");
  EXPECT_EQ(bandFor(705500), "40m");
  EXPECT_EQ(bandFor(950000), "");  // broadcast, not an amateur band
  EXPECT_EQ(bandFor(5000000), "6m");
}

TEST(AdifEntries, ExportedEntryReadsBackTheSame) {
  for (const char *mode : {"USB", "CW-N", "FSK", "Unknown Digital", "usb", ""}) {
    LogEntry e = entry(mode, QString::fromUtf8("Grüße, 73 <de> me"));
    e.net = "1";
    const std::optional<QByteArray> record = adifRecordFor(e, kZone);
    ASSERT_TRUE(record) << mode;
    const ImportedEntry back = logEntryFor(only(*record), kZone);
    ASSERT_TRUE(back.entry) << mode;
    LogEntry expected = e;
    expected.key = "261207210500";  // a fresh key from the time logged
    EXPECT_EQ(*back.entry, expected) << mode;
    EXPECT_FALSE(back.cut);
  }
  // The written fields: UTC, MHz, band, mode; the net flag and the exact mode of our own.
  const QByteArray record = *adifRecordFor(entry("CW-N"), kZone);
  EXPECT_TRUE(record.contains("<QSO_DATE:8>20261207<TIME_ON:6>200500<FREQ:8>14.07015<BAND:3>20m<MODE:2>CW"));
  EXPECT_TRUE(record.contains("<APP_TESSALY_MODE:4>CW-N"));
  EXPECT_FALSE(adifRecordFor(entry("USB"), kZone)->contains("APP_TESSALY"));
  EXPECT_TRUE(adifRecordFor(entry("Unknown Digital"), kZone)->contains("<NOTES:21>Mode: Unknown Digital"));
  // The sort stamp stands in for an unreadable date; nothing readable, no record.
  LogEntry e = entry("USB");
  e.dateTime = "garbage";
  EXPECT_TRUE(adifRecordFor(e, kZone));
  e.dateSort = "26120721x5";
  EXPECT_FALSE(adifRecordFor(e, kZone));
  e = entry("USB");
  e.frequency = "abc";
  EXPECT_FALSE(adifRecordFor(e, kZone));
}

TEST(AdifEntries, ImportChecksAndCuts) {
  auto imported = [](const QByteArray &fields) { return logEntryFor(only(fields + "<EOR>"), kZone); };
  const ImportedEntry good = imported("<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:5>7.055<MODE:3>SSB<SUBMODE:3>LSB");
  ASSERT_TRUE(good.entry);
  // UTC 23:05 is 00:05 on the next day an hour ahead.
  EXPECT_EQ(good.entry->dateTime, "12/08/26 00:05");
  EXPECT_EQ(good.entry->dateSort, "2612080005");
  EXPECT_EQ(good.entry->key, "261208000500");
  EXPECT_EQ(good.entry->frequency, "07055.00");
  EXPECT_EQ(good.entry->mode, "LSB");
  EXPECT_EQ(good.entry->net, "0");

  const struct {
    const char *fields;
    ImportSkip skip;
  } broken[] = {
      {"<QSO_DATE:8>20260230<TIME_ON:4>2305<FREQ:5>7.055", ImportSkip::BadDate},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2561<FREQ:5>7.055", ImportSkip::BadDate},
      {"<TIME_ON:4>2305<FREQ:5>7.055", ImportSkip::BadDate},
      {"<QSO_DATE:8>21000101<TIME_ON:4>2305<FREQ:5>7.055", ImportSkip::BadDate},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305", ImportSkip::NoFrequency},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:5>7,055", ImportSkip::BadFrequency},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:3>nan", ImportSkip::BadFrequency},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:3>144", ImportSkip::FrequencyRange},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:2>-7", ImportSkip::FrequencyRange},
  };
  for (const auto &b : broken) {
    const ImportedEntry e = imported(b.fields);
    EXPECT_FALSE(e.entry) << b.fields;
    EXPECT_EQ(e.skip, b.skip) << b.fields;
  }

  const QByteArray longNotes = QByteArray(98, 'n') + "\xc3\xa9\xc3\xa9xyz";  // 103 characters
  const ImportedEntry cut = imported("<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:5>7.055<MODE:20>OLIVIA 16/1000 LONGE"
                                     "<COMMENT:" + QByteArray::number(longNotes.size()) + ">" + longNotes);
  ASSERT_TRUE(cut.entry);
  EXPECT_TRUE(cut.cut);
  EXPECT_EQ(cut.entry->notes, QString(98, 'n') + QString::fromUtf8("éé"));
  EXPECT_EQ(cut.entry->mode, "OLIVIA 16/1000");
  // Latin-1 text and line ends inside a comment.
  const ImportedEntry latin = imported("<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:5>7.055<COMMENT:8>caf\xe9\r\nok");
  ASSERT_TRUE(latin.entry);
  EXPECT_EQ(latin.entry->notes, QString::fromUtf8("café  ok"));
  EXPECT_FALSE(latin.cut);
}
