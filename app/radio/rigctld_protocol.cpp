#include "app/radio/rigctld_protocol.h"

#include <array>
#include <cmath>

#include "app/radio/freqrange.h"

namespace radio::rigctld {

namespace {

// A command that takes the rest of its line as its arguments (text to send).
constexpr signed char kRest = -1;

struct CommandName {
  char letter;  // 0: long name only
  const char *name;
  Command command;
  signed char args;  // words taken after the command, or kRest
  bool onVfo;        // a VFO name may come before the arguments
};

constexpr Command U = Command::Unsupported;

// Every command of the protocol, so that the words of those this transceiver
// cannot serve are taken as their arguments, not as further commands.
constexpr CommandName kCommands[] = {
    {'F', "set_freq", Command::SetFreq, 1, true},
    {'f', "get_freq", Command::GetFreq, 0, true},
    {'M', "set_mode", Command::SetMode, 2, true},
    {'m', "get_mode", Command::GetMode, 0, true},
    {'V', "set_vfo", Command::SetVfo, 1, false},
    {'v', "get_vfo", Command::GetVfo, 0, false},
    {'T', "set_ptt", Command::SetPtt, 1, true},
    {'t', "get_ptt", Command::GetPtt, 0, true},
    {'S', "set_split_vfo", Command::SetSplitVfo, 2, true},
    {'s', "get_split_vfo", Command::GetSplitVfo, 0, true},
    {'I', "set_split_freq", U, 1, true},
    {'i', "get_split_freq", Command::GetSplitFreq, 0, true},
    {'X', "set_split_mode", U, 2, true},
    {'x', "get_split_mode", Command::GetSplitMode, 0, true},
    {0, "get_vfo_info", Command::GetVfoInfo, 0, true},
    {0, "get_rig_info", Command::GetRigInfo, 0, false},
    {0, "get_lock_mode", Command::GetLockMode, 0, false},
    {0, "get_powerstat", Command::GetPowerStat, 0, false},
    {0, "chk_vfo", Command::CheckVfo, 0, false},
    {0, "dump_state", Command::DumpState, 0, false},
    {'1', "dump_caps", Command::DumpCaps, 0, false},
    {'q', "quit", Command::Quit, 0, false},
    {'Q', "quit", Command::Quit, 0, false},
    {'J', "set_rit", U, 1, true},
    {'j', "get_rit", U, 0, true},
    {'Z', "set_xit", U, 1, true},
    {'z', "get_xit", U, 0, true},
    {'Y', "set_ant", U, 2, true},
    {'y', "get_ant", U, 1, true},
    {'b', "send_morse", U, kRest, true},
    {'R', "set_rptr_shift", U, 1, true},
    {'r', "get_rptr_shift", U, 0, true},
    {'O', "set_rptr_offs", U, 1, true},
    {'o', "get_rptr_offs", U, 0, true},
    {'C', "set_ctcss_tone", U, 1, true},
    {'c', "get_ctcss_tone", U, 0, true},
    {'D', "set_dcs_code", U, 1, true},
    {'d', "get_dcs_code", U, 0, true},
    {'N', "set_ts", U, 1, true},
    {'n', "get_ts", U, 0, true},
    {'U', "set_func", U, 2, true},
    {'u', "get_func", U, 1, true},
    {'L', "set_level", U, 2, true},
    {'l', "get_level", U, 1, true},
    {'P', "set_parm", U, 2, false},
    {'p', "get_parm", U, 1, false},
    {'B', "set_bank", U, 1, true},
    {'E', "set_mem", U, 1, true},
    {'e', "get_mem", U, 0, true},
    {'G', "vfo_op", U, 1, true},
    {'g', "scan", U, 2, true},
    {'H', "set_channel", U, kRest, true},
    {'h', "get_channel", U, 1, true},
    {'A', "set_trn", U, 1, false},
    {'a', "get_trn", U, 0, false},
    {'*', "reset", U, 1, false},
    {'_', "get_info", U, 0, false},
    {'2', "power2mW", U, 3, false},
    {'4', "mW2power", U, 3, false},
    {0, "set_powerstat", U, 1, false},
    {0, "get_dcd", U, 0, true},
    {0, "send_dtmf", U, 1, true},
    {0, "recv_dtmf", U, 0, true},
    {0, "set_lock_mode", U, 1, false},
    {0, "set_vfo_opt", U, 1, false},
    {0, "set_clock", U, 1, false},
    {0, "get_clock", U, 0, false},
    {0, "set_ctcss_sql", U, 1, true},
    {0, "get_ctcss_sql", U, 0, true},
};

bool isNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The response-form prefixes and the record separator each asks for.
char separatorOf(char prefix) {
  switch (prefix) {
    case '+': return '\n';
    case ';':
    case '|':
    case ',': return prefix;
    default: return 0;
  }
}

const CommandName *findLetter(char letter) {
  for (const CommandName &c : kCommands)
    if (c.letter == letter) return &c;
  return nullptr;
}

const CommandName *findName(const QByteArray &name) {
  for (const CommandName &c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

// Reads a line word by word; a command may end inside a word ("fm").
class LineReader {
public:
  explicit LineReader(const QByteArray &line) : line_(line) {}

  bool atEnd() {
    skipSpace();
    return pos_ >= line_.size();
  }
  char peek() const { return pos_ < line_.size() ? line_[pos_] : 0; }
  char take() { return line_[pos_++]; }
  bool inWord() const { return pos_ < line_.size() && !isSpace(line_[pos_]); }
  QByteArray name() {
    const qsizetype start = pos_;
    while (pos_ < line_.size() && isNameChar(line_[pos_])) ++pos_;
    return line_.mid(start, pos_ - start);
  }
  // The rest of the current word, or the next word.
  QByteArray word() {
    skipSpace();
    const qsizetype start = pos_;
    while (pos_ < line_.size() && !isSpace(line_[pos_])) ++pos_;
    return line_.mid(start, pos_ - start);
  }
  QByteArray peekWord() {
    const qsizetype at = pos_;
    QByteArray w = word();
    pos_ = at;
    return w;
  }
  QList<QByteArray> rest() {
    QList<QByteArray> words;
    while (!atEnd()) words << word();
    return words;
  }

private:
  void skipSpace() {
    while (pos_ < line_.size() && isSpace(line_[pos_])) ++pos_;
  }

  const QByteArray &line_;
  qsizetype pos_ = 0;
};

// Widths at or below these are the narrow filters.
constexpr long kCwNarrowMax = 1000, kAmNarrowMax = 4000;

struct CaptionMode {
  const char *caption;
  const char *name;
  int passband;
};
constexpr std::array<CaptionMode, 8> kCaptions{{
    {"LSB", "LSB", 2400},
    {"USB", "USB", 2400},
    {"CW-W", "CW", 2400},
    {"CW-N", "CW", 500},
    {"AM-W", "AM", 6000},
    {"AM-N", "AM", 2400},
    {"FSK", "RTTY", 2400},
    {"FM", "FM", 12000},
}};

}  // namespace

QList<Request> parseLine(const QByteArray &line) {
  QList<Request> requests;
  LineReader in(line);
  while (!in.atEnd()) {
    Request request;
    request.separator = separatorOf(in.peek());
    if (request.separator) in.take();
    const CommandName *command = nullptr;
    if (in.peek() == '\\') {
      in.take();
      request.name = in.name();
      command = findName(request.name);
      if (request.name.isEmpty()) {
        request.separator = 0;
        requests << request;  // Invalid
        return requests;
      }
    } else if (in.inWord() && (command = findLetter(in.peek()))) {
      in.take();
      request.name = command->name;
    } else {
      request.separator = 0;
      requests << request;  // Invalid: the rest of the line is no command
      return requests;
    }
    if (!command) {
      request.command = Command::Unsupported;
      request.args = in.rest();
      requests << request;
      return requests;
    }
    request.command = command->command;
    if (command->args == kRest) {
      request.args = in.rest();
    } else {
      if (command->onVfo && isVfoName(in.peekWord())) request.vfo = in.word();
      for (int i = 0; i < command->args && !in.atEnd(); ++i) request.args << in.word();
    }
    requests << request;
  }
  return requests;
}

bool isVfoName(const QByteArray &word) {
  static const char *const kNames[] = {"VFOA", "VFOB", "VFOC", "currVFO", "VFO",  "MEM",   "Main",
                                       "Sub",  "SubA", "SubB", "MainA",   "MainB", "Main+", "Sub+"};
  for (const char *name : kNames)
    if (word == name) return true;
  return false;
}

bool isOwnVfo(const QByteArray &word) { return word == "VFOA" || word == "currVFO" || word == "Main" || word == "VFO"; }

std::optional<ProtocolMode> protocolMode(const QString &caption) {
  for (const CaptionMode &m : kCaptions)
    if (caption == QLatin1String(m.caption)) return ProtocolMode{m.name, m.passband};
  return std::nullopt;
}

std::optional<TransceiverMode> transceiverMode(const QByteArray &name, long passband, const QString &current) {
  // A narrow or wide pair is chosen by the passband; "keep" (-1) keeps the
  // current width of the same kind, and the default (0) is the wide one.
  auto pick = [&](const char *wide, int wideCode, const char *narrow, int narrowCode, long narrowMax) {
    bool narrowNow = current == QLatin1String(narrow);
    bool sameKind = narrowNow || current == QLatin1String(wide);
    bool useNarrow = passband < 0 ? (sameKind && narrowNow) : (passband > 0 && passband <= narrowMax);
    return useNarrow ? TransceiverMode{narrow, narrowCode} : TransceiverMode{wide, wideCode};
  };
  if (name == "LSB" || name == "PKTLSB") return TransceiverMode{"LSB", 0};
  if (name == "USB" || name == "PKTUSB") return TransceiverMode{"USB", 1};
  if (name == "CW" || name == "CWR") return pick("CW-W", 2, "CW-N", 3, kCwNarrowMax);
  if (name == "AM") return pick("AM-W", 4, "AM-N", 5, kAmNarrowMax);
  if (name == "RTTY") return TransceiverMode{"FSK", 6};
  if (name == "FM") return TransceiverMode{"FM", 7};
  return std::nullopt;
}

std::optional<long> parseHz(const QByteArray &arg) {
  bool ok = false;
  const double hz = arg.toDouble(&ok);
  if (!ok || !std::isfinite(hz) || hz < 0 || hz > FrequencyRange::kFrameMaxHz + 4.999) return std::nullopt;
  return std::lround(hz / 10.0) * 10;
}

namespace {

QByteArray header(const Request &request) {
  QByteArray text = request.name + ':';
  if (!request.vfo.isEmpty()) text += ' ' + request.vfo;
  for (const QByteArray &arg : request.args) text += ' ' + arg;
  return text + request.separator;
}

QByteArray rprt(int error) { return "RPRT " + QByteArray::number(error == 0 ? 0 : -error) + '\n'; }

}  // namespace

QByteArray answer(const Request &request, const QList<Value> &values) {
  if (!request.extended()) {
    QByteArray text;
    for (const Value &v : values) text += v.text + '\n';
    return values.isEmpty() ? rprt(kOk) : text;
  }
  QByteArray text = header(request);
  for (const Value &v : values) text += v.key + ": " + v.text + request.separator;
  return text + rprt(kOk);
}

QByteArray report(const Request &request, int error) {
  return (request.extended() ? header(request) : QByteArray()) + rprt(error);
}

QByteArray block(const Request &request, const QByteArray &text, bool endReport) {
  if (!request.extended()) return endReport ? text + rprt(kOk) : text;
  return header(request) + text + rprt(kOk);
}

}  // namespace radio::rigctld
