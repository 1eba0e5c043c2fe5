#include "app/radio/rigctld_session.h"

#include "app/radio/frames.h"
#include "app/radio/rigctld_caps.h"

namespace radio::rigctld {

namespace {

Step answerNow(QByteArray text) { return Step{Step::Kind::Answer, std::move(text), {}, 0, false}; }
Step send(QByteArray frame, int replyLength) { return Step{Step::Kind::Send, {}, std::move(frame), replyLength, false}; }

// CRC-32 (the zip polynomial) that closes the rig info text.
quint32 crc32(const QByteArray &data) {
  quint32 crc = 0xffffffffu;
  for (char byte : data) {
    crc ^= static_cast<quint8>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

QByteArray number(long value) { return QByteArray::number(static_cast<qlonglong>(value)); }

bool isReadOfState(Command command) {
  switch (command) {
    case Command::GetFreq:
    case Command::GetMode:
    case Command::GetSplitFreq:
    case Command::GetSplitMode:
    case Command::GetVfoInfo:
    case Command::GetRigInfo:
      return true;
    default:
      return false;
  }
}

}  // namespace

QByteArray Session::rigInfo(long hz, const ProtocolMode &mode) {
  QByteArray text = "VFO=Main Freq=" + number(hz) + " Mode=" + mode.name + " Width=" + number(mode.passband) +
                    " RX=1 TX=1\nSplit=0 SatMode=0\nRig=CAT transceiver\nApp=Tessaly\nVersion=" TESSALY_VERSION "\n";
  return text + "CRC=0x" + QByteArray::number(crc32(text), 16).rightJustified(8, '0') + "\n";
}

Step Session::serve(const Request &request, const RadioView &radio) {
  // A command on a VFO this transceiver does not have.
  if (!request.vfo.isEmpty() && !isOwnVfo(request.vfo)) return answerNow(report(request, kNotAvailable));
  if (isReadOfState(request.command)) return read(request, radio);
  const QList<QByteArray> &args = request.args;
  switch (request.command) {
    case Command::SetFreq:
      return setFrequency(request);
    case Command::SetMode:
      return setMode(request, radio);
    case Command::GetVfo:
      return answerNow(answer(request, {{"VFO", "VFOA"}}));
    case Command::SetVfo:
      if (args.size() != 1) return answerNow(report(request, kInvalid));
      return answerNow(report(request, isOwnVfo(args[0]) ? kOk : isVfoName(args[0]) ? kNotAvailable : kInvalid));
    case Command::GetPtt:
      return answerNow(answer(request, {{"PTT", radio.keyed ? "1" : "0"}}));
    case Command::SetPtt:
      return setPtt(request);
    case Command::GetSplitVfo:
      return answerNow(answer(request, {{"Split", "0"}, {"TX VFO", "VFOA"}}));
    case Command::SetSplitVfo:
      if (args.isEmpty()) return answerNow(report(request, kInvalid));
      return answerNow(report(request, args[0] == "0" ? kOk : kNotAvailable));
    // Clients ask these before they tune: the panel is never locked, and the
    // transceiver is on while it answers.
    case Command::GetLockMode:
      return answerNow(answer(request, {{"Locked", "0"}}));
    case Command::GetPowerStat:
      if (radio.fault != kOk) return answerNow(report(request, radio.fault));
      return answerNow(answer(request, {{"Power Status", "1"}}));
    case Command::CheckVfo:
      vfoChecked_ = true;
      return answerNow(request.extended() ? "ChkVFO: 0\n" : "0\n");
    case Command::DumpState:
      return answerNow(block(request, dumpState(range_, vfoChecked_), false));
    case Command::DumpCaps:
      return answerNow(block(request, dumpCaps(range_), true));
    case Command::Quit:
      return Step{Step::Kind::Close, report(request, kOk), {}, 0, false};
    case Command::Unsupported:
      return answerNow(report(request, kNotAvailable));
    default:
      return answerNow(report(request, kInvalid));
  }
}

Step Session::read(const Request &request, const RadioView &radio) {
  Step step;
  step.readsState = true;
  if (radio.fault != kOk) {
    step.text = report(request, radio.fault);
    return step;
  }
  if (!radio.hz || !radio.caption) {
    step.kind = Step::Kind::NeedState;
    return step;
  }
  const QByteArray hz = number(*radio.hz);
  const std::optional<ProtocolMode> mode = protocolMode(*radio.caption);
  if (!mode && request.command != Command::GetFreq && request.command != Command::GetSplitFreq) {
    step.text = report(request, kIo);
    return step;
  }
  const QByteArray passband = mode ? QByteArray::number(mode->passband) : QByteArray();
  switch (request.command) {
    case Command::GetFreq:
      step.text = answer(request, {{"Frequency", hz}});
      break;
    case Command::GetSplitFreq:
      step.text = answer(request, {{"TX Frequency", hz}});
      break;
    case Command::GetMode:
      step.text = answer(request, {{"Mode", mode->name}, {"Passband", passband}});
      break;
    case Command::GetSplitMode:
      step.text = answer(request, {{"TX Mode", mode->name}, {"TX Passband", passband}});
      break;
    case Command::GetVfoInfo:
      step.text = answer(request,
                         {{"Freq", hz}, {"Mode", mode->name}, {"Width", passband}, {"Split", "0"}, {"SatMode", "0"}});
      break;
    default:  // GetRigInfo
      step.text = block(request, rigInfo(*radio.hz, *mode) + "\n", false);
      break;
  }
  return step;
}

Step Session::setFrequency(const Request &request) const {
  const std::optional<long> hz = request.args.size() == 1 ? parseHz(request.args[0]) : std::nullopt;
  if (!hz || !range_.contains(*hz)) return answerNow(report(request, kInvalid));
  return send(*frequencyFrame(*hz / 10), kFrequencyReplyLength);
}

Step Session::setMode(const Request &request, const RadioView &radio) {
  const QList<QByteArray> &args = request.args;
  if (args.isEmpty()) return answerNow(report(request, kInvalid));
  bool numeric = true;
  const long passband = args.size() == 2 ? args[1].toLong(&numeric) : 0;
  const auto mode = numeric ? transceiverMode(args[0], passband, radio.caption.value_or(QString())) : std::nullopt;
  if (!mode) return answerNow(report(request, kInvalid));
  return send(*modeFrame(mode->code), kShortStatusLength);
}

Step Session::setPtt(const Request &request) {
  // 0 receives; 1, 2 and 3 (keyed from the microphone or data input) all key the one line.
  bool numeric = false;
  const int wanted = request.args.size() == 1 ? request.args[0].toInt(&numeric) : -1;
  if (!numeric || wanted < 0 || wanted > 3) return answerNow(report(request, kInvalid));
  Step step{Step::Kind::Key, {}, {}, 0, false};
  step.key = wanted != 0;
  return step;
}

QByteArray Session::executed(const Request &request, bool ok) { return report(request, ok ? kOk : kTimeout); }

}  // namespace radio::rigctld
