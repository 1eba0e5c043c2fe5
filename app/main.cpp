// tessaly [PORT] [--connect] [--screenshot FILE] [--rigctld-port N] [--rigctld-address ADDR]
// PORT is a serial port number (N opens /dev/ttyS<N-1>) or a device path.
#include <QApplication>
#include <QCommandLineParser>
#include <QHostAddress>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/progress/progresswindow.h"
#include "app/radio/alsamixer.h"
#include "app/radio/commport.h"
#include "app/radio/rigctld_server.h"
#include "app/tables/checktables.h"
#include "app/tables/backup.h"
#include "app/tables/dialogs.h"
#include "app/tables/lumbra.h"
#include "app/tables/tables.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tessaly");
  QCommandLineParser parser;
  parser.setApplicationDescription("Control station for a CAT transceiver.");
  parser.addHelpOption();
  parser.addPositionalArgument("port", "Serial port number (1 is /dev/ttyS0) or device path; 1 when absent.",
                               "[port]");
  QCommandLineOption connectAtStart("connect", "Press \"Connect to Tessaly\" once the window is up.");
  QCommandLineOption screenshot("screenshot", "Save a picture of the window to FILE after a few seconds, then quit.",
                                "FILE");
  QCommandLineOption rigctldPort(
      "rigctld-port", "Serve the rigctld protocol to other programs on port N (0: off; default 4532).", "N",
      QString::number(radio::RigctldServer::kDefaultPort));
  QCommandLineOption rigctldAddress("rigctld-address",
                                    "Address the rigctld server listens on (default 127.0.0.1, this machine only).",
                                    "ADDR", "127.0.0.1");
  parser.addOption(connectAtStart);
  parser.addOption(screenshot);
  parser.addOption(rigctldPort);
  parser.addOption(rigctldAddress);
  parser.process(app);
  bool portOk = false;
  const uint netPort = parser.value(rigctldPort).toUInt(&portOk);
  const QHostAddress netAddress(parser.value(rigctldAddress));
  if (!portOk || netPort > 65535 || netAddress.isNull()) {
    fprintf(stderr, "tessaly: --rigctld-port takes 0 .. 65535 and --rigctld-address an IP address (see --help)\n");
    return 2;
  }
  if (parser.positionalArguments().size() > 1) {
    fprintf(stderr, "tessaly: one port at most (see --help)\n");
    return 2;
  }
  const QString argument = parser.positionalArguments().value(0);

  MainWindow window(std::make_unique<radio::CommPort>(radio::portDevice(argument)),
                    std::make_unique<radio::AlsaMixer>(), radio::portLabel(argument));
  tables::LumbraLibrary lumbra(tables::LumbraLibrary::defaultPaths());
  tables::WidgetDialogs dialogs(&window);
  tables::Tables tables(&window, &lumbra, &dialogs);
  if (netPort != 0) {
    QString error;
    if (!window.startRigctld(netAddress, static_cast<quint16>(netPort), &error))
      fprintf(stderr, "tessaly: rigctld server on %s:%u is off: %s\n", qPrintable(netAddress.toString()), netPort,
              qPrintable(error));
  }
  progress::QtProgressWindow progressWindow(&window);
  tables::LibraryCare care(&lumbra);
  care.installProgressWindow(&progressWindow);
  tables::CheckTables checkTables(&window, &tables, &care, &dialogs);
  tables::WidgetBackupDialogs backupDialogs(&window);
  tables::TableBackup backup(window.tabs()->widget(MainWindow::kStandardsTab), &backupDialogs, &window);
  window.show();
  if (parser.isSet(connectAtStart))
    QTimer::singleShot(0, window.panel()->But_Power, &QPushButton::click);
  if (parser.isSet(screenshot)) {
    const QString file = parser.value(screenshot);
    QTimer::singleShot(3000, &window, [&window, file] {
      const bool saved = window.grab().save(file);
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return app.exec();
}
