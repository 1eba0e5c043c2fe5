#include "app/radio/rigctld_protocol.h"

#include <array>
#include <cmath>

namespace radio::rigctld {

namespace {

struct CommandName {
  char letter;  // 0: long name only
  const char *name;
  Command command;
};

constexpr std::array<CommandName, 16> kCommands{{
    {'f', "get_freq", Command::GetFreq},
    {'F', "set_freq", Command::SetFreq},
    {'m', "get_mode", Command::GetMode},
    {'M', "set_mode", Command::SetMode},
    {'v', "get_vfo", Command::GetVfo},
    {'V', "set_vfo", Command::SetVfo},
    {'t', "get_ptt", Command::GetPtt},
    {'T', "set_ptt", Command::SetPtt},
    {'s', "get_split_vfo", Command::GetSplitVfo},
    {'S', "set_split_vfo", Command::SetSplitVfo},
    {0, "get_lock_mode", Command::GetLockMode},
    {0, "get_powerstat", Command::GetPowerStat},
    {0, "chk_vfo", Command::CheckVfo},
    {0, "dump_state", Command::DumpState},
    {'q', "quit", Command::Quit},
    {'Q', "quit", Command::Quit},
}};

bool isNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// Mode bits of the protocol.
constexpr unsigned kAm = 0x1, kCw = 0x2, kUsb = 0x4, kLsb = 0x8, kRtty = 0x10, kFm = 0x20, kCwr = 0x80,
                   kPktLsb = 0x400, kPktUsb = 0x800;
constexpr unsigned kAllModes = kAm | kCw | kUsb | kLsb | kRtty | kFm | kCwr | kPktLsb | kPktUsb;

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

std::optional<Request> parseLine(const QByteArray &raw) {
  QByteArray line = raw.trimmed();
  if (line.isEmpty()) return std::nullopt;
  Request request;
  if (line.startsWith('+')) {
    request.extended = true;
    line = line.mid(1).trimmed();
  }
  QByteArray word;
  int rest = 0;
  if (line.startsWith('\\')) {
    rest = 1;
    while (rest < line.size() && isNameChar(line[rest])) ++rest;
    word = line.mid(1, rest - 1);
    if (word.isEmpty()) return request;  // Invalid
  } else if (!line.isEmpty() && ((line[0] >= 'a' && line[0] <= 'z') || (line[0] >= 'A' && line[0] <= 'Z'))) {
    rest = 1;
  } else {
    return request;  // Invalid
  }
  if (rest < line.size() && line[rest] != ' ' && line[rest] != '\t') return request;  // "fxyz": Invalid
  request.args = line.mid(rest).simplified().split(' ');
  if (request.args.size() == 1 && request.args[0].isEmpty()) request.args.clear();
  request.command = Command::Unsupported;
  request.name = word.isEmpty() ? QString(QChar(line[0])) : QString::fromLatin1(word);
  for (const CommandName &c : kCommands) {
    if (word.isEmpty() ? c.letter == line[0] : word == c.name) {
      request.command = c.command;
      request.name = QLatin1String(c.name);
      break;
    }
  }
  return request;
}

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
  if (!ok || !std::isfinite(hz) || hz < kMinHz || hz > kMaxHz + 4.999) return std::nullopt;
  return std::lround(hz / 10.0);
}

bool isOwnVfo(const QByteArray &arg) { return arg == "VFOA" || arg == "currVFO" || arg == "Main" || arg == "VFO"; }

namespace {

QByteArray header(const Request &request) {
  QByteArray text = request.name.toLatin1() + ':';
  for (const QByteArray &arg : request.args) text += ' ' + arg;
  return text + '\n';
}

QByteArray rprt(int error) { return "RPRT " + QByteArray::number(error == 0 ? 0 : -error) + '\n'; }

}  // namespace

QByteArray answer(const Request &request, const QList<Value> &values) {
  QByteArray text = request.extended ? header(request) : QByteArray();
  for (const Value &v : values) text += (request.extended ? v.key + ": " : QByteArray()) + v.text + '\n';
  if (request.extended || values.isEmpty()) text += rprt(kOk);
  return text;
}

QByteArray report(const Request &request, int error) {
  return (request.extended ? header(request) : QByteArray()) + rprt(error);
}

QByteArray dumpState() {
  const QByteArray modes = "0x" + QByteArray::number(kAllModes, 16);
  const QByteArray range = QByteArray::number(kMinHz) + ".000000 " + QByteArray::number(kMaxHz) + ".000000 " +
                           modes + " -1 -1 0x1 0x1\n";
  const QByteArray end = "0 0 0 0 0 0 0\n";
  QByteArray text = "0\n2\n2\n";  // protocol version, model (network), region
  text += range + end;            // receive ranges
  text += range + end;            // transmit ranges
  text += modes + " 10\n0 0\n";   // tuning steps: 10 Hz in every mode
  // Filters: the passbands that get_mode reports.
  text += "0x" + QByteArray::number(kUsb | kLsb | kPktUsb | kPktLsb | kRtty, 16) + " 2400\n";
  text += "0x" + QByteArray::number(kCw | kCwr, 16) + " 2400\n";
  text += "0x" + QByteArray::number(kCw | kCwr, 16) + " 500\n";
  text += "0x" + QByteArray::number(kAm, 16) + " 6000\n";
  text += "0x" + QByteArray::number(kAm, 16) + " 2400\n";
  text += "0x" + QByteArray::number(kFm, 16) + " 12000\n";
  text += "0 0\n";
  text += "0\n0\n0\n0\n";  // max RIT, XIT, IF shift; announces
  text += "\n\n";          // preamplifiers, attenuators: none
  text += "0x0\n0x0\n0x0\n0x0\n0x0\n0x0\n";  // functions, levels, parameters: none
  return text;
}

}  // namespace radio::rigctld
