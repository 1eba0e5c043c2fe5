#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QWindow>

#include "app/memorychannels.h"
#include "app/panel.h"
#include "app/polling.h"
#include "app/radio/commport.h"
#include "app/radio/linkwatch.h"
#include "app/radio/rigaccess.h"
#include "app/radio/rigctld_server.h"
#include "app/radio/scanner.h"
#include "app/radiocontrol.h"
#include "app/soundcontrol.h"
#include "app/tuning.h"
#include "app/txbutton.h"

MainWindow::MainWindow(std::unique_ptr<radio::SerialLink> port, std::unique_ptr<radio::Mixer> mixer,
                       const QString &portLabel, QWidget *parent)
    : QWidget(parent), port_(std::move(port)), mixer_(std::move(mixer)), portLabel_(portLabel) {
  setObjectName("Tessaly");
  panel_ = new Panel(this);
  panel_->setGeometry(0, 0, twipsToPixels(kCompactWidth), twipsToPixels(kCompactHeight));

  // The table tabs are filled by the table views; the memory rows live on tab 1.
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("SSTab1");
  tabs_->setGeometry(4, twipsToPixels(kCompactHeight), twipsToPixels(kFullWidth) - 8,
                     twipsToPixels(kFullHeight - kCompactHeight) - 4);
  memory_ = new MemoryChannels;
  static const char *const kPages[4][2] = {
      {"LogsTab", "Logs"}, {"", "Memory Chanels"}, {"ScansTab", "Scan Banks"}, {"StandardsTab", "Digital Standards"}};
  for (int i = 0; i < 4; ++i) {
    QWidget *page = i == kMemoryTab ? memory_ : new QWidget;
    if (i != kMemoryTab) page->setObjectName(QLatin1String(kPages[i][0]));
    tabs_->addTab(page, QLatin1String(kPages[i][1]));
  }

  radio_ = new RadioControl(panel_, memory_, port_.get(), this);
  tuning_ = new Tuning(panel_, &radio_->link(), this);
  scanner_ = new Scanner(panel_, tuning_, this);
  sound_ = new SoundControl(panel_, mixer_.get(), this);
  polling_ = new Polling(panel_, &radio_->link(), this);
  connect(radio_, &RadioControl::linkStateChanged, this, &MainWindow::updateTitle);
  connect(scanner_, &Scanner::scanStateChanged, this, &MainWindow::updateTitle);
  connect(panel_->JustControl, &QPushButton::clicked, this, &MainWindow::showCompact);
  connect(panel_->LogsScans, &QPushButton::clicked, this, &MainWindow::showFull);
  connect(panel_->Close_But, &QPushButton::clicked, this, &QWidget::close);

  watchLink();
  setUpKeying();
  radio_->start(portLabel);
  watch_->start();
  updateTitle();
  tuning_->entryFromLowLimit();
  showCompact();
  tabs_->setCurrentIndex(kLogsTab);
}

bool MainWindow::startRigctld(const QHostAddress &address, quint16 port, QString *error) {
  if (!rigctld_) {
    rigAccess_ = new radio::RigAccess(&radio_->link(), this);
    rigctld_ = new radio::RigctldServer(rigAccess_, this);
    rigctld_->setPtt(ptt_);
    connect(rigctld_, &radio::RigctldServer::clientCountChanged, this,
            [this](int count) { panel_->NetClients->setText(tr("Network clients: %1").arg(count)); });
  }
  if (!rigctld_->listen(address, port, error)) return false;
  panel_->NetClients->setText(tr("Network clients: 0"));
  panel_->NetClients->setToolTip(
      tr("Programs connected through the rigctld protocol on %1:%2").arg(address.toString()).arg(rigctld_->port()));
  return true;
}

MainWindow::~MainWindow() {
  stopRadio();
  // The controllers watch the panel's controls: they go before the panel does,
  // and the keying before the port.
  delete ptt_;
  delete watch_;
  delete polling_;
  delete rigctld_;
  delete rigAccess_;
  delete scanner_;
  delete tuning_;
  delete sound_;
  delete radio_;
}

void MainWindow::watchLink() {
  watch_ = new radio::LinkWatch(port_.get(), &radio_->link(), radio::portDevice(portLabel_), this);
  // The status reply rewrites the entry box: no probe while the operator types.
  watch_->setProbeWanted([this] { return !polling_->enabled() && !panel_->operatorIsTyping(); });
  connect(watch_, &radio::LinkWatch::stateChanged, this, [this](radio::LinkWatch::State state) {
    if (state == radio::LinkWatch::State::Up)
      panel_->StatusLine->clear();
    else
      panel_->StatusLine->setText(watch_->text());
    scanner_->setPaused(state != radio::LinkWatch::State::Up);
    updateTitle();
  });
  connect(watch_, &radio::LinkWatch::refused, panel_->StatusLine, &QLabel::setText);
  connect(port_.get(), &radio::SerialLink::lost, radio_, [this] { radio_->showPortOpen(false); });
  connect(watch_, &radio::LinkWatch::reopened, radio_, [this] { radio_->showPortOpen(true); });
  // A command failing meanwhile is no news: the line keeps saying what is wrong.
  connect(&radio_->link(), &radio::RadioLink::failed, this, [this] {
    if (watch_->state() != radio::LinkWatch::State::Up) panel_->StatusLine->setText(watch_->text());
  });
}

void MainWindow::setUpKeying() {
  ptt_ = new radio::Ptt(port_.get(), this);
  txButton_ = new TxButton(ptt_, panel_);
  connect(txButton_, &TxButton::refused, panel_->StatusLine, &QLabel::setText);
  connect(ptt_, &radio::Ptt::notice, this, [this](const QString &why) {
    panel_->StatusLine->setText(why);
    qWarning().noquote() << "tessaly:" << why;
  });
  connect(watch_, &radio::LinkWatch::reopened, ptt_, &radio::Ptt::lineOpened);
}

void MainWindow::keyBy(radio::Ptt::Line line, int timeoutMs) {
  ptt_->setLine(line);
  ptt_->setTimeoutMs(timeoutMs);
  ptt_->lineOpened();
  txButton_->showLine();
}

void MainWindow::updateTitle() {
  const QString trouble = watch_->text();
  QStringList parts{QStringLiteral("Tessaly"), tr("port %1").arg(portLabel_),
                    trouble.isEmpty() ? RadioControl::linkStateText(radio_->linkState()) : trouble};
  if (scanner_->rangeScanRunning()) parts << tr("scanning");
  if (scanner_->selectedScanRunning()) parts << tr("scanning selected");
  setWindowTitle(parts.join(QStringLiteral(" - ")));
}

void MainWindow::showCompact() {
  resize(twipsToPixels(kCompactWidth), twipsToPixels(kCompactHeight));
  panel_->focusKeys();
}

void MainWindow::showFull() {
  resize(twipsToPixels(kFullWidth), twipsToPixels(kFullHeight));
  panel_->focusKeys();
}

void MainWindow::stopRadio() {
  if (closed_) return;
  ptt_->forceUnkey(tr("the program ends: unkeyed"));
  watch_->stop();
  radio_->stop();
  closed_ = true;
}

void MainWindow::closeEvent(QCloseEvent *event) {
  stopRadio();
  event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  // Let the window system move the window where it can; follow the mouse otherwise.
  dragging_ = !(windowHandle() && windowHandle()->startSystemMove());
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton))
    move(event->globalPosition().toPoint() - dragOffset_);
}
