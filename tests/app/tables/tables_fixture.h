// A main window with its table tabs on fresh tables made by `corvex make` in a
// temporary directory, with recording dialogs and a fake serial line.
#ifndef TESSALY_TESTS_APP_TABLES_TABLES_FIXTURE_H
#define TESSALY_TESTS_APP_TABLES_TABLES_FIXTURE_H

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <memory>

#include "app/mainwindow.h"
#include "app/radiocontrol.h"
#include "app/panel.h"
#include "app/tables/dialogs.h"
#include "app/tables/lumbra.h"
#include "app/tables/msgbox.h"
#include "app/tables/tables.h"
#include "tests/app/fakes.h"
#include "tests/app/panel_controls.h"

// Dialogs that record what they were asked and answer from the test's script.
class RecordingDialogs : public tables::Dialogs {
public:
  void message(const QString &text) override { messages << text; }
  int showMessage(const tables::MessageRequest &request) override {
    shown.push_back(request);
    return tables::asksYesNo(request.yesNo) ? yesNoAnswer : 0;
  }
  QString openFileName(const QString &filter, const QString &suffix) override {
    filters << filter + " " + suffix;
    return fileName;
  }
  QString saveFileName(const QString &filter, const QString &suffix) override {
    filters << filter + " " + suffix;
    return saveName;
  }
  // The dialog of missing tables: recorded with the messages, answered from
  // `missingAnswers` in turn, then going on without tables.
  MissingTables missingTables(const QString &text) override {
    messages << text;
    return missingAnswers.empty() ? MissingTables::GoOn : missingAnswers.takeFirst();
  }
  QString folderName() override { return folder; }
  QStringList shownTexts() const {
    QStringList out;
    for (const auto &r : shown) out << r.message;
    return out;
  }

  QStringList messages, filters;
  std::vector<tables::MessageRequest> shown;
  int yesNoAnswer = 1;
  QString fileName, saveName, folder;
  QList<MissingTables> missingAnswers;
};

// KdbApi over the real library whose writes fail while `failWrites` is set.
class SwitchableKdb : public tables::KdbApi {
public:
  explicit SwitchableKdb(tables::KdbApi *real) : real_(real) {}
  int init(int c) override { return real_->init(c); }
  int host(int id, const QByteArray &n) override { return real_->host(id, n); }
  int open(const QByteArray &d, int id, int t, int m) override { return real_->open(d, id, t, m); }
  int posn(int id, const QByteArray &k, int n, int f) override { return real_->posn(id, k, n, f); }
  int read(int id, int f) override { return real_->read(id, f); }
  int write(int id, int c, int f) override { return failWrites ? 20 : real_->write(id, c, f); }
  int add(int id, int f) override { return failWrites ? 20 : real_->add(id, f); }
  int lock(int id) override { return real_->lock(id); }
  int unlock(int id) override { return real_->unlock(id); }
  int others(int id) override { return real_->others(id); }
  int close(int id) override { return real_->close(id); }
  int remove(int id) override { return real_->remove(id); }
  QByteArray itemStub(const QByteArray &n, int id, int o) override { return real_->itemStub(n, id, o); }
  QByteArray copyFid(const QByteArray &r, int id) override { return real_->copyFid(r, id); }
  int copyFput(const QByteArray &t, const QByteArray &r, int id) override { return real_->copyFput(t, r, id); }
  bool failWrites = false;

private:
  tables::KdbApi *real_;
};

class TablesTest : public testing::Test {
protected:
  // One library for the whole test program, as in the program itself.
  static tables::LumbraLibrary &lumbra() {
    static tables::LumbraLibrary library(tables::LumbraLibrary::defaultPaths());
    return library;
  }

  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const char *table : {"Log", "Scans", "Standards", "LogWords"})
      ASSERT_EQ(QProcess::execute(CORVEX_TOOL, {"make", QStringLiteral(TESSALY_DATA_DIR "/%1.desc").arg(table)}),
                0);
  }
  void TearDown() override {
    stop();
    QDir::setCurrent(previous);
  }

  void start(tables::KdbApi *api = nullptr) {
    auto port = std::make_unique<FakeLink>();
    link = port.get();
    window = std::make_unique<MainWindow>(std::move(port), std::make_unique<FakeMixer>(), "1");
    tabs = std::make_unique<tables::Tables>(window.get(), &lumbra(), api ? api : &kdb, &dialogs,
                                            QStringLiteral(CORVEX_TOOL));
    p = std::make_unique<PanelControls>(window.get());
  }
  // The program keeps its tables open to the end; the tests close them,
  // after the tabs, which close the word index of the log.
  void stop() {
    if (tabs) {
      const int client = tabs->database().client();
      tabs.reset();
      lumbra().init(client);
    }
    window.reset();
  }
  void restart() {
    stop();
    start();
  }

  // Every record of `file` in key order, each as item name -> trimmed text,
  // read back through the library under a client of the test's own.
  std::vector<std::map<QByteArray, QString>> stored(const char *file, const std::vector<QByteArray> &items) {
    tables::KdbApi &k = lumbra();
    const int client = k.init(0);
    const int id = client + 1;
    std::vector<std::map<QByteArray, QString>> out;
    if (k.open(file, id, 3, 0) != 0) {
      ADD_FAILURE() << "cannot open " << file;
      return out;
    }
    k.posn(id, "", 1, 0);
    while (k.read(id, 0) == 0) {
      std::map<QByteArray, QString> record;
      for (const QByteArray &item : items) record[item] = QString::fromLatin1(k.itemStub(item, id, 0)).trimmed();
      out.push_back(record);
    }
    k.init(client);  // ends the client and closes its file
    return out;
  }

  // Whether an entry frame is shown (on its tab, current or not).
  static bool shown(const QWidget *w) { return !w->isHidden(); }

  QTemporaryDir dir;
  QString previous;
  SwitchableKdb kdb{&lumbra()};
  RecordingDialogs dialogs;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<tables::Tables> tabs;
  std::unique_ptr<PanelControls> p;
  FakeLink *link = nullptr;
};

#endif
