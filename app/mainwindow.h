// The Tessaly main window: the radio panel on top and, in the full view, the
// tab control SSTab1 below it ("Logs", "Memory Chanels", "Scan Banks",
// "Digital Standards"). It makes the controllers of the panel, hands the
// panel's keys to them, and owns the buttons that switch the view and close
// the window. Its title bar names the program, the port, whether the
// transceiver answers and which scans run; dragging its body moves it too.
#ifndef TESSALY_APP_MAINWINDOW_H
#define TESSALY_APP_MAINWINDOW_H

#include <QPoint>
#include <QWidget>
#include <memory>

#include "app/radio/mixer.h"
#include "app/radio/seriallink.h"

namespace radio {
class RigAccess;
class RigctldServer;
}
class MemoryChannels;
class QHostAddress;
class Panel;
class Polling;
class QPushButton;
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

  // Lets other programs reach the transceiver through the rigctld protocol on
  // `address`:`port` (port 0: any free one); the panel shows how many are
  // connected. False with `*error` set when the address cannot be had.
  bool startRigctld(const QHostAddress &address, quint16 port, QString *error);
  radio::RigctldServer *rigctld() const { return rigctld_; }

  // "Just Control": the panel alone. "+ Logs + Scans": the panel and the tabs.
  void showCompact();
  void showFull();

  // A word on the log in the title bar (its clock: "log in UTC").
  void setLogTitle(const QString &text);

protected:
  void closeEvent(QCloseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

private:
  void updateTitle();
  // Stops the range scan and closes the port.
  void stopRadio();
  // A key of the panel's key box: the tuning keys step, Backspace mutes or
  // unmutes, "*" connects, "/" pauses and Enter starts or stops the range scan.
  void onPanelKey(int key, const QString &text);

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
  QPushButton *compactButton_, *fullButton_, *closeButton_;
  QString portLabel_, logTitle_;
  QPoint dragOffset_;
  bool dragging_ = false;
  bool closed_ = false;
};

#endif
