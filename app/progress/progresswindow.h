// QtProgressWindow: the window that the libraries' long runs (file
// maintenance, archives) report to in the program. Each run gets a small
// top-level window with a caption only, grey, its text lines where the
// layout puts them and a Stop button; the run owns the thread, and every
// line change and stop check lets the program's pending events run, so the
// program's windows stay responsive and Stop can be clicked.
#ifndef TESSALY_APP_PROGRESS_PROGRESSWINDOW_H
#define TESSALY_APP_PROGRESS_PROGRESSWINDOW_H

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "util/progress/progress.h"

class QPushButton;

namespace progress {

// The window of one run.
class ProgressView : public QWidget {
public:
  ProgressView(corvex::ProgressLayout layout, const QString &title, QWidget *parent);

  // Replaces the text of `line` and repaints its band.
  void setLine(int line, const QString &text);
  QString line(int line) const { return lines_.value(line); }

  QPushButton *stopButton() const { return stop_; }
  bool stopClicked() const { return stopClicked_; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  corvex::ProgressLayout layout_;
  QStringList lines_;
  QPushButton *stop_;
  bool stopClicked_ = false;
};

class QtProgressWindow : public corvex::ProgressWindow {
public:
  // Windows and questions are placed over `parent` (may be null).
  explicit QtProgressWindow(QWidget *parent = nullptr) : parent_(parent) {}
  ~QtProgressWindow() override;

  void open(corvex::ProgressLayout layout, const std::string &title) override;
  void set_line(int line, const std::string &text) override;
  bool stop_requested() override;
  bool ask(const corvex::ProgressQuestion &question) override;
  void close() override;

  // The window of the run going on, or null.
  ProgressView *view() const { return view_; }

private:
  QWidget *parent_;
  QPointer<ProgressView> view_;
};

}  // namespace progress

#endif
