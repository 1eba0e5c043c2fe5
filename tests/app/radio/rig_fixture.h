// A fixture that runs tessaly-rig on a pseudo-terminal and opens the main
// window on it, with the rig's log of what it received.
#ifndef TESSALY_TESTS_APP_RADIO_RIG_FIXTURE_H
#define TESSALY_TESTS_APP_RADIO_RIG_FIXTURE_H

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/radio/commport.h"
#include "app/radiocontrol.h"
#include "tests/app/fakes.h"
#include "tests/app/panel_controls.h"

// Runs tessaly-rig with `options` and opens the main window on its terminal.
class RigFixture : public testing::Test {
protected:
  // How the window finds the terminal: by its own path, or by the path the
  // simulator keeps for it while terminals come and go (`linkPath`).
  enum class Path { Terminal, Link };
  void start(const QStringList &options = {}, Path path = Path::Terminal) {
    ASSERT_TRUE(dir.isValid());
    logPath = dir.filePath("rig.log");
    linkPath = dir.filePath("radio");
    const QStringList linkOption = path == Path::Link ? QStringList{"--pty-link", linkPath} : QStringList{};
    rig.start(TESSALY_RIG, QStringList{"--log", logPath} + linkOption + options);
    ASSERT_TRUE(rig.waitForReadyRead(5000));
    pty = QString::fromLocal8Bit(rig.readLine()).trimmed();
    ASSERT_TRUE(pty.startsWith("/dev/"));
    if (path == Path::Link) pty = linkPath;
    window = std::make_unique<MainWindow>(std::make_unique<radio::CommPort>(radio::portDevice(pty)),
                                          std::make_unique<FakeMixer>(), radio::portLabel(pty));
    p = std::make_unique<PanelControls>(window.get());
    window->show();
  }
  void TearDown() override {
    window.reset();
    rig.terminate();
    rig.waitForFinished(3000);
  }
  // The lines of the rig's log that start with `direction` ("rx" or "tx").
  QStringList logged(const char *direction) {
    QFile f(logPath);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray &line : f.readAll().split('\n'))
      if (line.startsWith(direction)) out << QString::fromLatin1(line.mid(3));
    return out;
  }
  // Presses `button` and waits until the panel has shown the reply.
  bool pressAndWait(QPushButton *button, int timeoutMs = 3000) {
    int shown = 0;
    auto c = QObject::connect(window->radio(), &RadioControl::replyShown, [&shown] { ++shown; });
    button->click();
    const bool ok = QTest::qWaitFor([&] { return shown > 0; }, timeoutMs);
    QObject::disconnect(c);
    return ok;
  }
  QString digits() {
    QString d;
    for (QLineEdit *box : p->D1) d += box->text();
    return d;
  }

  QTemporaryDir dir;
  QString logPath, linkPath, pty;
  QProcess rig;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<PanelControls> p;
};


#endif
