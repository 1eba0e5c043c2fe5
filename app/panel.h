// Panel: the transceiver panel at the top of the main window. It shows what
// the radio state holds (the frequency digits, the mode, the coverage and
// whether the transceiver answers) and owns the few controls no controller
// owns: the key-capture box that every handler gives the focus back to, the
// status line, the UTC box and the count of network clients. The
// controllers (Tuning, Scanner, RadioControl, SoundControl, Polling) and the
// window place their own controls on it. Every control's objectName is its
// name on the form, arrays as Name_1 .. Name_7 or Name_0 ...
#ifndef TESSALY_APP_PANEL_H
#define TESSALY_APP_PANEL_H

#include <QWidget>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace radio {
class RadioState;
}

// The panel's rows, top to bottom, in pixels. Boxes and sliders carry a
// caption in the line above them (form::kCaptionHeight), which is why the
// rows below a captioned row start lower.
namespace panel_row {
constexpr int kTune = 14;        // frequency display, mode, entry box, Up, Down, step
constexpr int kScanLimits = 48;  // low and high limit, Scan
constexpr int kButtons = 72;     // bands, coverage and modes
constexpr int kSliders = 98;     // receiver slider frames; the sound row's captions
constexpr int kSound = 112;      // volume and balance
constexpr int kMute = 134;       // mute, scan dwell
constexpr int kReply = 170;      // the last reply's boxes
constexpr int kPort = 194;       // port and status line
constexpr int kCommands = 220;   // connect, break, window, poll, UTC, TX
constexpr int kStatus = 250;     // link, scan state, network clients, mixer
// What the captions add to the window's compact height.
constexpr int kCaptionRoom = 46;
}  // namespace panel_row

class Panel : public QWidget {
  Q_OBJECT
public:
  explicit Panel(QWidget *parent = nullptr);

  // Shows what `state` holds from now on; `state` must outlive the panel.
  void follow(const radio::RadioState *state);

  // One line for what the radio side has to say (port and answer failures,
  // an entry that is no frequency).
  void showStatus(const QString &text);
  // How many programs reach the transceiver over the network, or why none
  // can (`trouble` not empty), and where they connect; the line stays empty
  // while the rigctld server is off.
  void showNetworkClients(int count, const QString &trouble = {});
  void describeNetworkClients(const QString &where);

  // Whether new table entries are stamped from the UTC clock (the UTC box).
  bool utcStamps() const;
  void setUtcStamps(bool on);

  // Who gives the focus back to the key box: the operator's own action (a
  // panel or table handler), or something the operator did not do just now
  // (a reply, a scan tick), which must not take the focus from a text entry
  // or a dialog that the operator is typing in.
  enum class FocusFrom { Operator, Background };
  // Gives the keyboard focus to the key box.
  void focusKeys(FocusFrom from = FocusFrom::Operator);
  // True when the window's focus is in an editable text entry other than
  // the key box, or another window than the panel's (such as a dialog) is
  // active.
  bool operatorIsTyping() const;

  // Puts the panel's controls, whoever placed them, in the focus order of
  // the form.
  void orderTabsAsOnTheForm();

signals:
  // A key pressed in the key box (Tab and Shift+Tab excepted, which move the
  // focus on); the box keeps no text.
  void keyPressed(int key, const QString &text);
  // The mouse wheel turned `angle` eighths of a degree (away from the
  // operator: positive) over frequency digit `digit` (0 = 10 MHz).
  void digitWheeled(int digit, int angle);
  void utcStampsToggled(bool on);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void showState();

  const radio::RadioState *state_ = nullptr;
  // The frequency display, 10 MHz digit first, 10 Hz digit last.
  std::array<QLineEdit *, 7> digits_{};
  QLabel *modeLabel_, *coverageLabel_, *linkLabel_;
  QLabel *statusLine_, *networkClients_;
  QCheckBox *utcBox_;
  QLineEdit *keyBox_;
};

#endif
