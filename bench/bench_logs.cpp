// Station log with 10,000 and 100,000 entries: how long Display_Logs takes
// to fill and sort the grid (split into the record listing, the sort and the
// grid fill), and how long the program's start-up takes (window, record
// layer client, three tables opened and listed, an up-to-date word index
// opened), each against reading the same records with a plain KDBread loop.
// The first start-up after the log was filled makes the word index afresh;
// it is shown on its own and left out of the medians. Each figure is the
// elapsed time and, in brackets, the CPU time of the process (user and
// system), which stays near the elapsed time on an idle machine and keeps
// its meaning on a busy one.
//
// Then the same for a log filled by an ADIF import of that many contacts,
// each with a companion record (call sign, exact time, the fields the log's
// items do not hold): how long the import takes (goal: 100,000 records in
// 10 s), then start-up and Display_Logs with the companions.
//
//   bench_logs [ENTRIES...]   (default: 10000 100000)
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimeZone>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "app/mainwindow.h"
#include "app/tables/adif.h"
#include "app/tables/adiflog.h"
#include "app/tables/dialogs.h"
#include "app/tables/grid.h"
#include "app/tables/logtab.h"
#include "app/tables/lumbra.h"
#include "app/tables/tables.h"
#include "bench/quiet_devices.h"

