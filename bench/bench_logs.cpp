// Station log with 10,000 entries: how long Display_Logs takes to fill and
// sort the grid, and how long the program's start-up takes (window, record
// layer client, three tables opened and listed), each against reading the
// same records with a plain KDBread loop.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/radio/mixer.h"
#include "app/radio/seriallink.h"
#include "app/tables/dialogs.h"
#include "app/tables/logtab.h"
#include "app/tables/lumbra.h"
#include "app/tables/tables.h"

namespace {

constexpr int kEntries = 10000;
constexpr int kRuns = 7;

class NoLink : public radio::SerialLink {
public:
  bool open(QString *) override { return true; }
  void close() override {}
  bool isOpen() const override { return true; }
  void setDtr(bool) override {}
  void setReceiveThreshold(int) override {}
  void setSendThreshold(int) override {}
  bool output(const QByteArray &) override { return true; }
  QByteArray input() override { return {}; }
};

class NoMixer : public radio::Mixer {
public:
  bool lookUpMute() override { return true; }
  bool setMute(bool) override { return true; }
  bool lookUpVolume() override { return true; }
  bool setStereoVolume(uint32_t, uint32_t) override { return true; }
};

class SilentDialogs : public tables::Dialogs {
public:
  void message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
  int showMessage(const tables::MessageRequest &) override { return 0; }
  QString openFileName(const QString &, const QString &) override { return {}; }
  QString saveFileName(const QString &, const QString &) override { return {}; }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <class F>
double timeMs(F &&f) {
  QElapsedTimer t;
  t.start();
  f();
  return t.nsecsElapsed() / 1e6;
}

void fillLog(tables::KdbApi &kdb) {
  const int client = kdb.init(0);
  const int id = client + 3;
  kdb.host(client, "MSNET");
  if (kdb.open("Log.Dat", id, 3, 0) != 0) std::exit(1);
  for (int i = 0; i < kEntries; ++i) {
    // Keys in random-looking order so that the index sees a realistic spread.
    const long long key = 260000000000LL + (static_cast<long long>(i) * 7919) % 1000000;
    kdb.copyFput(QByteArray::number(key), "UNIKEY", id);
    kdb.copyFput("12/07/26 21:05", "DATETIME", id);
    kdb.copyFput(QByteArray::number(7000 + i % 300) + ".00", "FRQ", id);
    kdb.copyFput("USB", "MODE", id);
    kdb.copyFput("0", "NET", id);
    kdb.copyFput(QByteArray::number(2600000000LL + (i * 31) % 100000), "DATESORT", id);
    kdb.copyFput("PSK31 entry number " + QByteArray::number(i), "NOTES", id);
    if (kdb.write(id, 0, 0) != 0) std::exit(1);
  }
  kdb.init(client);
}

double plainReadLoop(tables::KdbApi &kdb) {
  const int client = kdb.init(0);
  const int id = client + 1;
  kdb.open("Log.Dat", id, 3, 0);
  int records = 0;
  const double ms = timeMs([&] {
    kdb.posn(id, "", 1, 0);
    while (kdb.read(id, 0) == 0) ++records;
  });
  kdb.init(client);
  if (records != kEntries) std::fprintf(stderr, "read %d records\n", records);
  return ms;
}

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  for (const char *t : {"Log", "Scans", "Standards"})
    if (QProcess::execute(CORVEX_TOOL, {"make", QStringLiteral(TESSALY_DATA_DIR "/%1.desc").arg(t)}) != 0) return 1;
  tables::LumbraLibrary kdb(tables::LumbraLibrary::defaultPaths());
  SilentDialogs dialogs;
  fillLog(kdb);

  std::vector<double> reads, displays, startups, lists;
  for (int run = 0; run < kRuns; ++run) {
    reads.push_back(plainReadLoop(kdb));
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<tables::Tables> tabs;
    startups.push_back(timeMs([&] {
      window = std::make_unique<MainWindow>(std::make_unique<NoLink>(), std::make_unique<NoMixer>(), "1");
      tabs = std::make_unique<tables::Tables>(window.get(), &kdb, &dialogs);
      window->show();
      QApplication::processEvents();
    }));
    if (tabs->log().Grid1->rowCount() != kEntries) std::fprintf(stderr, "grid has %d rows\n", tabs->log().Grid1->rowCount());
    displays.push_back(timeMs([&] { tabs->log().table().display(); }));
    lists.push_back(timeMs([&] { (void)tabs->log().table().list(); }));
    kdb.init(tabs->database().client());
  }
  const double read = median(reads), display = median(displays), startup = median(startups);
  std::printf("%d log entries, median of %d runs\n", kEntries, kRuns);
  std::printf("  plain KDBread loop     %8.1f ms\n", read);
  std::printf("  listing (no grid)      %8.1f ms  (%.1fx the read loop)\n", median(lists), median(lists) / read);
  std::printf("  Display_Logs           %8.1f ms  (%.1fx the read loop; goal < 150 ms)\n", display, display / read);
  std::printf("  program start-up       %8.1f ms  (%.1fx the read loop; goal < 1000 ms)\n", startup, startup / read);
  return 0;
}
