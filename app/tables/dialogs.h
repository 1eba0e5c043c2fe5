// Dialogs: the modal windows the tables open, behind one small interface so
// that tests can record them instead of waiting on a modal loop.
#ifndef TESSALY_APP_TABLES_DIALOGS_H
#define TESSALY_APP_TABLES_DIALOGS_H

#include <QString>

class QWidget;

namespace tables {

// What the program's own message window shows (see MsgBox).
struct MessageRequest {
  QString message;
  int icon = 1;
  QString heading;
  QString yesNo;    // "Y" (any case) or "1": Yes and No buttons; else OK
  int seconds = 0;  // OK only: closes by itself after this many seconds
};

class Dialogs {
public:
  virtual ~Dialogs() = default;
  // The standard message box with an OK button.
  virtual void message(const QString &text) = 0;
  // The program's own message window; returns its answer: 1 after Yes, 0
  // after No, OK or the time limit.
  virtual int showMessage(const MessageRequest &request) = 0;
  // An open-file dialog for existing files matching `filter` (Qt's form,
  // such as "Comma Delimitated (*.csv)"); "" when the user cancels.
  virtual QString openFileName(const QString &filter, const QString &defaultSuffix) = 0;
  // A save-file dialog (asks before replacing a file); "" when the user cancels.
  virtual QString saveFileName(const QString &filter, const QString &defaultSuffix) = 0;

  // The answers to a folder that lacks the tables.
  enum class MissingTables { CreateHere, OpenAnother, GoOn };
  // Says `text` (the folder and what it lacks) and offers "Create empty
  // tables here", "Open another folder" or going on without the tables.
  // Unless overridden: shows `text` as message() does and goes on.
  virtual MissingTables missingTables(const QString &text) {
    message(text);
    return MissingTables::GoOn;
  }
  // A folder picker; "" when the user cancels.
  virtual QString folderName() { return {}; }
};

// The real windows, centred on `parent`. With kShowOnly (a run that no one
// answers, such as --screenshot) messages are shown without waiting, the
// question of the message window gets No and the file dialog is not shown.
class WidgetDialogs : public Dialogs {
public:
  enum Answering { kWait, kShowOnly };
  explicit WidgetDialogs(QWidget *parent, Answering answering = kWait) : parent_(parent), answering_(answering) {}
  void message(const QString &text) override;
  int showMessage(const MessageRequest &request) override;
  QString openFileName(const QString &filter, const QString &defaultSuffix) override;
  QString saveFileName(const QString &filter, const QString &defaultSuffix) override;
  MissingTables missingTables(const QString &text) override;
  QString folderName() override;

private:
  QWidget *parent_;
  Answering answering_;
};

}  // namespace tables

#endif
