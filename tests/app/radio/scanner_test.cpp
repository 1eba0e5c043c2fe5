// The scanner: the frames that reach tessaly-rig for the range scan and the
// selected-entries scan, the dwell, and the buttons.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/radio/commport.h"
#include "app/radio/frames.h"
#include "app/radio/scanner.h"
#include "app/radiocontrol.h"
#include "app/tables/grid.h"
#include "app/tables/logtab.h"
#include "app/tuning.h"
#include "tests/app/fakes.h"
#include "tests/app/panel_controls.h"

namespace {

// The rig log's form of the set-frequency frame for `khz`.
QString frameText(double khz) {
  const QByteArray frame = *radio::frequencyFrame(std::lround(khz * 100));
  QStringList bytes;
  for (char b : frame) bytes << QStringLiteral("%1").arg(static_cast<uint8_t>(b), 2, 16, QLatin1Char('0')).toUpper();
  return bytes.join(' ');
}

class ScannerTest : public testing::Test {
protected:
  void startRig() {
    ASSERT_TRUE(dir.isValid());
    logPath = dir.filePath("rig.log");
    rig.start(TESSALY_RIG, {"--log", logPath});
    ASSERT_TRUE(rig.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(rig.readLine()).trimmed();
    ASSERT_TRUE(pty.startsWith("/dev/"));
    window = std::make_unique<MainWindow>(std::make_unique<radio::CommPort>(radio::portDevice(pty)),
                                          std::make_unique<FakeMixer>(), radio::portLabel(pty));
    p = std::make_unique<PanelControls>(window.get());
    scanner = window->scanner();
  }
  void startFake() {
    auto port = std::make_unique<FakeLink>();
    fake = port.get();
    window = std::make_unique<MainWindow>(std::move(port), std::make_unique<FakeMixer>(), "1");
    p = std::make_unique<PanelControls>(window.get());
    scanner = window->scanner();
  }
  void TearDown() override {
    window.reset();
    if (rig.state() != QProcess::NotRunning) {
      rig.terminate();
      rig.waitForFinished(3000);
    }
  }
  // Runs `step` and waits until the rig's reply has been shown.
  bool andReply(const std::function<void()> &step) {
    int shown = 0;
    auto c = QObject::connect(window->radio(), &RadioControl::replyShown, [&shown] { ++shown; });
    step();
    const bool ok = QTest::qWaitFor([&] { return shown > 0; }, 3000);
    QObject::disconnect(c);
    return ok;
  }
  // The set-frequency frames the rig received.
  QStringList tuned() {
    QFile f(logPath);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray &line : f.readAll().split('\n'))
      if (line.startsWith("rx") && line.endsWith(" 08")) out << QString::fromLatin1(line.mid(3));
    return out;
  }
  // A log grid whose rows carry `frequencies`, marked "X" where `marks` says.
  void logGrid(const QStringList &frequencies, const QList<int> &markedRows) {
    grid = new tables::Grid(window.get());
    grid->setColumns(tables::LogTab::kColumns);
    tables::Rows rows;
    for (int r = 0; r < frequencies.size(); ++r) {
      QStringList row(8);
      row[Scanner::kFrequencyColumn] = frequencies[r];
      row[Scanner::kMarkColumn] = markedRows.contains(r + 1) ? "X" : "";
      rows.push_back(row);
    }
    grid->setRows(std::move(rows));
    scanSelected = new QPushButton(window.get());
    scanner->setLogGrid(grid, scanSelected);
  }

  QTemporaryDir dir;
  QString logPath;
  QProcess rig;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<PanelControls> p;
  Scanner *scanner = nullptr;
  FakeLink *fake = nullptr;
  tables::Grid *grid = nullptr;
  QPushButton *scanSelected = nullptr;
};

}  // namespace

TEST_F(ScannerTest, RangeScanGoesTwoStepsPastEachLimitBeforeItTurns) {
  startRig();
  p->LoFrq->setText("07100.00");
  p->HiFrq->setText("07102.00");
  p->JumpStep->setText("0.5");
  p->NewFrq->setText("07100.00");
  ASSERT_TRUE(andReply([&] { p->FreqGo->click(); }));
  for (int tick = 0; tick < 16; ++tick) ASSERT_TRUE(andReply([&] { scanner->rangeTick(); })) << tick;
  QStringList expected{frameText(7100.00)};
  for (double khz : {7100.5, 7101.0, 7101.5, 7102.0, 7102.5, 7103.0, 7102.5, 7102.0, 7101.5, 7101.0, 7100.5,
                     7100.0, 7099.5, 7099.0, 7099.5, 7100.0})
    expected << frameText(khz);
  EXPECT_EQ(tuned(), expected);
  EXPECT_EQ(p->ScanDir->text(), "UP");
}

TEST_F(ScannerTest, SelectedScanVisitsTheMarkedRowsInTurn) {
  startRig();
  logGrid({"07010.00", "07020.00", "07030.00", "07040.00", "07050.00"}, {1, 3, 4});
  for (int tick = 0; tick < 6; ++tick) ASSERT_TRUE(andReply([&] { scanner->selectedTick(); })) << tick;
  const QStringList rows = {frameText(7010), frameText(7030), frameText(7040)};
  EXPECT_EQ(tuned(), rows + rows);
  EXPECT_EQ(scanner->selectedScanRow(), 4);
}

TEST_F(ScannerTest, SelectedScanWithoutMarksEndsItsTickWithoutTuning) {
  startFake();
  scanner->selectedTick();  // no grid at all
  logGrid({"07010.00", "07020.00"}, {});
  scanner->selectedTick();
  EXPECT_TRUE(fake->written.empty());
  logGrid({}, {});
  scanner->selectedTick();
  EXPECT_TRUE(fake->written.empty());
}

TEST_F(ScannerTest, DwellButtonsAndStartStop) {
  startFake();
  logGrid({"07010.00"}, {1});
  EXPECT_FALSE(p->Timer2->isActive());
  EXPECT_FALSE(p->Timer4->isActive());
  p->Scan_Delay2[3]->click();
  EXPECT_EQ(p->Scan_Delay->text(), "10");
  p->Scan_Delay->setText("0");
  p->NewFrq->setText("0");
  p->ButtonPlus1->click();
  EXPECT_TRUE(p->Timer2->isActive());
  EXPECT_TRUE(p->ScanDir->isVisibleTo(window->panel()));
  EXPECT_EQ(p->NewFrq->text(), p->LoFrq->text());  // a scan from nowhere starts at the low limit
  EXPECT_EQ(window->tuning()->scanDirection(), Tuning::kUp);
  scanner->rangeTick();
  EXPECT_EQ(p->Scan_Delay->text(), "1");
  EXPECT_EQ(p->Timer2->interval(), 100);
  ASSERT_FALSE(fake->written.empty());
  EXPECT_EQ(fake->written.back(), *radio::frequencyFrame(710050));  // 07100.00 + 0.5 going up
  p->ButtonPlus1->click();
  EXPECT_FALSE(p->Timer2->isActive());

  p->Scan_Delay->setText("8");
  scanSelected->click();
  EXPECT_TRUE(p->Timer4->isActive());
  scanner->selectedTick();
  EXPECT_EQ(p->Timer4->interval(), 800);
  scanSelected->click();
  EXPECT_FALSE(p->Timer4->isActive());
  // The Enter key on KBD is the scan button.
  QTest::keyClick(p->KBD, Qt::Key_Return);
  EXPECT_TRUE(p->Timer2->isActive());
  window->close();
  EXPECT_FALSE(p->Timer2->isActive());
}
