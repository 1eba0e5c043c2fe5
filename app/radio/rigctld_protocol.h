// The rigctld network protocol, as far as digital-mode and logging programs use
// it: parsing a request line and writing the answers. Pure functions; the
// server (rigctld_server.h) does the I/O and the radio work.
//
// A request is one line: a one-letter command ("f", "F 14074000") or a long
// name after a backslash ("\get_freq"). A leading '+' asks for the extended
// response form: a header line "name: args", one "Key: value" line per value,
// and "RPRT n" last. In the plain form a get command answers its values, one
// a line, and a set command "RPRT n"; any failure answers "RPRT n" alone, n the
// protocol's negative error code.
#ifndef TESSALY_APP_RADIO_RIGCTLD_PROTOCOL_H
#define TESSALY_APP_RADIO_RIGCTLD_PROTOCOL_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace radio::rigctld {

// Error codes of the protocol (answered negated: "RPRT -1").
enum Error {
  kOk = 0,
  kInvalid = 1,       // invalid parameter, or a line that cannot be parsed
  kTimeout = 5,       // the transceiver did not answer
  kIo = 6,            // the serial port is not usable
  kRejected = 9,      // refused: another client holds the transmitter keyed
  kNotAvailable = 11  // the transceiver has no such function
};

enum class Command {
  GetFreq, SetFreq, GetMode, SetMode, GetVfo, SetVfo, GetPtt, SetPtt,
  GetSplitVfo, SetSplitVfo, GetLockMode, GetPowerStat, CheckVfo, DumpState, Quit,
  Unsupported,  // a well-formed command this transceiver cannot serve
  Invalid       // not a command at all
};

struct Request {
  Command command = Command::Invalid;
  QString name;          // long name, for the extended header ("get_freq")
  QList<QByteArray> args;
  bool extended = false;
};

// Parses one line (without its line end). Empty lines give nullopt.
std::optional<Request> parseLine(const QByteArray &line);

// The transceiver's side of a mode: the caption the panel shows ("CW-N") and
// the frame's mode code.
struct TransceiverMode {
  QString caption;
  int code;
};

// The protocol's mode name and passband (Hz) for a panel caption, or nullopt
// for a caption the protocol has no name for.
struct ProtocolMode {
  QByteArray name;
  int passband;
};
std::optional<ProtocolMode> protocolMode(const QString &caption);

// The transceiver mode for a protocol mode name and passband (0: default,
// -1: keep the width of `currentCaption` when it is of the same kind).
// Nullopt for a mode the transceiver does not have.
std::optional<TransceiverMode> transceiverMode(const QByteArray &name, long passband, const QString &currentCaption);

// A frequency argument in Hz ("14074000", "14074000.000000") as units of
// 10 Hz, rounded; nullopt when it is not a number or outside the range the
// transceiver tunes (kMinHz .. kMaxHz).
constexpr long kMinHz = 0, kMaxHz = 99999990;
std::optional<long> parseHz(const QByteArray &arg);

// True for the VFO names that stand for the transceiver's one VFO.
bool isOwnVfo(const QByteArray &arg);

// Answers. `values` pairs a key (extended form) with its value text.
struct Value {
  QByteArray key, text;
};
QByteArray answer(const Request &request, const QList<Value> &values);  // success with values
QByteArray report(const Request &request, int error);                   // "RPRT 0" or a failure

// The \dump_state block: protocol version 0, the frequency range, modes,
// tuning step and filters of this transceiver; no functions or levels.
QByteArray dumpState();

}  // namespace radio::rigctld

#endif
