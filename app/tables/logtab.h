// LogTab: the "Logs" tab, the station log of "Log.Dat". Grid1 lists the
// entries; a click on a frequency tunes there, a click on "Scn" toggles the
// mark "X" that the selected-entries scan visits, a double-click on any
// cell of a row opens its entry in LogFrm. "Add 2 Log" starts an entry from
// the frequency and mode the transceiver last reported; without one the
// frame asks for a frequency to be typed. Save refuses a frequency that is
// not one in the radio's range, and Delete asks first.
#ifndef TESSALY_APP_TABLES_LOGTAB_H
#define TESSALY_APP_TABLES_LOGTAB_H

#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <memory>

#include "app/tables/entrytable.h"
#include "app/tables/logwords.h"

namespace radio {
class RadioState;
struct FrequencyRange;
}
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tables {

class AdifMenu;
class LogUdp;

class LogTab : public QObject {
  Q_OBJECT
public:
  // Grid columns.
  static constexpr int kFrequencyColumn = 1, kMarkColumn = 6, kKeyColumn = 7, kCallColumn = 8;
  static const Column kColumns[9];

  // Builds the tab's controls on `page`; the other pointers must outlive it.
  // The word index of the notes is bound through `library`.
  LogTab(QWidget *page, Database *db, LumbraLibrary *library, Dialogs *dialogs, MainWindow *window);

  EntryTable &table() { return *table_; }
  AdifMenu &adif() { return *adif_; }

  Grid *Grid1;
  QComboBox *OnlyShow, *Combo1;
  QPushButton *Log1, *ButtonPlus2;
  QGroupBox *LogFrm;
  QLineEdit *Col0, *FrqSave, *LogMode, *Col4, *LogNotes, *UniKey;
  // Kept in the log's companion table, not in Log.Dat.
  QLineEdit *CallBox, *RstSent, *RstRcvd;
  QCheckBox *HFNet;
  QPushButton *SaveLog, *ButtonPlus11, *DelLog, *ButtonPlus8;
  QLineEdit *FindWords;
  // What the frame has to say (a frequency to type, a refused one) and how
  // many of the notes' characters are used.
  QLabel *FrameNote, *NotesCount;
  QCheckBox *UdpLog;  // listening for contacts of the weak-signal programs

  // Opens the word index of the notes (made afresh when it is missing or
  // older than the log). Without it the "find words" box says why in its
  // tooltip, and Enter in it offers to build the index.
  void openWords();
  // Lists the entries whose notes hold every word of the "find words" box,
  // and those whose call sign is one of its words; an empty box lists the
  // log as the filter does. Without the index it asks whether to build it
  // (its description made by `corvexTool`).
  void findWords();
  void setCorvexTool(const QString &corvexTool) { corvexTool_ = corvexTool; }
  LogWords &words() { return words_; }

  // Listens for the weak-signal programs' logged contacts on `address` and
  // `port` (a multicast group when the address is one) and ticks the UDP
  // box; the box later listens there again. False, with the reason in
  // `*error`, when the port cannot be had.
  bool listenUdp(const QHostAddress &address, quint16 port, QString *error);
  LogUdp &udp() { return *udp_; }

  // "Add 2 Log": a new entry from the frequency and mode the transceiver
  // last reported.
  void newEntry();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void onClick(int row, int column);
  // Save: the frequency box must hold a frequency of the radio's range
  // (rewritten in the picture "00000.00"); false with the frame saying why.
  bool frequencyToSave();
  // Saves the frame's entry, then what the companion keeps of it.
  void save();
  // Opens the entry of grid row `row` with what its companion keeps.
  void open(int row);
  // Deletes the frame's entry and its companion record, once the operator
  // has said yes; the grid keeps its filter.
  void remove();
  // The call sign, and the band of entries without a frequency, in `rows`.
  void completeRows(Rows &rows);
  // Asks whether to build the missing word index and builds it; true when
  // it is open then.
  bool offerToBuildWords();
  // Lists the log again as it was shown: the words searched for, else the filter.
  void redisplay();

  const radio::RadioState *state_;
  const radio::FrequencyRange *range_;
  Database *db_;
  Dialogs *dialogs_;
  QString corvexTool_;
  QDateTime entryUtc_;  // when the entry in the frame was started
  std::unique_ptr<EntryTable> table_;
  LogWords words_;
  AdifMenu *adif_;  // the grid menu's ADIF export and import
  LogUdp *udp_;
  QHostAddress udpAddress_{QHostAddress::LocalHost};
  quint16 udpPort_;
};

}  // namespace tables

#endif
