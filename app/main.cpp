// tessaly [PORT] [--screenshot FILE]
// PORT is a serial port number (N opens /dev/ttyS<N-1>) or a device path.
#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>

#include "app/mainwindow.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("tessaly");
  QCommandLineParser parser;
  parser.setApplicationDescription("Control station for a CAT transceiver.");
  parser.addHelpOption();
  parser.addPositionalArgument("port", "Serial port number (1 is /dev/ttyS0) or device path.", "[port]");
  QCommandLineOption screenshot("screenshot", "Save a picture of the window to FILE after a few seconds, then quit.", "FILE");
  parser.addOption(screenshot);
  parser.process(app);

  MainWindow window;
  window.show();
  if (parser.isSet(screenshot)) {
    const QString file = parser.value(screenshot);
    QTimer::singleShot(3000, &window, [&window, file] {
      window.grab().save(file);
      QApplication::quit();
    });
  }
  return app.exec();
}
