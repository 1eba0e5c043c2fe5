#include "app/mainwindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QWindow>

#include "app/memorychannels.h"
#include "app/panel.h"
#include "app/polling.h"
#include "app/radio/rigaccess.h"
#include "app/radio/rigctld_server.h"
#include "app/radio/scanner.h"
#include "app/radiocontrol.h"
#include "app/soundcontrol.h"
#include "app/tuning.h"

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

  radio_->start(portLabel);
  updateTitle();
  tuning_->entryFromLowLimit();
  showCompact();
  tabs_->setCurrentIndex(kLogsTab);
}

bool MainWindow::startRigctld(const QHostAddress &address, quint16 port, QString *error,
                              radio::RigctldServer::Settings settings) {
  if (!rigctld_) {
    settings.range = range_;
    settings.staleMs = [this] {
      return polling_->enabled() ? polling_->intervalSeconds() * 1000 : radio::RigctldServer::kDefaultStaleMs;
    };
    rigAccess_ = new radio::RigAccess(&radio_->link(), this);
    rigctld_ = new radio::RigctldServer(rigAccess_, std::move(settings), this);
    connect(rigctld_, &radio::RigctldServer::clientCountChanged, this, &MainWindow::showRigctldState);
    connect(rigctld_, &radio::RigctldServer::statusChanged, this, &MainWindow::showRigctldState);
  }
  const bool listening = rigctld_->listen(address, port, error);
  showRigctldState();
  panel_->NetClients->setToolTip(tr("Programs connected through the rigctld protocol on %1:%2")
                                     .arg(address.toString())
                                     .arg(listening ? rigctld_->port() : port));
  return listening;
}

void MainWindow::showRigctldState() {
  const QString status = rigctld_->status();
  panel_->NetClients->setText(status.isEmpty() ? tr("Network clients: %1").arg(rigctld_->clientCount()) : status);
}

MainWindow::~MainWindow() {
  if (!closed_) radio_->stop();
  // The controllers watch the panel's controls: they go before the panel does.
  delete polling_;
  delete rigctld_;
  delete rigAccess_;
  delete scanner_;
  delete tuning_;
  delete sound_;
  delete radio_;
}

void MainWindow::updateTitle() {
  QStringList parts{QStringLiteral("Tessaly"), tr("port %1").arg(portLabel_),
                    RadioControl::linkStateText(radio_->linkState())};
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

void MainWindow::closeEvent(QCloseEvent *event) {
  if (!closed_) {
    radio_->stop();
    closed_ = true;
  }
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
