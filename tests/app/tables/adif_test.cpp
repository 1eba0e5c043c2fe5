// The ADIF pieces without tables: the tolerant streaming reader, the
// writer's byte lengths, the mode mapping both ways, bands, entries to
// records and back with their companions, local times around clock
// changes, and the companion's field text.
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
      "<FREQ:4>14.0<QSO_DATE:8>20261207"                  // fields given twice: the first values stay
      "<FREQ:4>21.0<QSO_DATE:8>20261208<EOR>"
      "<FREQ:4>28.0<EOR>"
      "<COMMENT:500>too short");
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].damage, AdifDamage::BadTag);
  EXPECT_EQ(records[1].damage, AdifDamage::BadTag);
  EXPECT_EQ(records[2].damage, AdifDamage::None);
  EXPECT_EQ(records[2].value("FREQ"), "14.0");
  EXPECT_EQ(records[2].value("QSO_DATE"), "20261207");
  EXPECT_EQ(records[2].repeated, (std::vector<QByteArray>{"FREQ", "QSO_DATE"}));
  EXPECT_EQ(records[3].value("FREQ"), "28.0");
  EXPECT_EQ(records[4].damage, AdifDamage::CutShort);
  // Fields after the last <EOR>, a tag that never closes, a huge length.
  EXPECT_EQ(only("<FREQ:4>14.0").damage, AdifDamage::MissingEnd);
  EXPECT_EQ(readAdif("<FREQ:4>14.0<EOR><FREQ:4").back().damage, AdifDamage::MissingEnd);
  EXPECT_EQ(only("<FREQ:99999999999999999999999>1").damage, AdifDamage::CutShort);
  EXPECT_TRUE(readAdif("").empty());
  EXPECT_TRUE(readAdif("just text <<< >>>").empty());
  // Valueless markers after the last record are no record and no fault.
  EXPECT_EQ(readAdif("<FREQ:4>14.0<EOR>\n<APP_LoTW_EOF>\n<EOF>\n").size(), 1u);
  EXPECT_EQ(only("<EOF><FREQ:4>14.0<EOR>").damage, AdifDamage::BadTag);
}

TEST(AdifReader, BoundsHoldForHugeValuesAndRecords) {
  // A value beyond a record's bounds is passed over and the record refused;
  // the next record reads as usual.
  const QByteArray big(kAdifMaxRecordBytes + 1, 'x');
  std::vector<AdifRecord> records =
      readAdif("<NOTES:" + QByteArray::number(big.size()) + ">" + big + "<FREQ:4>14.0<EOR><FREQ:4>21.0<EOR>");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].damage, AdifDamage::TooLarge);
  EXPECT_EQ(records[1].value("FREQ"), "21.0");
  QByteArray many;
  for (int i = 0; i <= kAdifMaxFields; ++i) many += adifField("APP_X_" + QByteArray::number(i), "1");
  EXPECT_EQ(only(many + "<EOR>").damage, AdifDamage::TooLarge);
  // Records split across the reader's blocks read whole.
  QByteArray text;
  for (int i = 0; i < 5000; ++i) text += adifField("CALL", "K" + QByteArray::number(i)) + adifField("FREQ", "7.0") + "<EOR>\n";
  records = readAdif(text);
  ASSERT_EQ(records.size(), 5000u);
  EXPECT_EQ(records[4321].value("CALL"), "K4321");
  // A tag cut by the end of the text, a length of more digits than any file.
  EXPECT_EQ(only("<FREQ:4>14.0<CALL:").damage, AdifDamage::MissingEnd);
  EXPECT_EQ(only("<CALL:1234567890123456789>x").damage, AdifDamage::CutShort);
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
  // Digital modes: ADIF's own mode, or its group with a submode.
  const struct {
    const char *log, *mode, *submode;
  } digital[] = {{"FT8", "FT8", ""},       {"FT4", "MFSK", "FT4"}, {"JS8", "MFSK", "JS8"},
                 {"JT65", "JT65", ""},     {"JT9", "JT9", ""},     {"Q65", "MFSK", "Q65"},
                 {"PSK63", "PSK", "PSK63"}, {"WSPR", "WSPR", ""}};
  for (const auto &d : digital) {
    EXPECT_EQ(adifModeFor(d.log), (AdifMode{d.mode, d.submode})) << d.log;
    EXPECT_EQ(logModeFor(d.mode, d.submode), d.log) << d.log;
  }
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
    const std::optional<ExportedRecord> record = adifRecordFor(e, nullptr, kZone);
    ASSERT_TRUE(record) << mode;
    EXPECT_EQ(record->time, EntryTime::Converted);
    const ImportedEntry back = logEntryFor(only(record->text), kZone);
    ASSERT_TRUE(back.entry) << mode;
    LogEntry expected = e;
    expected.key = "261207210500";  // a fresh key from the time logged
    EXPECT_EQ(*back.entry, expected) << mode;
    EXPECT_FALSE(back.cut);
  }
  // The written fields: UTC, MHz, band, mode; the net flag and the exact mode of our own.
  auto text = [](const LogEntry &e) { return adifRecordFor(e, nullptr, kZone).value_or(ExportedRecord{}).text; };
  const QByteArray record = text(entry("CW-N"));
  EXPECT_TRUE(record.startsWith("<QSO_DATE:8>20261207<TIME_ON:6>200500<FREQ:8>14.07015<BAND:3>20m<MODE:2>CW"));
  EXPECT_TRUE(record.contains("<APP_TESSALY_MODE:4>CW-N"));
  EXPECT_FALSE(text(entry("USB")).contains("APP_TESSALY"));
  EXPECT_TRUE(text(entry("Unknown Digital")).contains("<NOTES:21>Mode: Unknown Digital"));
  EXPECT_TRUE(text(entry("FT4")).contains("<MODE:4>MFSK<SUBMODE:3>FT4<"));
  // The sort stamp stands in for an unreadable date; nothing readable, no record.
  LogEntry e = entry("USB");
  e.dateTime = "garbage";
  EXPECT_TRUE(adifRecordFor(e, nullptr, kZone));
  e.dateSort = "26120721x5";
  EXPECT_FALSE(adifRecordFor(e, nullptr, kZone));
  e = entry("USB");
  e.frequency = "abc";
  EXPECT_FALSE(adifRecordFor(e, nullptr, kZone));
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
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<BAND:0>", ImportSkip::NoFrequency},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:5>7,055", ImportSkip::BadFrequency},
      {"<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:3>nan", ImportSkip::BadFrequency},
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

