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

#include "app/panel.h"
#include "app/radio/freqrange.h"
#include "app/radio/mixer.h"
#include "app/radio/ptt.h"
#include "app/radio/rigctld_server.h"
#include "app/radio/seriallink.h"

namespace radio {
class LinkWatch;
class RigAccess;
}
class MemoryChannels;
class QHostAddress;
class Polling;
class QPushButton;
class QTabWidget;
class RadioControl;
class Scanner;
class SoundControl;
class Tuning;
class TxButton;

class MainWindow : public QWidget {
  Q_OBJECT
public:
  // Window sizes in twips (15 twips are one pixel).
  static constexpr int kCompactWidth = 9790, kCompactHeight = 3464;
  static constexpr int kFullWidth = 9660, kFullHeight = 9225;
  static int twipsToPixels(int twips) { return (twips + 7) / 15; }
  // The panel's height: the form's, and room for the captions of its boxes.
  static int compactHeight() { return twipsToPixels(kCompactHeight) + panel_row::kCaptionRoom; }

  // Tab indexes of SSTab1.
  static constexpr int kLogsTab = 0, kMemoryTab = 1, kScansTab = 2, kStandardsTab = 3;

  // Opens `port` (shown as `portLabel`) and shows the compact view. Nothing is
  // sent to the transceiver until "Connect to Tessaly" is pressed; after that,
  // a lost port that comes back is connected again by itself.
  MainWindow(std::unique_ptr<radio::SerialLink> port, std::unique_ptr<radio::Mixer> mixer,
             const QString &portLabel, QWidget *parent = nullptr);
  ~MainWindow() override;

  Panel *panel() const { return panel_; }
  QTabWidget *tabs() const { return tabs_; }
  RadioControl *radio() const { return radio_; }
  Tuning *tuning() const { return tuning_; }
  Scanner *scanner() const { return scanner_; }
  Polling *polling() const { return polling_; }
  radio::LinkWatch *linkWatch() const { return watch_; }
  radio::Ptt *ptt() const { return ptt_; }
  TxButton *txButton() const { return txButton_; }

  // Keys the transmitter by `line` (the TX button is off with Line::None),
  // unkeying after `timeoutMs` of transmitting at most.
  void keyBy(radio::Ptt::Line line, int timeoutMs);

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

  // Whether another program has the station log open; the title says so, so
  // that the operator knows a second copy is running.
  void setLogShared(bool shared);

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
  // A key of the panel's key box: the tuning keys step, Backspace mutes or
  // unmutes, "*" connects, "/" pauses and Enter starts or stops the range scan.
  void onPanelKey(int key, const QString &text);
  // Reopens a lost port; says what is wrong with the link in the status
  // line and the title (the scans pause by the radio state themselves). Set
  // up before the port opens, started after.
  void watchLink();
  // What the link watch says, in the status line; `why` is the reason of a
  // command that failed just now, if any.
  void showLinkTrouble(const QString &why = {});
  // The TX button and the keying line; unkeyed when the port is lost or
  // (re)opened, and when the window closes.
  void setUpKeying();
  // Unkeys, stops the range scan and the watch, and closes the port, once.
  void stopRadio();
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
  QPushButton *compactButton_, *fullButton_, *closeButton_;
  radio::LinkWatch *watch_;
  radio::Ptt *ptt_;
  TxButton *txButton_;
  QString portLabel_, logTitle_;
  radio::FrequencyRange range_;
  QPoint dragOffset_;
  bool dragging_ = false;
  bool closed_ = false;
  bool logShared_ = false;
};

#endif
