// RadioState: what is known of the transceiver, in one place. It is written
// from the decoded replies of the link (frequency, mode, coverage, memory
// channels) and from the link's faults; the controller that owns the port
// says when it closes, and the link watch when it opens again; everyone
// else reads it: the panel's
// display, the log's "Add", the range scan and the rigctld access layer.
// Each value keeps its age (the time since a reply last set it), so that a
// reader can tell a fresh value from an old one.
#ifndef TESSALY_APP_RADIO_RADIOSTATE_H
#define TESSALY_APP_RADIO_RADIOSTATE_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

#include "app/radio/decode.h"

namespace radio {

class RadioLink;

class RadioState : public QObject {
  Q_OBJECT
public:
  // What is known of the link to the transceiver.
  enum class Link { PortClosed, NotConnected, Connected, NoAnswer };
  static QString linkText(Link link);

  // One memory channel as the transceiver last reported it; "" until then.
  struct MemoryChannel {
    QString frequency, mode, coverage;
  };

  // Follows the replies and faults of `link`, which must outlive the state.
  explicit RadioState(RadioLink *link, QObject *parent = nullptr);

  // Takes in what a reply says; undecoded replies change nothing. A value
  // the reply does not carry (an unknown mode code, say) stays as it was.
  void apply(const Reply &reply);
  // The port was closed, or could not be opened. Failures that follow do not
  // change that: only setPortOpen() (or a reply) does.
  void setPortClosed();
  // The port is open again; nothing is known of the transceiver yet.
  void setPortOpen();

  // The seven frequency digits as last reported, 10 MHz first: hex
  // characters of the nibbles, so a faulty transceiver can show letters.
  // Empty characters before the first report.
  const std::array<QChar, 7> &digits() const { return digits_; }
  // The digits in the picture "00000.00" (kHz); "" before the first report.
  QString frequencyText() const;
  // The last frequency reported in decimal digits, in units of 10 Hz, and
  // the milliseconds since it was reported; nullopt before the first.
  std::optional<long> frequency() const { return frequency_; }
  std::optional<qint64> frequencyAgeMs() const { return ageOf(frequencyAge_); }
  // The last mode and coverage captions reported ("USB", "HAM").
  std::optional<QString> mode() const { return mode_; }
  std::optional<qint64> modeAgeMs() const { return ageOf(modeAge_); }
  std::optional<QString> coverage() const { return coverage_; }
  const std::array<MemoryChannel, kMemoryChannels> &memory() const { return memory_; }

  Link link() const { return link_; }
  // The port is open and the transceiver is not known to be silent: what is
  // sent now can be answered.
  bool reachable() const { return link_ == Link::NotConnected || link_ == Link::Connected; }
  // Milliseconds since the last decoded reply; nullopt before the first.
  std::optional<qint64> replyAgeMs() const { return ageOf(replyAge_); }

signals:
  // A decoded reply was taken in, or the link state was set.
  void changed();
  // A full status was taken in: the radio's own frequency, which the
  // operator's entry follows.
  void fullStatusRead();
  // The link state became another one.
  void linkChanged(radio::RadioState::Link link);

private:
  static std::optional<qint64> ageOf(const QElapsedTimer &timer);
  void setLink(Link link);

  std::array<QChar, 7> digits_{};
  bool digitsKnown_ = false;
  std::optional<long> frequency_;
  std::optional<QString> mode_, coverage_;
  std::array<MemoryChannel, kMemoryChannels> memory_;
  Link link_ = Link::NotConnected;
  QElapsedTimer frequencyAge_, modeAge_, replyAge_;
};

}  // namespace radio

#endif