TEST(AdifEntries, BandOnlyAndHighFrequencyKeepTheirFields) {
  auto imported = [](const QByteArray &fields) { return logEntryFor(only(fields + "<EOR>"), kZone); };
  const ImportedEntry band = imported("<QSO_DATE:8>20261207<TIME_ON:4>2305<BAND:3>40M<MODE:2>CW<CALL:4>K1AB");
  ASSERT_TRUE(band.entry);
  EXPECT_EQ(band.entry->frequency, "");
  EXPECT_EQ(band.extra.band, "40M");
  EXPECT_EQ(band.extra.call, "K1AB");
  const ImportedEntry high = imported("<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:7>144.174<MODE:3>FT8");
  ASSERT_TRUE(high.entry);
  EXPECT_EQ(high.entry->frequency, "");
  EXPECT_EQ(high.extra.band, "2m");
  EXPECT_EQ(high.extra.fields.at("FREQ"), "144.174");
  // Both go out as they came.
  for (const ImportedEntry *e : {&band, &high}) {
    const std::optional<ExportedRecord> out = adifRecordFor(*e->entry, &e->extra, kZone);
    ASSERT_TRUE(out);
    const AdifRecord back = only(out->text);
    EXPECT_EQ(back.value("BAND"), e == &band ? "40M" : "2m");
    EXPECT_EQ(back.has("FREQ"), e == &high);
  }
}

TEST(AdifEntries, NotesFromNotesAndBeyondLatin1) {
  const ImportedEntry e = logEntryFor(
      only("<QSO_DATE:8>20261207<TIME_ON:4>2305<FREQ:5>7.055<NOTES:15>\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 73<EOR>"),
      kZone);
  ASSERT_TRUE(e.entry);
  EXPECT_EQ(e.entry->notes, QString::fromUtf8("Привет 73"));
  EXPECT_EQ(e.beyondLatin1, 6);
  EXPECT_EQ(e.extra.notes, e.entry->notes);
  // What Log.Dat holds ("?" for each) still matches the companion: the notes go out whole, as NOTES.
  LogEntry stored = *e.entry;
  stored.notes = QString::fromLatin1(stored.notes.toLatin1());
  const AdifRecord back = only(adifRecordFor(stored, &e.extra, kZone)->text);
  EXPECT_EQ(back.value("NOTES"), QString::fromUtf8("Привет 73").toUtf8());
  EXPECT_FALSE(back.has("COMMENT"));
}

TEST(AdifEntries, CompanionFieldsGoOutWhileTheEntryAgrees) {
  const QByteArray fields = "<QSO_DATE:8>20261207<TIME_ON:6>230559<FREQ:9>14.074000<MODE:3>FT8<CALL:5>DL1XY"
                            "<RST_SENT:3>-10<GRIDSQUARE:4>JO62<NAME:7>J\xc3\xbcrgen";
  const ImportedEntry e = logEntryFor(only(fields + "<EOR>"), kZone);
  ASSERT_TRUE(e.entry);
  EXPECT_EQ(e.extra.fields.count("MODE"), 0u);  // the log's FT8 gives it back
  EXPECT_EQ(e.extra.fields.at("FREQ"), "14.074000");  // written another way than the log would
  AdifRecord out = only(adifRecordFor(*e.entry, &e.extra, kZone)->text);
  AdifFields expected = only(fields + "<EOR>").fields;
  expected["BAND"] = "20m";  // the one field added: the band of the frequency
  EXPECT_EQ(out.fields, expected);
  // Edited since: the frequency and mode go out as the log holds them, the rest as it came.
  LogEntry edited = *e.entry;
  edited.frequency = "07074.00";
  edited.mode = "FT4";
  out = only(adifRecordFor(edited, &e.extra, kZone)->text);
  EXPECT_EQ(out.value("FREQ"), "7.07400");
  EXPECT_EQ(out.value("MODE"), "MFSK");
  EXPECT_EQ(out.value("SUBMODE"), "FT4");
  EXPECT_EQ(out.value("GRIDSQUARE"), "JO62");
  EXPECT_EQ(out.value("TIME_ON"), "230559");  // the exact time still names the entry's minute
  edited.dateTime = "12/08/26 01:00";
  EXPECT_EQ(only(adifRecordFor(edited, &e.extra, kZone)->text).value("TIME_ON"), "000000");
}

