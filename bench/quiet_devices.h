// Devices for benchmarks that measure the program, not the hardware: a serial
// link that takes every byte and never answers, and a mixer that does nothing.
#ifndef TESSALY_BENCH_QUIET_DEVICES_H
#define TESSALY_BENCH_QUIET_DEVICES_H

#include "app/radio/mixer.h"
#include "app/radio/seriallink.h"

class NoLink : public radio::SerialLink {
public:
  bool open(QString *) override { return true; }
  void close() override {}
  bool isOpen() const override { return true; }
  void setDtr(bool) override {}
  void setRts(bool) override {}
  void setReceiveThreshold(int) override {}
  void setSendThreshold(int) override {}
  bool output(const QByteArray &) override { return true; }
  QByteArray input() override { return {}; }
};

class NoMixer : public radio::Mixer {
public:
  bool lookUpMute() override { return true; }
  bool setMute(bool) override { return true; }
  bool lookUpVolume() override { return true; }
  bool setStereoVolume(uint32_t, uint32_t) override { return true; }
  QString state() override { return "no mixer (benchmark)"; }
};

#endif
