#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QWindow>

#include "app/form.h"
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
  panel_->setGeometry(0, 0, twipsToPixels(kCompactWidth), compactHeight());
  radio_ = new RadioControl(panel_, port_.get(), this);
  panel_->follow(&radio_->state());
  tuning_ = new Tuning(panel_, &radio_->link(), &radio_->state(), &range_, this);
  scanner_ = new Scanner(panel_, tuning_, &radio_->state(), this);
  sound_ = new SoundControl(panel_, mixer_.get(), this);
  polling_ = new Polling(panel_, &radio_->link(), this);
  compactButton_ = form::place<QPushButton>(panel_, "JustControl", 192, panel_row::kCommands, 90, 26, "Just Control");
  compactButton_->setToolTip(tr("Show the panel alone"));
  fullButton_ = form::place<QPushButton>(panel_, "LogsScans", 286, panel_row::kCommands, 100, 26, "+ Logs + Scans");
  fullButton_->setToolTip(tr("Show the panel with the log, memory, scan and standards tabs"));
  closeButton_ = form::place<QPushButton>(panel_, "Close_But", 390, panel_row::kCommands, 60, 26, "Close");
  closeButton_->setToolTip(tr("Close the program (the port is released)"));
  panel_->orderTabsAsOnTheForm();
  connect(&radio_->state(), &radio::RadioState::linkChanged, this, &MainWindow::updateTitle);
  connect(scanner_, &Scanner::scanStateChanged, this, &MainWindow::updateTitle);
  connect(panel_, &Panel::keyPressed, this, &MainWindow::onPanelKey);
  connect(compactButton_, &QPushButton::clicked, this, &MainWindow::showCompact);
  connect(fullButton_, &QPushButton::clicked, this, &MainWindow::showFull);
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);

  // The table tabs are filled by the table views; the memory rows live on tab 1.
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("SSTab1");
  tabs_->setGeometry(4, compactHeight(), twipsToPixels(kFullWidth) - 8,
                     twipsToPixels(kFullHeight - kCompactHeight) - 4);
  memory_ = new MemoryChannels(&radio_->state());
  static const char *const kPages[4][2] = {
      {"LogsTab", "Logs"}, {"", "Memory Chanels"}, {"ScansTab", "Scan Banks"}, {"StandardsTab", "Digital Standards"}};
  for (int i = 0; i < 4; ++i) {
    QWidget *page = i == kMemoryTab ? memory_ : new QWidget;
    if (i != kMemoryTab) page->setObjectName(QLatin1String(kPages[i][0]));
    tabs_->addTab(page, QLatin1String(kPages[i][1]));
  }

  watchLink();
  setUpKeying();
  radio_->start(portLabel);
  watch_->start();
  updateTitle();
  tuning_->entryFromLowLimit();
  showCompact();
  tabs_->setCurrentIndex(kLogsTab);
}

void MainWindow::onPanelKey(int key, const QString &text) {
  if (tuning_->handleKey(key, text)) return;
  if (key == Qt::Key_Backspace)
    sound_->toggleMute();
  else if (text == "*")
    radio_->connectRadio();
  else if (text == "/")
    radio_->pause();
  else if (key == Qt::Key_Return || key == Qt::Key_Enter)
    scanner_->toggleRangeScan();
}

bool MainWindow::startRigctld(const QHostAddress &address, quint16 port, QString *error,
                              radio::RigctldServer::Settings settings) {
  if (!rigctld_) {
    settings.range = range_;
    settings.staleMs = [this] {
      return polling_->enabled() ? polling_->intervalSeconds() * 1000 : radio::RigctldServer::kDefaultStaleMs;
    };
    rigAccess_ = new radio::RigAccess(&radio_->link(), &radio_->state(), this);
    rigctld_ = new radio::RigctldServer(rigAccess_, std::move(settings), this);
    rigctld_->setPtt(ptt_);
    connect(rigctld_, &radio::RigctldServer::clientCountChanged, this, &MainWindow::showRigctldState);
    connect(rigctld_, &radio::RigctldServer::statusChanged, this, &MainWindow::showRigctldState);
  }
  const bool listening = rigctld_->listen(address, port, error);
  showRigctldState();
  panel_->describeNetworkClients(tr("Programs connected through the rigctld protocol on %1:%2")
                                     .arg(address.toString())
                                     .arg(listening ? rigctld_->port() : port));
  return listening;
}

void MainWindow::showRigctldState() { panel_->showNetworkClients(rigctld_->clientCount(), rigctld_->status()); }

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
  watch_ = new radio::LinkWatch(port_.get(), &radio_->link(), &radio_->state(), radio::portDevice(portLabel_), this);
  // The status reply rewrites the entry box: no probe while the operator types.
  watch_->setProbeWanted([this] { return !polling_->enabled() && !panel_->operatorIsTyping(); });
  connect(&radio_->state(), &radio::RadioState::linkChanged, this, [this] { showLinkTrouble(); });
  connect(watch_, &radio::LinkWatch::refused, panel_, &Panel::showStatus);
  // A command failing meanwhile says why, after what is wrong with the link.
  connect(&radio_->link(), &radio::RadioLink::failed, this, &MainWindow::showLinkTrouble);
}

void MainWindow::showLinkTrouble(const QString &why) {
  const QString trouble = watch_->text();
  if (trouble.isEmpty() && why.isEmpty())
    panel_->showStatus(QString());
  else if (!trouble.isEmpty()) {
    // What to check says more than the failure's own words, and both do not fit.
    const QString guidance = watch_->guidance();
    if (!guidance.isEmpty())
      panel_->showStatus(tr("%1; %2.").arg(trouble, guidance));
    else
      panel_->showStatus(why.isEmpty() ? trouble : tr("%1: %2").arg(trouble, why));
  }
}

void MainWindow::setUpKeying() {
  ptt_ = new radio::Ptt(port_.get(), this);
  txButton_ = new TxButton(ptt_, panel_);
  connect(txButton_, &TxButton::refused, panel_, &Panel::showStatus);
  connect(ptt_, &radio::Ptt::notice, this, [this](const QString &why) {
    panel_->showStatus(why);
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
                    trouble.isEmpty() ? radio::RadioState::linkText(radio_->state().link()) : trouble};
  if (scanner_->rangeScanRunning()) parts << tr("scanning");
  if (scanner_->selectedScanRunning()) parts << tr("scanning selected");
  if (logShared_) parts << tr("log also open in another program");
  if (!logTitle_.isEmpty()) parts << logTitle_;
  setWindowTitle(parts.join(QStringLiteral(" - ")));
}

void MainWindow::setLogShared(bool shared) {
  if (shared == logShared_) return;
  logShared_ = shared;
  updateTitle();
}

void MainWindow::setLogTitle(const QString &text) {
  logTitle_ = text;
  updateTitle();
}

void MainWindow::showCompact() {
  resize(twipsToPixels(kCompactWidth), compactHeight());
  panel_->focusKeys();
}

void MainWindow::showFull() {
  resize(twipsToPixels(kFullWidth), twipsToPixels(kFullHeight) + panel_row::kCaptionRoom);
  panel_->focusKeys();
}

void MainWindow::stopRadio() {
  if (closed_) return;
  ptt_->forceUnkey(tr("the program ends: unkeyed"));
  scanner_->stopRangeScan();
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
