#include "app/tables/msgbox.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QRegion>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "app/mainwindow.h"
#include "app/radio/frequency.h"

namespace tables {

namespace {

constexpr int kMinWidthTwips = 4000;
constexpr int kHeadingMarginTwips = 1000;
constexpr int kHeadingShiftTwips = 250;
constexpr int kButtonSize = 40;

int px(int twips) { return MainWindow::twipsToPixels(twips); }

QPushButton *imageButton(QWidget *parent, const char *name, QStyle::StandardPixmap picture) {
  auto *button = new QPushButton(parent);
  button->setObjectName(QLatin1String(name));
  button->setIcon(parent->style()->standardIcon(picture));
  button->setIconSize(QSize(kButtonSize - 8, kButtonSize - 8));
  button->setFlat(true);
  button->resize(kButtonSize, kButtonSize);
  return button;
}

}  // namespace

bool asksYesNo(const QString &yesNo) {
  return yesNo.trimmed().toUpper() == QLatin1String("Y") || radio::leadingNumber(yesNo) == 1.0;
}

MsgBox::MsgBox(const MessageRequest &request, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), timeLimit_(request.seconds) {
  setObjectName("Msg_Box");
  setStyleSheet("#Msg_Box { background: #f4f4ec; }");
  Heading = new QLabel(request.heading, this);
  Heading->setObjectName("Heading");
  QFont bold = Heading->font();
  bold.setBold(true);
  Heading->setFont(bold);
  Heading->setAlignment(Qt::AlignCenter);
  Msg1 = new QLabel(request.message, this);
  Msg1->setObjectName("Msg1");
  Msg1->setAlignment(Qt::AlignCenter);
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  // The icon list holds one picture: an index above 1 is taken as 1, 0 shows none.
  if (request.icon >= 1) Image1->setPixmap(style()->standardPixmap(QStyle::SP_MessageBoxInformation));
  Image2 = imageButton(this, "Image2", QStyle::SP_DialogOkButton);
  Image3 = imageButton(this, "Image3", QStyle::SP_DialogNoButton);
  Image4 = imageButton(this, "Image4", QStyle::SP_DialogYesButton);
  Image2->setToolTip("OK");
  Image3->setToolTip("No");
  Image4->setToolTip("Yes");
  connect(Image2, &QPushButton::clicked, this, &QDialog::accept);
  connect(Image3, &QPushButton::clicked, this, [this] {
    answer_ = 0;
    accept();
  });
  connect(Image4, &QPushButton::clicked, this, [this] {
    answer_ = 1;
    accept();
  });

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(kTickMs);
  connect(Timer1, &QTimer::timeout, this, &MsgBox::onTick);

  const bool yesNo = asksYesNo(request.yesNo);
  Image2->setVisible(!yesNo);
  Image3->setVisible(yesNo);
  Image4->setVisible(yesNo);
  if (!yesNo) Timer1->start();
  // Enter answers Yes; Escape rejects the dialog, which answers No.
  (yesNo ? Image4 : Image2)->setDefault(true);
  (yesNo ? Image4 : Image2)->setFocus();
  layOut(yesNo);
}

void MsgBox::layOut(bool yesNo) {
  const int textWidth = std::max(Heading->sizeHint().width(), Msg1->sizeHint().width());
  const int iconWidth = Image1->pixmap().isNull() ? 0 : 48;
  const int width = std::max(px(kMinWidthTwips), textWidth + iconWidth + px(kHeadingMarginTwips) + 24);
  const int headingHeight = Heading->sizeHint().height();
  const int msgHeight = Msg1->sizeHint().height();
  const int height = 16 + headingHeight + 12 + std::max(msgHeight, iconWidth ? 40 : 0) + 16 + kButtonSize + 12;
  resize(width, height);

  const int headingWidth = width - px(kHeadingMarginTwips);
  Heading->setGeometry((width - headingWidth) / 2 + px(kHeadingShiftTwips), 16, headingWidth, headingHeight);
  const int msgTop = 16 + headingHeight + 12;
  Msg1->setGeometry((width - Msg1->sizeHint().width()) / 2, msgTop, Msg1->sizeHint().width(), msgHeight);
  if (iconWidth) Image1->setGeometry(12, msgTop, 40, 40);
  const int buttonTop = height - kButtonSize - 12;
  if (yesNo) {
    Image4->move(width / 2 - kButtonSize - 8, buttonTop);
    Image3->move(width / 2 + 8, buttonTop);
  } else {
    Image2->move((width - kButtonSize) / 2, buttonTop);
  }

  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, width, height), kCornerPixels / 2.0, kCornerPixels / 2.0);
  setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void MsgBox::onTick() {
  ++ticks_;
  if (ticks_ == timeLimit_) {
    Timer1->stop();
    Image2->click();
  }
}

void MsgBox::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
  dragOffset_ = event->globalPosition().toPoint() - pos();
}

void MsgBox::mouseMoveEvent(QMouseEvent *event) {
  if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - dragOffset_);
}

}  // namespace tables
