#include "app/progress/progresswindow.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

#include "app/progress/progresslayout.h"

namespace progress {

namespace {

QString text8(const std::string &text) { return QString::fromLatin1(text.data(), static_cast<int>(text.size())); }

}  // namespace

ProgressView::ProgressView(corvex::ProgressLayout layout, const QString &title, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), layout_(layout) {
  const LayoutGeometry &g = geometryOf(layout);
  setObjectName(layout == corvex::ProgressLayout::kFileMaint ? "FileMaint" : "Compress");
  setWindowTitle(title);
  move(g.position);
  setFixedSize(g.size);
  QPalette p = palette();
  p.setColor(QPalette::Window, g.background);
  setPalette(p);
  setAutoFillBackground(true);
  for (size_t i = 0; i < g.lines.size(); i++) lines_ << QString();
  stop_ = new QPushButton("Stop", this);
  stop_->setObjectName("Stop");
  stop_->setGeometry(g.stop);
  connect(stop_, &QPushButton::clicked, this, [this] { stopClicked_ = true; });
}

void ProgressView::setLine(int line, const QString &text) {
  if (line < 0 || line >= lines_.size() || lines_[line] == text) return;
  lines_[line] = text;
  update(bandOf(layout_, line));
}

void ProgressView::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  const LayoutGeometry &g = geometryOf(layout_);
  const int ascent = painter.fontMetrics().ascent();
  for (int i = 0; i < lines_.size(); i++) {
    const LineSpot &spot = g.lines[static_cast<size_t>(i)];
    if (lines_[i].isEmpty() || !event->rect().intersects(bandOf(layout_, i))) continue;
    painter.setPen(spot.colour);
    painter.drawText(spot.at + QPoint(0, ascent), lines_[i]);
  }
}

QtProgressWindow::~QtProgressWindow() { delete view_; }

void QtProgressWindow::open(corvex::ProgressLayout layout, const std::string &title) {
  delete view_;
  view_ = new ProgressView(layout, text8(title), parent_);
  view_->show();
  QCoreApplication::processEvents();
}

void QtProgressWindow::set_line(int line, const std::string &text) {
  if (view_) view_->setLine(line, text8(text));
  QCoreApplication::processEvents();
}

bool QtProgressWindow::stop_requested() {
  QCoreApplication::processEvents();
  return view_ && view_->stopClicked();
}

bool QtProgressWindow::ask(const corvex::ProgressQuestion &question) {
  const bool yesNo = question.buttons == corvex::ProgressQuestion::Buttons::kYesNo;
  const QMessageBox::StandardButton first = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
  QMessageBox box(QMessageBox::Question, text8(question.caption), text8(question.text),
                  first | (yesNo ? QMessageBox::No : QMessageBox::Cancel), view_ ? view_.data() : parent_);
  return box.exec() == first;
}

void QtProgressWindow::close() {
  delete view_;
  QCoreApplication::processEvents();
}

}  // namespace progress
