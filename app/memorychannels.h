// MemoryChannels: the "Memory Chanels" frame with the twelve memory rows that
// show the memory channels of the radio state, which a full status fills
// (MFrq_0 .. MFrq_11, MMode_*, MHGA_*, and the free-text column Text2_*,
// which the program never writes).
#ifndef TESSALY_APP_MEMORYCHANNELS_H
#define TESSALY_APP_MEMORYCHANNELS_H

#include <QGroupBox>
#include <array>

#include "app/radio/radiostate.h"

class QLineEdit;

class MemoryChannels : public QGroupBox {
  Q_OBJECT
public:
  // `state` must outlive the frame.
  explicit MemoryChannels(const radio::RadioState *state, QWidget *parent = nullptr);

private:
  void showState();

  const radio::RadioState *state_;
  std::array<QLineEdit *, radio::kMemoryChannels> frequencies_{}, modes_{}, coverages_{}, notes_{};
};

#endif
