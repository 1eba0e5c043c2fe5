#include "app/memorychannels.h"

#include <QLabel>
#include <QLineEdit>

MemoryChannels::MemoryChannels(const radio::RadioState *state, QWidget *parent)
    : QGroupBox(QStringLiteral("Memory Chanels"), parent), state_(state) {
  setObjectName("MemoryChanels");
  static const struct {
    const char *name, *heading;
    int x, w;
  } kColumns[4] = {{"MFrq", "Frequency", 40, 80}, {"MMode", "Mode", 124, 50}, {"MHGA", "Coverage", 178, 60},
                   {"Text2", "Notes", 242, 300}};
  std::array<QLineEdit *, radio::kMemoryChannels> *arrays[4] = {&frequencies_, &modes_, &coverages_, &notes_};
  for (int c = 0; c < 4; ++c) {
    auto *heading = new QLabel(QLatin1String(kColumns[c].heading), this);
    heading->setGeometry(kColumns[c].x, 16, kColumns[c].w, 16);
    for (int r = 0; r < radio::kMemoryChannels; ++r) {
      auto *box = new QLineEdit(this);
      box->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(kColumns[c].name)).arg(r));
      box->setGeometry(kColumns[c].x, 34 + 22 * r, kColumns[c].w, 20);
      box->setReadOnly(c < 3);
      (*arrays[c])[r] = box;
    }
  }
  for (int r = 0; r < radio::kMemoryChannels; ++r) {
    auto *number = new QLabel(QString::number(r + 1), this);
    number->setGeometry(8, 34 + 22 * r, 28, 20);
  }
  connect(state_, &radio::RadioState::changed, this, &MemoryChannels::showState);
}

void MemoryChannels::showState() {
  for (int r = 0; r < radio::kMemoryChannels; ++r) {
    const radio::RadioState::MemoryChannel &channel = state_->memory()[r];
    frequencies_[r]->setText(channel.frequency);
    modes_[r]->setText(channel.mode);
    coverages_[r]->setText(channel.coverage);
  }
}
