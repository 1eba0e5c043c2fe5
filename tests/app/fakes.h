// Fakes of the serial line and the mixer for the tests.
#ifndef TESSALY_TESTS_APP_FAKES_H
#define TESSALY_TESTS_APP_FAKES_H

#include <QString>
#include <ostream>
#include <vector>

#include "app/radio/mixer.h"
#include "app/radio/seriallink.h"

// A serial line whose written bytes are kept and whose input the test feeds.
class FakeLink : public radio::SerialLink {
public:
  bool open(QString *error) override {
    ++opens;
    if (!openable) *error = QStringLiteral("No such file or directory");
    return opened = openable;
  }
  void close() override { opened = false; }
  bool isOpen() const override { return opened; }
  void setDtr(bool on) override { dtr = on; }
  void setRts(bool on) override {
    if (opened) rts = on;
    rtsCalls.push_back(on);
  }
  void setReceiveThreshold(int bytes) override { threshold = bytes; }
  void setSendThreshold(int) override {}
  bool output(const QByteArray &bytes) override {
    if (!opened) return false;
    written.push_back(bytes);
    return true;
  }
  QByteArray input() override {
    QByteArray all = waiting;
    waiting.clear();
    return all;
  }
  // Adds bytes to the input and raises the receive event at the threshold.
  void feed(const QByteArray &bytes) {
    waiting += bytes;
    if (threshold > 0 && waiting.size() >= threshold) emit commEvent(kReceived);
  }

  // The device goes away: the line closes and says so.
  void lose() {
    opened = false;
    emit lost(QStringLiteral("Resource temporarily unavailable"));
  }

  bool opened = false;
  bool openable = true;  // whether open() succeeds
  int opens = 0;
  bool dtr = false;
  bool rts = false;  // the line's state: changes only while open
  std::vector<bool> rtsCalls;
  int threshold = 0;
  QByteArray waiting;
  std::vector<QByteArray> written;
};

// A mixer that records every call.
class FakeMixer : public radio::Mixer {
public:
  bool lookUpMute() override { return record("lookUpMute"); }
  bool setMute(bool muted) override { return record(muted ? "mute" : "unmute"); }
  bool lookUpVolume() override { return record("lookUpVolume"); }
  bool setStereoVolume(uint32_t left, uint32_t right) override {
    return record(QStringLiteral("volume %1 %2").arg(left).arg(right));
  }
  QString state() override { return QStringLiteral("fake: Master"); }
  bool record(const QString &call) {
    calls.push_back(call);
    return true;
  }
  std::vector<QString> calls;
};

// Readable failure messages for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

inline QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

#endif
