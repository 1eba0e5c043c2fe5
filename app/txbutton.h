// TxButton: the panel's "TX" button. A press keys the transmitter for the
// panel, or unkeys it whoever keyed; it is red while the transmitter is keyed
// (by anyone) and disabled when no keying line is set up.
#ifndef TESSALY_APP_TXBUTTON_H
#define TESSALY_APP_TXBUTTON_H

#include <QPushButton>

namespace radio {
class Ptt;
}

class TxButton : public QPushButton {
  Q_OBJECT
public:
  // Placed on `panel` beside the check boxes; `ptt` must outlive the button.
  TxButton(radio::Ptt *ptt, QWidget *panel);

  // Enables the button when the keying line is set up (call after setLine).
  void showLine();

signals:
  // A press that keyed nothing, and why.
  void refused(const QString &why);

private:
  void onPressed();
  void showKeyed(bool keyed);

  radio::Ptt *ptt_;
};

#endif
