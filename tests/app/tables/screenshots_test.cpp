// Pictures of the window for people to look at: the panel on the simulated
// transceiver after a refused entry, the log tab with an entry open, the
// dialog of missing tables and the message of a transceiver that does not
// answer. Written into the folder TESSALY_SCREENSHOTS names (scripts/screenshots
// runs them under Xvfb); skipped without it.
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/radio/commport.h"
#include "app/radio/linkwatch.h"
#include "app/tables/logtab.h"
#include "tests/app/tables/tables_fixture.h"

namespace {

class ScreenshotsTest : public TablesTest {
protected:
  void SetUp() override {
    out = qEnvironmentVariable("TESSALY_SCREENSHOTS");
    if (out.isEmpty()) GTEST_SKIP() << "TESSALY_SCREENSHOTS names no folder";
    TablesTest::SetUp();
  }
  void TearDown() override {
    TablesTest::TearDown();
    rig.terminate();
    rig.waitForFinished(3000);
  }
  // The window and its tables on tessaly-rig run with `options`.
  void startOnRig(const QStringList &options, tables::Dialogs *onDialogs = nullptr) {
    rig.start(TESSALY_RIG, options);
    ASSERT_TRUE(rig.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(rig.readLine()).trimmed();
    window = std::make_unique<MainWindow>(std::make_unique<radio::CommPort>(radio::portDevice(pty)),
                                          std::make_unique<FakeMixer>(), radio::portLabel(pty));
    tabs = std::make_unique<tables::Tables>(window.get(), &lumbra(), &kdb, onDialogs ? onDialogs : &dialogs,
                                            QStringLiteral(CORVEX_TOOL));
    p = std::make_unique<PanelControls>(window.get());
    window->show();
    QApplication::processEvents();
  }
  void connectRadio() {
    QTest::mouseClick(p->But_Power, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p->D1[0]->text().isEmpty(); }, 3000));
  }
  void save(QWidget *w, const char *name) {
    QApplication::processEvents();
    ASSERT_TRUE(w->grab().save(out + "/" + name)) << name;
  }

  QString out;
  QProcess rig;
};

}  // namespace

TEST_F(ScreenshotsTest, Panel) {
  startOnRig({});
  connectRadio();
  p->NewFrq->setFocus();
  p->NewFrq->selectAll();
  QTest::keyClicks(p->NewFrq, "7.074");
  QTest::keyClick(p->NewFrq, Qt::Key_Return);
  save(window.get(), "panel.png");
}

TEST_F(ScreenshotsTest, LogTabWithAnEntryOpen) {
  startOnRig({});
  connectRadio();
  window->showFull();
  tables::LogTab &log = tabs->log();
  for (const char *notes : {"CQ contest, 59 both ways", "PSK31 net on 14070", "Weather net, QSB"}) {
    QTest::mouseClick(log.Log1, Qt::LeftButton);
    log.LogNotes->setText(notes);
    QTest::mouseClick(log.SaveLog, Qt::LeftButton);
  }
  const QPoint cell = log.Grid1->visualRect(log.Grid1->model()->index(1, 5)).center();
  QTest::mouseClick(log.Grid1->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseDClick(log.Grid1->viewport(), Qt::LeftButton, {}, cell);
  QTest::mouseRelease(log.Grid1->viewport(), Qt::LeftButton, {}, cell);
  ASSERT_TRUE(shown(log.LogFrm));
  save(window.get(), "log-entry.png");
}

TEST_F(ScreenshotsTest, MissingTablesDialog) {
  for (const char *file : {"Log.Dat", "Scans.Dat", "Standards.Dat"}) ASSERT_TRUE(QFile::remove(file));
  tables::WidgetDialogs shownOnly(nullptr, tables::WidgetDialogs::kShowOnly);
  startOnRig({}, &shownOnly);
  QMessageBox *box = nullptr;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->objectName() == "MissingTables") box = qobject_cast<QMessageBox *>(w);
  ASSERT_NE(box, nullptr);
  save(box, "missing-tables.png");
}

TEST_F(ScreenshotsTest, RadioNotAnswering) {
  startOnRig({"--lose-echo", "1"});
  for (int i = 0; i < radio::LinkWatch::kUnansweredForChecks; ++i) {
    p->StatusLine->clear();
    QTest::mouseClick(p->But_Power, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p->StatusLine->text().isEmpty(); }, 3000));
  }
  save(window.get(), "not-answering.png");
}
