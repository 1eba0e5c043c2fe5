// Whole contacts in the station log on fresh tables: every ADIF field kept
// through the companion table and given back on export, repeats not added,
// the call sign and reports of the entry form, the UTC property of the log,
// the companion's records following deletes and checks, and contacts from
// the weak-signal programs' datagrams over a real UDP socket.
#include <QCheckBox>
#include <QDataStream>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include "app/tables/adiflog.h"
#include "app/tables/logcompanion.h"
#include "app/tables/logcontacts.h"
#include "app/tables/loggedadif.h"
#include "app/tables/logtab.h"
#include "app/tables/logudp.h"
#include "app/tables/stamps.h"
#include "tests/app/tables/tables_fixture.h"

using tables::AdifRecord;

namespace {

QByteArray field(const QByteArray &name, const QByteArray &value) { return tables::adifField(name, value); }

// Records of every kind: UTF-8 text and 35 fields, BAND only, a frequency
// above the log's, NOTES without COMMENT, a field given twice; then markers.
QByteArray sampleFile() {
  QByteArray text = "A sample <ADIF_VER:5>3.1.4<EOH>\n";
  text += field("CALL", "DL1XY") + field("QSO_DATE", "20261207") + field("TIME_ON", "210509") +
          field("FREQ", "14.074000") + field("BAND", "20m") + field("MODE", "FT8") + field("RST_SENT", "-10") +
          field("RST_RCVD", "-12") + field("NAME", "J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f") + field("GRIDSQUARE", "JO62");
  for (int i = 0; i < 25; ++i) text += field("APP_TEST_" + QByteArray::number(i), "value " + QByteArray::number(i));
  text += "<EOR>\n";
  text += field("CALL", "K1AB") + field("QSO_DATE", "20261208") + field("TIME_ON", "0102") + field("BAND", "40m") +
          field("MODE", "MFSK") + field("SUBMODE", "FT4") + field("NOTES", "portable, notes only") + "<EOR>\n";
  text += field("CALL", "W2CD") + field("QSO_DATE", "20261208") + field("TIME_ON", "0103") +
          field("FREQ", "144.174") + field("MODE", "SSB") + field("SUBMODE", "USB") +
          field("COMMENT", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 73") + field("CALL", "W3XX") + "<EOR>\n";
  return text + "<APP_LoTW_EOF>\n<EOF>\n";
}

// Each record of `text` by its call.
std::map<QByteArray, AdifRecord> byCall(const QByteArray &text) {
  std::map<QByteArray, AdifRecord> out;
  for (AdifRecord &r : tables::readAdif(text)) out[r.value("CALL")] = std::move(r);
  return out;
}

QByteArray withoutHeader(const QByteArray &text) { return text.mid(text.indexOf("<EOH>")); }

QByteArray datagram(const QByteArray &adif) {
  QByteArray out;
  QDataStream stream(&out, QIODevice::WriteOnly);
  stream << tables::kLoggedAdifMagic << quint32(3) << tables::kLoggedAdifType << QByteArray("WSJT-X") << adif;
  return out;
}

class ContactsTest : public TablesTest {
protected:
  tables::LogTab &log() { return tabs->log(); }
  void writeFile(const QString &name, const QByteArray &bytes) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray readFile(const QString &name) {
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  tables::AdifImport import(const QString &name) {
    return tables::importLogAdif(tabs->database().logFiles(), dir.filePath(name));
  }
  tables::AdifExport exportTo(const QString &name) {
    return tables::exportLogAdif(tabs->database().logFiles(), QStringLiteral("All"), dir.filePath(name));
  }
  void emptyTables() {
    stop();
    for (const QString &f : QDir(dir.path()).entryList({"Log.*", "LogExtra.*"})) QFile::remove(dir.filePath(f));
    ASSERT_EQ(QProcess::execute(CORVEX_TOOL, {"make", TESSALY_DATA_DIR "/Log.desc"}), 0);
    start();
  }
  int rowOf(const QString &call) {
    for (int r = 0; r < log().Grid1->rowCount(); ++r)
      if (log().Grid1->text(r, tables::LogTab::kCallColumn) == call) return r;
    return -1;
  }
};

}  // namespace

TEST_F(ContactsTest, EveryFieldComesBackAndASecondImportAddsNothing) {
  start();
  ASSERT_TRUE(QFile::exists("LogExtra.Dat"));  // made by the program
  writeFile("sample.adi", sampleFile());
  const tables::AdifImport first = import("sample.adi");
  EXPECT_EQ(first.added, 3);
  EXPECT_EQ(first.repeated, 1);
  EXPECT_EQ(first.beyondLatin1, 6);
  EXPECT_EQ(first.skippedTotal(), 0);
  EXPECT_EQ(import("sample.adi").added, 0);

  ASSERT_TRUE(exportTo("one.adi").ok);
  const auto original = byCall(sampleFile()), exported = byCall(readFile("one.adi"));
  ASSERT_EQ(exported.size(), 3u);
  for (const auto &[call, record] : original) {
    ASSERT_TRUE(exported.count(call)) << call.constData();
    for (const auto &[name, value] : record.fields)
      EXPECT_EQ(exported.at(call).value(name.constData()), value) << call.constData() << " " << name.constData();
  }
  EXPECT_EQ(exported.at("K1AB").value("COMMENT"), "");  // the notes stay in NOTES

  // The program's own file goes round unchanged.
  emptyTables();
  writeFile("copy.adi", readFile("one.adi"));
  EXPECT_EQ(import("copy.adi").added, 3);
  ASSERT_TRUE(exportTo("two.adi").ok);
  EXPECT_EQ(withoutHeader(readFile("two.adi")), withoutHeader(readFile("one.adi")));
  EXPECT_EQ(import("copy.adi").added, 0);

  // The grid shows the calls, and the band where the log has no frequency.
  log().table().display();
  const int k1ab = rowOf("K1AB"), w2cd = rowOf("W2CD");
  ASSERT_GE(k1ab, 0);
  ASSERT_GE(w2cd, 0);
  EXPECT_EQ(log().Grid1->text(k1ab, tables::LogTab::kFrequencyColumn), "40m");
  EXPECT_EQ(log().Grid1->text(w2cd, tables::LogTab::kFrequencyColumn), "2m");
  // The word search finds a call sign.
  log().FindWords->setText("w2cd");
  log().findWords();
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(log().Grid1->text(0, tables::LogTab::kCallColumn), "W2CD");
}

TEST_F(ContactsTest, TheFormKeepsCallReportsAndTheExactTime) {
  start();
  reportToState(window->radio()->state(), "1407400", "USB");
  log().Log1->click();
  log().CallBox->setText("dl1xy");
  log().RstSent->setText("59");
  log().RstRcvd->setText("57");
  log().LogNotes->setText(QString::fromUtf8("Grüße, Привет"));
  const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-120);
  log().SaveLog->click();
  ASSERT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(log().Grid1->text(0, tables::LogTab::kCallColumn), "DL1XY");
  const QString key = log().Grid1->text(0, tables::LogTab::kKeyColumn);
  const std::optional<tables::Companion> extra = tabs->database().companion().read(key);
  ASSERT_TRUE(extra);
  EXPECT_GE(extra->utc, before);
  EXPECT_LE(extra->utc, QDateTime::currentDateTimeUtc());
  EXPECT_EQ(extra->fields.at("RST_SENT"), "59");
  EXPECT_EQ(extra->notes, QString::fromUtf8("Grüße, Привет"));

  log().CallBox->clear();
  log().LogNotes->clear();
  emit log().Grid1->cellDoubleClicked(0, 0);
  EXPECT_EQ(log().CallBox->text(), "DL1XY");
  EXPECT_EQ(log().RstRcvd->text(), "57");
  EXPECT_EQ(log().LogNotes->text(), QString::fromUtf8("Grüße, Привет"));

  ASSERT_TRUE(exportTo("form.adi").ok);
  const AdifRecord out = tables::readAdif(readFile("form.adi")).at(0);
  EXPECT_EQ(out.value("CALL"), "DL1XY");
  EXPECT_EQ(out.value("RST_RCVD"), "57");
  EXPECT_EQ(out.value("TIME_ON"), extra->utc.toString("HHmmss").toLatin1());
  EXPECT_EQ(out.value("COMMENT"), QString::fromUtf8("Grüße, Привет").toUtf8());

  log().DelLog->click();
  EXPECT_FALSE(tabs->database().companion().read(key));
}

TEST_F(ContactsTest, ACheckDropsCompanionRecordsWithoutAnEntry) {
  start();
  tables::Companion stray;
  stray.key = "261207000001";
  stray.call = "GONE";
  ASSERT_TRUE(tabs->database().companion().write(stray));
  ASSERT_TRUE(tabs->database().companion().setStampsInUtc(true));
  EXPECT_EQ(tables::dropOrphanCompanions(tabs->database().logFiles()), 1);
  EXPECT_FALSE(tabs->database().companion().read(stray.key));
  EXPECT_EQ(tabs->database().companion().stampsInUtc(), true);  // the log's settings stay
}

TEST_F(ContactsTest, TheUtcBoxIsAPropertyOfTheLog) {
  start();
  EXPECT_FALSE(p->UtcBox->isChecked());
  EXPECT_TRUE(window->windowTitle().endsWith("log in local time"));
  dialogs.yesNoAnswer = 0;
  p->UtcBox->click();
  EXPECT_FALSE(p->UtcBox->isChecked());  // asked, and not switched
  EXPECT_FALSE(tables::stampsInUtc());
  dialogs.yesNoAnswer = 1;
  p->UtcBox->click();
  EXPECT_TRUE(tables::stampsInUtc());
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_TRUE(dialogs.shown[1].message.contains("UTC"));
  restart();
  EXPECT_TRUE(p->UtcBox->isChecked());
  EXPECT_TRUE(tables::stampsInUtc());
  EXPECT_TRUE(window->windowTitle().endsWith("log in UTC"));
  p->UtcBox->click();
  restart();
  EXPECT_FALSE(p->UtcBox->isChecked());
}

TEST_F(ContactsTest, DatagramsOfTheWeakSignalProgramsAreLogged) {
  start();
  tables::LogUdp &udp = log().udp();
  const QByteArray adif = "<adif_ver:5>3.1.0<EOH><call:5>DL1XY<mode:3>FT8<qso_date:8>20261207<time_on:6>210509"
                          "<band:3>20m<freq:9>14.075123<rst_sent:3>-10<EOR>";
  // Over the loopback on a port found free.
  quint16 port;
  {
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    port = probe.localPort();
  }
  QString error;
  ASSERT_TRUE(log().listenUdp(QHostAddress::LocalHost, port, &error)) << error.toStdString();
  EXPECT_TRUE(log().UdpLog->isChecked());
  QUdpSocket sender;
  sender.writeDatagram(datagram(adif), QHostAddress::LocalHost, port);
  QTRY_COMPARE(udp.added(), 1);
  EXPECT_EQ(log().Grid1->rowCount(), 1);
  EXPECT_EQ(log().Grid1->text(0, tables::LogTab::kCallColumn), "DL1XY");
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_EQ(dialogs.shown.back().message, "Logged DL1XY 20m FT8 2105 UTC.");

  // The same contact again, garbage, a cut datagram, an oversized one: nothing added, nothing crashes.
  sender.writeDatagram(datagram(adif), QHostAddress::LocalHost, port);
  QTRY_COMPARE(udp.duplicates(), 1);
  udp.take("garbage");
  udp.take(QByteArrayView(datagram(adif)).first(30));
  udp.take(datagram(QByteArray(tables::kMaxLogDatagram, 'x')));
  EXPECT_EQ(udp.malformed(), 3);
  EXPECT_EQ(stored("Log.Dat", {"UNIKEY"}).size(), 1u);

  log().UdpLog->click();
  EXPECT_FALSE(udp.listening());
}
