// The rigctld network protocol: reading a request line into commands and
// writing their answers. Pure functions; what each command does on this radio
// is in rigctld_session.h, the I/O in rigctld_server.h.
//
// A line holds one or more commands, each answered in turn: one-letter
// commands may follow each other without a space ("fm"), long names start
// with a backslash ("\get_freq \get_mode"), and each command takes the
// arguments it needs from the whitespace-separated words after it ("F
// 14074000 f"). A command that acts on a VFO may name it first ("F VFOA
// 7074000"). A punctuation prefix asks for the extended response form of the
// one command it stands before: '+' answers one record a line, ';', '|' or ','
// puts that character after each record and the whole answer on one line.
// Extended answers start with the record "name: args" and give each value as
// "Key: value"; "RPRT n" ends them. Plain answers give the values one a line,
// and "RPRT n" alone for a set or a failure, n the negated error code.
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
  GetSplitVfo, SetSplitVfo, GetSplitFreq, GetSplitMode, GetVfoInfo, GetRigInfo,
  GetLockMode, GetPowerStat, CheckVfo, DumpState, DumpCaps, Quit,
  Unsupported,  // a command of the protocol this transceiver cannot serve
  Invalid       // not a command at all: the rest of its line is dropped
};

struct Request {
  Command command = Command::Invalid;
  QByteArray name;         // long name, for the extended header ("get_freq")
  QByteArray vfo;          // the VFO named before the arguments, or empty
  QList<QByteArray> args;  // at most as many as the command takes
  char separator = 0;      // 0: plain answer; '\n', ';', '|' or ',': extended
  bool extended() const { return separator != 0; }
};

// Splits one line (without its line end) into its commands, in order. A word
// that is no command gives an Invalid request and ends the line; an unknown
// name gives an Unsupported one that takes the rest of the line as arguments.
// Empty lines give no request.
QList<Request> parseLine(const QByteArray &line);

// True for the protocol's VFO names ("VFOA", "currVFO", "Sub", ...), and for
// those among them that stand for this transceiver's one VFO.
bool isVfoName(const QByteArray &word);
bool isOwnVfo(const QByteArray &word);

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

// A frequency argument ("14074000", "14074000.000000") in Hz, rounded to the
// transceiver's 10 Hz; nullopt when it is not a finite number >= 0 that the
// frequency frame can carry.
std::optional<long> parseHz(const QByteArray &arg);

// Answers. `values` pairs a key (extended form) with its value text.
struct Value {
  QByteArray key, text;
};
QByteArray answer(const Request &request, const QList<Value> &values);  // success with values
QByteArray report(const Request &request, int error);                   // "RPRT 0" or a failure
// A multi-line text (\dump_state, \dump_caps, \get_rig_info) as the command's
// answer: after the header in the extended form, "RPRT 0" last when
// `endReport` or in the extended form.
QByteArray block(const Request &request, const QByteArray &text, bool endReport);

}  // namespace radio::rigctld

#endif
