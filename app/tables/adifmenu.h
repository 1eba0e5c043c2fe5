// AdifMenu: the log grid's context menu (right click) with "Export ADIF..."
// for the entries the log's filter shows and "Import ADIF...". Each ends
// with a message that counts what was done. A menu takes no room in the
// tab's full row of controls.
#ifndef TESSALY_APP_TABLES_ADIFMENU_H
#define TESSALY_APP_TABLES_ADIFMENU_H

#include <QObject>

class QAction;
class QWidget;

namespace tables {

class Database;
class Dialogs;
class EntryTable;

class AdifMenu : public QObject {
  Q_OBJECT
public:
  static constexpr char kFilter[] = "ADIF (*.adi)";

  // Gives `grid` the menu; the pointers must outlive the object. `log`
  // lists the entries of `db`'s log.
  AdifMenu(QWidget *grid, EntryTable *log, const Database *db, Dialogs *dialogs);

  QAction *exportAction() const { return export_; }
  QAction *importAction() const { return import_; }

  // Asks for a file and writes the shown entries to it.
  void exportShown();
  // Asks for a file, imports it and lists the log again.
  void importFile();

private:
  EntryTable *log_;
  const Database *db_;
  Dialogs *dialogs_;
  QAction *export_, *import_;
};

}  // namespace tables

#endif
