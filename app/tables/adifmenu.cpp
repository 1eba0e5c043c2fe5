#include "app/tables/adifmenu.h"

#include <QAction>
#include <QComboBox>

#include "app/tables/adiflog.h"
#include "app/tables/database.h"
#include "app/tables/dialogs.h"
#include "app/tables/entrytable.h"

namespace tables {

AdifMenu::AdifMenu(QWidget *grid, EntryTable *log, const Database *db, Dialogs *dialogs)
    : QObject(grid), log_(log), db_(db), dialogs_(dialogs) {
  export_ = new QAction(QStringLiteral("Export ADIF..."), grid);
  import_ = new QAction(QStringLiteral("Import ADIF..."), grid);
  grid->addAction(export_);
  grid->addAction(import_);
  grid->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(export_, &QAction::triggered, this, &AdifMenu::exportShown);
  connect(import_, &QAction::triggered, this, &AdifMenu::importFile);
}

void AdifMenu::exportShown() {
  const QString file = dialogs_->saveFileName(QLatin1String(kFilter), QStringLiteral("adi"));
  if (file.isEmpty()) return;
  const QString filter = log_->controls().filter->currentText();
  dialogs_->message(exportLogAdif(db_->logFiles(), filter, file).message(file));
}

void AdifMenu::importFile() {
  const QString file = dialogs_->openFileName(QLatin1String(kFilter), QStringLiteral("adi"));
  if (file.isEmpty()) return;
  const AdifImport done = importLogAdif(db_->logFiles(), file);
  log_->display();
  dialogs_->message(done.message(file));
}

}  // namespace tables
