// The Tessaly main window: the radio panel on top and, in the full view, the
// tab control SSTab1 below it ("Logs", "Memory Chanels", "Scan Banks",
// "Digital Standards"). Its title bar names the program, the port, whether the
// transceiver answers and which scans run; dragging its body moves it too.
#ifndef TESSALY_APP_MAINWINDOW_H
#define TESSALY_APP_MAINWINDOW_H

#include <QPoint>
#include <QWidget>
#include <memory>

#include "app/radio/mixer.h"
#include "app/radio/rigctld_server.h"
#include "app/radio/seriallink.h"

namespace radio {
class RigAccess;
}
class MemoryChannels;
class QHostAddress;
class Panel;
class Polling;
class QTabWidget;
class RadioControl;
class Scanner;
class SoundControl;
class Tuning;

class MainWindow : public QWidget {
  Q_OBJECT
public:
  // Window sizes in twips (15 twips are one pixel).
  static constexpr int kCompactWidth = 9790, kCompactHeight = 3464;
  static constexpr int kFullWidth = 9660, kFullHeight = 9225;
  static int twipsToPixels(int twips) { return (twips + 7) / 15; }

  // Tab indexes of SSTab1.
  static constexpr int kLogsTab = 0, kMemoryTab = 1, kScansTab = 2, kStandardsTab = 3;

  // Opens `port` (shown as `portLabel`) and shows the compact view. Nothing is
  // sent to the transceiver until "Connect to Tessaly" is pressed.
  MainWindow(std::unique_ptr<radio::SerialLink> port, std::unique_ptr<radio::Mixer> mixer,
             const QString &portLabel, QWidget *parent = nullptr);
  ~MainWindow() override;

  Panel *panel() const { return panel_; }
  QTabWidget *tabs() const { return tabs_; }
  RadioControl *radio() const { return radio_; }
  Tuning *tuning() const { return tuning_; }
  Scanner *scanner() const { return scanner_; }
  Polling *polling() const { return polling_; }

  // The frequencies anything may tune (--range); the rigctld server started
  // after this call uses it.
  void setFrequencyRange(const radio::FrequencyRange &range) { range_ = range; }
  const radio::FrequencyRange &frequencyRange() const { return range_; }

  // Lets other programs reach the transceiver through the rigctld protocol on
  // `address`:`port` (port 0: any free one); the panel shows how many are
  // connected, or why the server is not listening. False with `*error` set
  // when the address cannot be had (a port in use is tried again).
  // `settings.range` and `settings.staleMs` are set here: the window's range,
  // and the polling interval (1 s without polling).
  bool startRigctld(const QHostAddress &address, quint16 port, QString *error,
                    radio::RigctldServer::Settings settings = {});
  radio::RigctldServer *rigctld() const { return rigctld_; }

  // "Just Control": the panel alone. "+ Logs + Scans": the panel and the tabs.
  void showCompact();
  void showFull();

protected:
  void closeEvent(QCloseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

private:
  void updateTitle();
  // The rigctld line of the panel: the clients connected, or why none can be.
  void showRigctldState();

  std::unique_ptr<radio::SerialLink> port_;
  std::unique_ptr<radio::Mixer> mixer_;
  Panel *panel_;
  QTabWidget *tabs_;
  MemoryChannels *memory_;
  RadioControl *radio_;
  Tuning *tuning_;
  Scanner *scanner_;
  SoundControl *sound_;
  radio::RigAccess *rigAccess_ = nullptr;
  radio::RigctldServer *rigctld_ = nullptr;
  Polling *polling_;
  QString portLabel_;
  radio::FrequencyRange range_;
  QPoint dragOffset_;
  bool dragging_ = false;
  bool closed_ = false;
};

#endif
