// tessaly [PORT] [options]: see --help, whose text options.cpp writes.
// PORT is a serial port number (N opens /dev/ttyS<N-1>) or a device path.
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "app/mainwindow.h"
#include "app/options.h"
#include "app/panel.h"
#include "app/polling.h"
#include "app/progress/progresswindow.h"
#include "app/radio/alsamixer.h"
#include "app/radio/commport.h"
#include "app/radiocontrol.h"
#include "app/stopsignals.h"
#include "app/tables/adiflog.h"
#include "app/tables/backup.h"
#include "app/tables/checktables.h"
#include "app/tables/dialogs.h"
#include "app/tables/logtab.h"
#include "app/tables/lumbra.h"
#include "app/tables/stamps.h"
#include "app/tables/tables.h"

int main(int argc, char **argv) {
  // Parsed before the application object, which needs a display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const ParsedOptions parsed = parseOptions(arguments);
  if (!parsed.options) {
    std::fputs(parsed.text.toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
    return parsed.exitCode;
  }
  const Options &options = *parsed.options;
  // The tables are opened by name in the current folder.
  if (!options.tablesDir.isEmpty() && !QDir::setCurrent(options.tablesDir)) {
    std::fprintf(stderr, "tessaly: cannot enter the folder %s\n", qPrintable(options.tablesDir));
    return 1;
  }
  if (!options.exportAdif.isEmpty() || !options.importAdif.isEmpty()) {
    // The log exchange for scripts opens no window and needs no display.
    if (options.utc) tables::setStampsInUtc(true);
    tables::LumbraLibrary lumbra(tables::LumbraLibrary::defaultPaths());
    return tables::runLogExchange(lumbra, options.exportAdif, options.importAdif);
  }

  QApplication app(argc, argv);
  MainWindow window(std::make_unique<radio::CommPort>(radio::portDevice(options.port)),
                    std::make_unique<radio::AlsaMixer>(), radio::portLabel(options.port));
  window.keyBy(options.ptt, options.txTimeoutSeconds * 1000);
  // SIGTERM and SIGINT unkey first, then close the window as its Close button
  // does, and any message still waiting for an answer, even during start-up.
  StopSignals stopSignals;
  bool stopped = false;
  QObject::connect(&stopSignals, &StopSignals::received, &window, [&window, &stopped](int signal) {
    window.ptt()->forceUnkey(QStringLiteral("stopped by signal %1: unkeyed").arg(signal));
    stopped = true;
    QApplication::closeAllWindows();
    QApplication::quit();
  });
  tables::LumbraLibrary lumbra(tables::LumbraLibrary::defaultPaths());
  // A picture taken without anyone to answer: messages are shown, not waited on.
  const bool screenshot = !options.screenshot.isEmpty();
  tables::WidgetDialogs dialogs(&window, screenshot ? tables::WidgetDialogs::kShowOnly : tables::WidgetDialogs::kWait);
  tables::Tables tables(&window, &lumbra, &lumbra, &dialogs);
  window.setFrequencyRange(options.range);
  if (options.rigctldPort != 0) {
    QString error;
    radio::RigctldServer::Settings settings;
    settings.idleSeconds = options.rigctldIdleSeconds;
    settings.logPath = options.rigctldLog;
    if (!window.startRigctld(options.rigctldAddress, options.rigctldPort, &error, settings))
      std::fprintf(stderr, "tessaly: rigctld server on %s:%u is not listening: %s%s\n",
                   qPrintable(options.rigctldAddress.toString()), options.rigctldPort, qPrintable(error),
                   window.rigctld()->status().contains(QLatin1String("in use")) ? " (tried again every 10 s)" : "");
  }
  progress::QtProgressWindow progressWindow(&window);
  tables::LibraryCare care(&lumbra);
  care.installProgressWindow(&progressWindow);
  tables::CheckTables checkTables(&window, &tables, &care, &dialogs);
  // A table left unfinished by a crash gets its index rebuilt once the window is up.
  QTimer::singleShot(0, &checkTables, &tables::CheckTables::recoverUnfinished);
  tables::WidgetBackupDialogs backupDialogs(&window);
  tables::TableBackup backup(window.tabs()->widget(MainWindow::kStandardsTab), &lumbra, &tables.database(),
                             &backupDialogs, &window);
  if (options.utc) tables.setLogInUtc(true);
  if (!options.logUdpAddress.isNull()) {
    QString error;
    if (!tables.log().listenUdp(options.logUdpAddress, options.logUdpPort, &error))
      std::fprintf(stderr, "tessaly: not listening for logged contacts on %s:%u: %s\n",
                   qPrintable(options.logUdpAddress.toString()), options.logUdpPort, qPrintable(error));
  }
  if (options.pollSeconds > 0) window.polling()->setIntervalSeconds(options.pollSeconds);
  window.polling()->setEnabled(options.pollSeconds > 0);
  window.show();
  if (options.connect) QTimer::singleShot(0, window.radio(), &RadioControl::connectRadio);
  if (screenshot) {
    QTimer::singleShot(3000, &window, [&window, file = options.screenshot] {
      const bool saved = window.grab().save(file);
      if (!saved) std::fprintf(stderr, "tessaly: cannot save the picture to %s\n", qPrintable(file));
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return stopped ? 0 : app.exec();
}
