#include "app/tables/tables.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalBlocker>
#include <cstdio>
#include <QTabWidget>
#include <QTimer>

#include "app/mainwindow.h"
#include "app/panel.h"
#include "app/radio/scanner.h"
#include "app/tables/dialogs.h"
#include "app/tables/logtab.h"
#include "app/tables/scanstab.h"
#include "app/tables/stamps.h"
#include "app/tables/standardstab.h"

namespace tables {

Tables::Tables(MainWindow *window, LumbraLibrary *library, KdbApi *kdb, Dialogs *dialogs, const QString &corvexTool)
    : window_(window), dialogs_(dialogs), db_(kdb), sharingCheck_(new QTimer(this)) {
  db_.startClient();
  QTabWidget *tabs = window->tabs();
  log_ = std::make_unique<LogTab>(tabs->widget(MainWindow::kLogsTab), &db_, library, dialogs, window);
  scans_ = std::make_unique<ScansTab>(tabs->widget(MainWindow::kScansTab), &db_, dialogs, window);
  standards_ = std::make_unique<StandardsTab>(tabs->widget(MainWindow::kStandardsTab), &db_, dialogs,
                                              window);
  window->scanner()->setLogGrid(log_->Grid1, log_->ButtonPlus2);
  log_->setCorvexTool(corvexTool);

  opened_ = openOrAsk(dialogs, corvexTool);
  if (opened_) {
    QString why;
    if (!db_.openCompanion(library, &why))
      std::fprintf(stderr, "tessaly: the log keeps no call signs or exact times: %s\n", qPrintable(why));
    log_->openWords();
    log_->table().display();
    scans_->table().display();
    standards_->table().display();
    QCoreApplication::processEvents();
    window->panel()->focusKeys();
    checkSharing();
    connect(sharingCheck_, &QTimer::timeout, this, &Tables::checkSharing);
    sharingCheck_->start(kSharingCheckMs);
  }
  connect(tabs, &QTabWidget::currentChanged, this, &Tables::onTabChanged);
  showLogClock(db_.companion().stampsInUtc().value_or(false));
  connect(window->panel(), &Panel::utcStampsToggled, this, &Tables::onUtcToggled);
}

void Tables::setLogInUtc(bool utc) {
  db_.companion().setStampsInUtc(utc);
  showLogClock(utc);
}

void Tables::onUtcToggled(bool utc) {
  if (utc == stampsInUtc()) return;
  MessageRequest ask;
  ask.heading = QStringLiteral("UTC");
  ask.icon = 2;
  ask.yesNo = QStringLiteral("Y");
  ask.message = utc ? QStringLiteral("Stamp the entries made in this log from now on in UTC?")
                    : QStringLiteral("Stamp the entries made in this log from now on in local time?");
  ask.message += QStringLiteral("\nEntries made before keep their stamps.");
  if (dialogs_->showMessage(ask) == 1) {
    setLogInUtc(utc);
  } else {
    showLogClock(!utc);
  }
}

void Tables::showLogClock(bool utc) {
  setStampsInUtc(utc);
  const QSignalBlocker quiet(window_->panel());
  window_->panel()->setUtcStamps(utc);
  window_->setLogTitle(utc ? tr("log in UTC") : tr("log in local time"));
}

Tables::~Tables() = default;

void Tables::checkSharing() { window_->setLogShared(db_.kdb().others(db_.fileId(TableId::Log)) == 1); }

bool Tables::openOrAsk(Dialogs *dialogs, const QString &corvexTool) {
  for (;;) {
    if (db_.openTables()) return true;
    const QString folder = QDir::toNativeSeparators(QDir::currentPath());
    const QStringList missing = missingTables(QDir::currentPath());
    if (missing.isEmpty()) {
      dialogs->message(QStringLiteral("%1\nin %2").arg(QLatin1String(kOpenError), folder));
      return false;
    }
    const QString text = QStringLiteral("%1\n%2 lacks %3.").arg(QLatin1String(kOpenError), folder, missing.join(", "));
    const Dialogs::MissingTables answer = dialogs->missingTables(text);
    if (answer == Dialogs::MissingTables::GoOn) return false;
    if (answer == Dialogs::MissingTables::CreateHere) {
      QString error;
      if (!makeMissingTables(QDir::currentPath(), corvexTool, &error)) {
        dialogs->message(error);
        return false;
      }
    } else {
      const QString other = dialogs->folderName();
      if (!other.isEmpty()) QDir::setCurrent(other);
    }
    // Files opened before the one that failed are closed with the client.
    db_.restartClient();
  }
}

void Tables::onTabChanged(int index) {
  if (index == MainWindow::kLogsTab) log_->table().display();
  if (index == MainWindow::kScansTab) scans_->table().display();
  if (index == MainWindow::kStandardsTab) standards_->table().display();
}

}  // namespace tables