TEST(AdifTimes, ClockChangesAndExactTimes) {
  const QTimeZone berlin("Europe/Berlin");
  ASSERT_TRUE(berlin.isValid());
  auto exported = [&](const char *dateTime, const Companion *extra = nullptr) {
    LogEntry e{dateTime, "14070.00", "USB", "0", "", "", "261207210509"};
    return *adifRecordFor(e, extra, berlin);
  };
  // Summer time is two hours ahead, winter time one.
  EXPECT_TRUE(exported("07/01/26 12:00").text.contains("<QSO_DATE:8>20260701<TIME_ON:6>100000"));
  EXPECT_TRUE(exported("12/01/26 12:00").text.contains("<QSO_DATE:8>20261201<TIME_ON:6>110000"));
  // 25 October 2026, 02:30 comes twice: the earlier (summer time) is written and reported.
  const ExportedRecord twice = exported("10/25/26 02:30");
  EXPECT_EQ(twice.time, EntryTime::Ambiguous);
  EXPECT_TRUE(twice.text.contains("<QSO_DATE:8>20261025<TIME_ON:6>003000"));
  // 29 March 2026, 02:30 never came.
  const ExportedRecord never = exported("03/29/26 02:30");
  EXPECT_EQ(never.time, EntryTime::Missing);
  EXPECT_TRUE(never.text.contains("<TIME_ON:6>013000"));
  // With the exact time the second hour is written, and nothing is doubtful.
  Companion exact;
  exact.utc = QDateTime(QDate(2026, 10, 25), QTime(1, 30, 17), QTimeZone::utc());
  const ExportedRecord known = exported("10/25/26 02:30", &exact);
  EXPECT_EQ(known.time, EntryTime::Exact);
  EXPECT_TRUE(known.text.contains("<TIME_ON:6>013017"));
  EXPECT_EQ(exported("10/25/26 02:30", nullptr).time, EntryTime::Ambiguous);
  EXPECT_EQ(adifRecordFor(LogEntry{"10/25/26 02:30", "14070.00", "USB", "0", "", "", "1"}, nullptr,
                          QTimeZone::utc())->time, EntryTime::Converted);
}

TEST(AdifContacts, IdentityIsMinuteCallBandAndMode) {
  auto identity = [](const QByteArray &fields) { return contactIdentity(only(fields + "<EOR>").fields); };
  const QByteArray a = identity("<QSO_DATE:8>20261207<TIME_ON:6>230559<CALL:5>dl1xy<FREQ:5>14.07<MODE:3>FT8");
  EXPECT_EQ(a, "202612072305|DL1XY|20m|FT8");
  EXPECT_EQ(identity("<QSO_DATE:8>20261207<TIME_ON:4>2305<CALL:5>DL1XY<BAND:3>20M<MODE:3>ft8"), a);
  EXPECT_NE(identity("<QSO_DATE:8>20261207<TIME_ON:4>2306<CALL:5>DL1XY<BAND:3>20m<MODE:3>FT8"), a);
  EXPECT_NE(identity("<QSO_DATE:8>20261207<TIME_ON:4>2305<CALL:5>DL1XY<BAND:3>40m<MODE:3>FT8"), a);
  EXPECT_EQ(identity("<TIME_ON:4>2305<CALL:5>DL1XY"), "");
}

TEST(CompanionFields, EveryByteComesBack) {
  AdifFields fields;
  QByteArray all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  fields["ALL"] = all;
  fields["EMPTY"] = "";
  fields["NAME"] = "J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f  ";
  fields["TAGS"] = "<EOR> <CALL:3>ABC %41";
  const QByteArray text = encodeCompanionFields(fields);
  for (char c : text) EXPECT_GT(static_cast<unsigned char>(c), ' ');
  EXPECT_EQ(decodeCompanionFields(text), fields);
  EXPECT_TRUE(decodeCompanionFields("").empty());
  EXPECT_TRUE(decodeCompanionFields("<CALL:9>AB").empty());
  EXPECT_TRUE(LogCompanion::fits(fields));
  fields["BIG"] = QByteArray(LogCompanion::kFieldsElements * LogCompanion::kFieldsElementLength, 'x');
  EXPECT_FALSE(LogCompanion::fits(fields));
}
