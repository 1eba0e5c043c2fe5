// MemoryChannels: the "Memory Chanels" frame with the twelve memory rows that
// the full status fills (MFrq_0 .. MFrq_11, MMode_*, MHGA_*, and the free-text
// column Text2_*, which the program never writes).
#ifndef TESSALY_APP_MEMORYCHANNELS_H
#define TESSALY_APP_MEMORYCHANNELS_H

#include <QGroupBox>
#include <array>
#include <vector>

#include "app/radio/decode.h"

class QLineEdit;

class MemoryChannels : public QGroupBox {
  Q_OBJECT
public:
  explicit MemoryChannels(QWidget *parent = nullptr);

  // Writes `rows` (at most twelve) into the rows from the top; a row field
  // without a value keeps its text.
  void showRows(const std::vector<radio::MemoryRow> &rows);

  std::array<QLineEdit *, radio::kMemoryChannels> MFrq{}, MMode{}, MHGA{}, Text2{};
};

#endif