namespace {

struct Size {
  int entries;
  int runs;
  double displayGoalMs;
  double startupGoalMs;
};

// The goals: Display_Logs in 150 ms at 10,000 entries and in 400 ms at
// 100,000; start-up in a second at either.
constexpr Size kSizes[] = {{10000, 7, 150, 1000}, {100000, 3, 400, 1000}};

// A run of `entries`, with the goals of the next larger one of kSizes (the
// largest one's beyond them).
Size sizeFor(int entries) {
  const Size *goals = std::find_if(std::begin(kSizes), std::end(kSizes), [&](const Size &s) { return entries <= s.entries; });
  if (goals == std::end(kSizes)) --goals;
  return {entries, goals->runs, goals->displayGoalMs, goals->startupGoalMs};
}

class SilentDialogs : public tables::Dialogs {
public:
  void message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
  int showMessage(const tables::MessageRequest &) override { return 0; }
  QString openFileName(const QString &, const QString &) override { return {}; }
  QString saveFileName(const QString &, const QString &) override { return {}; }
};

struct Time {
  double ms = 0, cpuMs = 0;
};

double cpuMsNow() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <class F>
Time timeMs(F &&f) {
  QElapsedTimer t;
  const double cpu = cpuMsNow();
  t.start();
  f();
  return {t.nsecsElapsed() / 1e6, cpuMsNow() - cpu};
}

// The medians of elapsed and CPU times, each on its own.
Time median(const std::vector<Time> &times) {
  std::vector<double> ms, cpu;
  for (const Time &t : times) {
    ms.push_back(t.ms);
    cpu.push_back(t.cpuMs);
  }
  std::sort(ms.begin(), ms.end());
  std::sort(cpu.begin(), cpu.end());
  return {ms[ms.size() / 2], cpu[cpu.size() / 2]};
}

// Adds entries `from` to `to` - 1 to the log. Keys are times in a
// random-looking order, so that the index sees a realistic spread and the
// word index takes them as documents.
void fillLog(tables::KdbApi &kdb, int from, int to) {
  const int client = kdb.init(0);
  const int id = client + 3;
  kdb.host(client, "MSNET");
  if (kdb.open("Log.Dat", id, 3, 0) != 0) std::exit(1);
  const QDateTime base(QDate(2026, 1, 1), QTime(0, 0));
  for (int i = from; i < to; ++i) {
    const qint64 seconds = static_cast<qint64>(i) * 7919 % 1000003;
    kdb.copyFput(base.addSecs(seconds).toString("yyMMddHHmmss").toLatin1(), "UNIKEY", id);
    kdb.copyFput("12/07/26 21:05", "DATETIME", id);
    kdb.copyFput(QByteArray::number(7000 + i % 300) + ".00", "FRQ", id);
    kdb.copyFput(i % 3 ? "USB" : "PSK31", "MODE", id);
    kdb.copyFput("0", "NET", id);
    kdb.copyFput(QByteArray::number(2600000000LL + (i * 31) % 100000), "DATESORT", id);
    kdb.copyFput("PSK31 entry number " + QByteArray::number(i), "NOTES", id);
    if (kdb.write(id, 0, 0) != 0) std::exit(1);
  }
  kdb.init(client);
}

Time plainReadLoop(tables::KdbApi &kdb, int entries) {
  const int client = kdb.init(0);
  const int id = client + 1;
  kdb.open("Log.Dat", id, 3, 0);
  int records = 0;
  const Time time = timeMs([&] {
    kdb.posn(id, "", 1, 0);
    while (kdb.read(id, 0) == 0) ++records;
  });
  kdb.init(client);
  if (records != entries) std::fprintf(stderr, "read %d records\n", records);
  return time;
}

// An ADIF file of `entries` contacts of a contest weekend, each with the
// fields a logging program writes.
QByteArray contacts(int entries) {
  QByteArray out = "generated <EOH>\n";
  const QDateTime base(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc());
  const char *const modes[][2] = {{"FT8", ""}, {"MFSK", "FT4"}, {"SSB", "USB"}, {"CW", ""}};
  for (int i = 0; i < entries; ++i) {
    const QDateTime when = base.addSecs(static_cast<qint64>(i) * 37);
    const auto &mode = modes[i % 4];
    out += tables::adifField("CALL", "K" + QByteArray::number(i % 10) + "X" + QByteArray::number(i)) +
           tables::adifField("QSO_DATE", when.toString("yyyyMMdd").toLatin1()) +
           tables::adifField("TIME_ON", when.toString("HHmmss").toLatin1()) +
           tables::adifField("FREQ", QByteArray::number(7.0 + (i % 200) / 1000.0, 'f', 6)) +
           tables::adifField("MODE", mode[0]) + (mode[1][0] ? tables::adifField("SUBMODE", mode[1]) : QByteArray()) +
           tables::adifField("RST_SENT", "59") + tables::adifField("RST_RCVD", "57") +
           tables::adifField("GRIDSQUARE", "JO62") + tables::adifField("NAME", "Operator " + QByteArray::number(i)) +
           tables::adifField("COMMENT", "contest QSO " + QByteArray::number(i)) + "<EOR>\n";
  }
  return out;
}

struct Figures {
  std::vector<Time> read, list, sort, fill, display, startup;
  Time firstStartup;
};

// One start-up of the program; the grid must list `entries` rows.
Time startUp(tables::LumbraLibrary &kdb, tables::Dialogs &dialogs, int entries, std::unique_ptr<MainWindow> &window,
               std::unique_ptr<tables::Tables> &tabs) {
  const Time time = timeMs([&] {
    window = std::make_unique<MainWindow>(std::make_unique<NoLink>(), std::make_unique<NoMixer>(), "1");
    tabs = std::make_unique<tables::Tables>(window.get(), &kdb, &kdb, &dialogs);
    window->show();
    QApplication::processEvents();
  });
  const int rows = tabs->log().Grid1->rowCount();
  if (rows != entries) std::fprintf(stderr, "grid has %d rows\n", rows);
  if (!tabs->log().words().isOpen()) std::fprintf(stderr, "the word index is not open\n");
  return time;
}

// Ends the program's client after the tables, whose word index of the log
// must close while the engine is still set up, as the program does.
void closeTables(tables::LumbraLibrary &kdb, std::unique_ptr<tables::Tables> &tabs) {
  const int client = tabs->database().client();
  tabs.reset();
  kdb.init(client);
}

void measure(tables::LumbraLibrary &kdb, tables::Dialogs &dialogs, const Size &size, Figures &f) {
  for (int run = 0; run <= size.runs; ++run) {
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<tables::Tables> tabs;
    const Time startup = startUp(kdb, dialogs, size.entries, window, tabs);
    if (run == 0) {
      f.firstStartup = startup;
      closeTables(kdb, tabs);
      continue;
    }
    f.startup.push_back(startup);
    f.read.push_back(plainReadLoop(kdb, size.entries));
    tables::LogTab &log = tabs->log();
    f.display.push_back(timeMs([&] { log.table().display(); }));
    // Display_Logs in its three steps.
    tables::Rows rows;
    f.list.push_back(timeMs([&] { rows = log.table().list(); }));
    f.sort.push_back(timeMs([&] { tables::sortRows(rows, 4, tables::SortMode::Numeric); }));
    f.fill.push_back(timeMs([&] { log.Grid1->setRows(std::move(rows)); }));
    closeTables(kdb, tabs);
  }
}

void line(const char *what, Time t, Time read, double goalMs = 0) {
  std::printf("  %-24s %8.1f ms (%7.1f)  %4.1fx the read loop", what, t.ms, t.cpuMs, t.cpuMs / read.cpuMs);
  if (goalMs > 0) std::printf(";  goal < %.0f ms", goalMs);
  std::printf("\n");
}

void report(const Size &size, const Figures &f) {
  const Time read = median(f.read);
  std::printf("%d log entries, median of %d runs: elapsed ms (CPU ms)\n", size.entries, size.runs);
  line("plain KDBread loop", read, read);
  line("Display_Logs", median(f.display), read, size.displayGoalMs);
  line("  listing the records", median(f.list), read);
  line("  sorting", median(f.sort), read);
  line("  filling the grid", median(f.fill), read);
  line("program start-up", median(f.startup), read, size.startupGoalMs);
  line("start-up, new word index", f.firstStartup, read);
  std::fflush(stdout);
}

// A log of `entries` imported contacts with companions, in a folder of its own.
void measureImported(tables::LumbraLibrary &kdb, tables::Dialogs &dialogs, const Size &size) {
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  for (const char *t : {"Log", "Scans", "Standards", "LogWords"})
    if (QProcess::execute(CORVEX_TOOL, {"make", QStringLiteral(TESSALY_DATA_DIR "/%1.desc").arg(t)}) != 0) std::exit(1);
  {
    QFile file("contacts.adi");
    if (!file.open(QIODevice::WriteOnly) || file.write(contacts(size.entries)) < 0) std::exit(1);
  }
  int code = 0;
  const Time import = timeMs([&] { code = tables::runLogExchange(kdb, QString(), QStringLiteral("contacts.adi")); });
  if (code != 0) std::exit(1);
  Figures figures;
  measure(kdb, dialogs, size, figures);
  std::printf("%d imported contacts with companion records:\n", size.entries);
  line("ADIF import", import, median(figures.read), size.entries >= 100000 ? 10000 : 0);
  report(size, figures);
  QDir::setCurrent(previous);
}

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  for (const char *t : {"Log", "Scans", "Standards", "LogWords"})
    if (QProcess::execute(CORVEX_TOOL, {"make", QStringLiteral(TESSALY_DATA_DIR "/%1.desc").arg(t)}) != 0) return 1;
  tables::LumbraLibrary kdb(tables::LumbraLibrary::defaultPaths());
  SilentDialogs dialogs;
  std::vector<Size> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(sizeFor(std::atoi(argv[i])));
  if (sizes.empty()) sizes.assign(std::begin(kSizes), std::end(kSizes));
  std::sort(sizes.begin(), sizes.end(), [](const Size &a, const Size &b) { return a.entries < b.entries; });
  int filled = 0;
  for (const Size &size : sizes) {
    if (size.entries <= 0) continue;
    fillLog(kdb, filled, size.entries);
    filled = size.entries;
    Figures figures;
    measure(kdb, dialogs, size, figures);
    report(size, figures);
  }
  for (const Size &size : sizes)
    if (size.entries > 0) measureImported(kdb, dialogs, size);
  return 0;
}
