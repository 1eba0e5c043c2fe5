// MsgBox: the program's own message window. A frameless window with rounded
// corners, a heading, a message, an optional icon and either an OK button
// that may close the window by itself after some seconds, or Yes and No
// buttons. Pressing the mouse on the window (or its message) and moving it
// drags the window.
#ifndef TESSALY_APP_TABLES_MSGBOX_H
#define TESSALY_APP_TABLES_MSGBOX_H

#include <QDialog>
#include <QPoint>

#include "app/tables/dialogs.h"

class QLabel;
class QPushButton;
class QTimer;

namespace tables {

// True when `yesNo` asks for the Yes and No buttons: "Y" in either case, or
// text whose numeric value is exactly 1.
bool asksYesNo(const QString &yesNo);

class MsgBox : public QDialog {
  Q_OBJECT
public:
  static constexpr int kTickMs = 1000;
  static constexpr int kCornerPixels = 30;

  // Lays the window out for `request`; show it with exec() (or show() and
  // wait for finished()).
  explicit MsgBox(const MessageRequest &request, QWidget *parent = nullptr);

  // 1 after Yes; 0 after No, OK, the time limit, or while still open.
  int answer() const { return answer_; }
  int ticks() const { return ticks_; }

  QLabel *Heading, *Msg1, *Image1;
  QPushButton *Image2, *Image3, *Image4;  // OK, No, Yes

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

private:
  void layOut(bool yesNo);
  void onTick();

  QTimer *Timer1;
  int timeLimit_;
  int ticks_ = 0;
  int answer_ = 0;
  QPoint dragOffset_;
};

}  // namespace tables

#endif
