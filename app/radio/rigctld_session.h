// rigctld::Session: what each command does on this transceiver, for one
// client. Pure: it reads the radio's state as given, and tells the server
// what to answer or what to send to the radio; the server does the waiting.
//
// Reads answer from the state at once: a radio that cannot be reached gives
// the time-out or I/O code, a state not known yet asks the server to read it
// first. "t" answers whether the transmitter is keyed; "T" asks the server to
// key or unkey it for this client. Sets
// check their arguments (a frequency must lie in the program's range) and
// give the frame to send, or the refusal with nothing sent. The session
// remembers whether the client asked \chk_vfo, which makes \dump_state answer
// in protocol version 1.
#ifndef TESSALY_APP_RADIO_RIGCTLD_SESSION_H
#define TESSALY_APP_RADIO_RIGCTLD_SESSION_H

#include <QByteArray>
#include <QString>
#include <optional>

#include "app/radio/freqrange.h"
#include "app/radio/rigctld_protocol.h"

namespace radio::rigctld {

// The transceiver as clients see it.
struct RadioView {
  std::optional<long> hz;           // frequency, when known
  std::optional<QString> caption;   // mode as the panel shows it, when known
  int fault = kOk;                  // kTimeout or kIo while the radio cannot be reached
  qint64 ageMs = -1;                // how old the frequency and mode are; -1 unknown
  bool keyed = false;               // the transmitter is keyed
};

struct Step {
  enum class Kind {
    Answer,     // send `text`
    NeedState,  // read the radio's state, then serve the request again
    Send,       // send `frame` to the radio; executed() answers
    Key,        // key (`key`) or unkey the transmitter for this client
    Close       // send `text`, then close the connection
  };
  Kind kind = Kind::Answer;
  QByteArray text;
  QByteArray frame;
  int replyLength = 0;
  bool readsState = false;  // answered from the state: the server may refresh it
  bool key = false;
};

class Session {
public:
  explicit Session(const FrequencyRange &range) : range_(range) {}

  Step serve(const Request &request, const RadioView &radio);
  // The answer to a Send once the radio has carried it out, or has not.
  static QByteArray executed(const Request &request, bool ok);

  // The text of \get_rig_info for `radio` (known frequency and mode).
  static QByteArray rigInfo(long hz, const ProtocolMode &mode);

private:
  Step read(const Request &request, const RadioView &radio);
  Step setFrequency(const Request &request) const;
  static Step setMode(const Request &request, const RadioView &radio);
  static Step setPtt(const Request &request);

  FrequencyRange range_;
  bool vfoChecked_ = false;
};

}  // namespace radio::rigctld

#endif
