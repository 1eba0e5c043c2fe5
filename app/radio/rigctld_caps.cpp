#include "app/radio/rigctld_caps.h"

#include <array>

#include "app/radio/freqrange.h"

namespace radio::rigctld {

namespace {

// Mode bits of the protocol.
constexpr unsigned kAm = 0x1, kCw = 0x2, kUsb = 0x4, kLsb = 0x8, kRtty = 0x10, kFm = 0x20, kCwr = 0x80,
                   kPktLsb = 0x400, kPktUsb = 0x800;
constexpr unsigned kAllModes = kAm | kCw | kUsb | kLsb | kRtty | kFm | kCwr | kPktLsb | kPktUsb;
constexpr char kModeList[] = "AM CW USB LSB RTTY FM CWR PKTLSB PKTUSB ";

// The passbands get_mode reports, by the modes that have them.
struct Filter {
  unsigned modes;
  const char *names;
  int hz;
};
constexpr std::array<Filter, 6> kFilters{{
    {kUsb | kLsb | kPktUsb | kPktLsb | kRtty, "USB LSB RTTY PKTLSB PKTUSB ", 2400},
    {kCw | kCwr, "CW CWR ", 2400},
    {kCw | kCwr, "CW CWR ", 500},
    {kAm, "AM ", 6000},
    {kAm, "AM ", 2400},
    {kFm, "FM ", 12000},
}};

QByteArray hex(unsigned bits) { return "0x" + QByteArray::number(bits, 16); }

// "2.4000 kHz", "500.0 Hz": the caps text's way of writing a width.
QByteArray width(int hz) {
  return hz >= 1000 ? QByteArray::number(hz / 1000.0, 'f', 4) + " kHz" : QByteArray::number(hz, 'f', 1) + " Hz";
}

}  // namespace

QByteArray dumpState(const FrequencyRange &range, bool withKeys) {
  const QByteArray span = QByteArray::number(static_cast<qlonglong>(range.lowHz)) + ".000000 " +
                          QByteArray::number(static_cast<qlonglong>(range.highHz)) + ".000000 " + hex(kAllModes) +
                          " -1 -1 0x1 0x1\n";
  const QByteArray end = "0 0 0 0 0 0 0\n";
  QByteArray text = withKeys ? "1\n" : "0\n";  // protocol version
  text += QByteArray::number(kRigModel) + "\n2\n";  // model, ITU region
  text += span + end;                   // receive ranges
  text += span + end;                   // transmit ranges
  text += hex(kAllModes) + " 10\n0 0\n";  // tuning steps: 10 Hz in every mode
  for (const Filter &f : kFilters) text += hex(f.modes) + ' ' + QByteArray::number(f.hz) + '\n';
  text += "0 0\n";
  text += "0\n0\n0\n0\n";  // max RIT, XIT, IF shift; announces
  text += "\n\n";          // preamplifiers, attenuators: none
  text += "0x0\n0x0\n0x0\n0x0\n0x0\n0x0\n";  // functions, levels, parameters: none
  if (withKeys) {
    text += "vfo_ops=0x0\nptt_type=0x0\ntargetable_vfo=0x0\nhas_set_vfo=0\nhas_get_vfo=1\nhas_set_freq=1\n"
            "has_get_freq=1\nhas_set_conf=0\nhas_get_conf=0\nhas_power2mW=0\nhas_mW2power=0\ntimeout=" +
            QByteArray::number(kClientTimeoutMs) + "\nrig_model=" + QByteArray::number(kRigModel) + "\ndone\n";
  }
  return text;
}

QByteArray dumpCaps(const FrequencyRange &range) {
  const QByteArray hz = QByteArray::number(static_cast<qlonglong>(range.lowHz)) + " Hz - " +
                        QByteArray::number(static_cast<qlonglong>(range.highHz)) + " Hz\n";
  const QByteArray rangeLists = QByteArray("\t\tVFO list: VFOA \n\t\tMode list: ") + kModeList + "\n";
  QByteArray text = "Caps dump for model: " + QByteArray::number(kRigModel) + "\n";
  text += "Model name:\tCAT transceiver\nMfg name:\tTessaly\nBackend version:\t" TESSALY_VERSION
          "\nBackend copyright:\tLGPL\nBackend status:\tStable\nRig type:\tTransceiver \nPTT type:\tNone\n"
          "DCD type:\tNone\nPort type:\tNetwork link\n";
  text += "Write delay: 0mS, timeout " + QByteArray::number(kClientTimeoutMs) + "mS, 0 retry\n";
  text += "Post Write delay: 0mS\nHas targetable VFO: N\nHas async data support: N\nAnnounce: 0x0\n"
          "Max RIT: -0.0kHz/+0.0kHz\nMax XIT: -0.0kHz/+0.0kHz\nMax IF-SHIFT: -0.0kHz/+0.0kHz\nPreamp: None\n"
          "Attenuator: None\nAGC levels:\nCTCSS: None\nDCS: None\nGet functions: \nSet functions: \n"
          "Extra functions:\nGet level: \nSet level: \nExtra levels:\nGet parameters: \nSet parameters: \n"
          "Extra parameters:\n";
  text += QByteArray("Mode list: ") + kModeList + "\nVFO list: VFOA \nVFO Ops: \nScan Ops: \n";
  text += "Number of banks:\t0\nMemory name desc size:\t0\nMemories: None\n";
  text += "TX ranges #1 for Tessaly:\n\t" + hz + rangeLists + "RX ranges #1 for Tessaly:\n\t" + hz + rangeLists;
  text += QByteArray("Tuning steps:\n\t10.0 Hz:   \t") + kModeList + "\nFilters:\n";
  for (const Filter &f : kFilters) text += "\t" + width(f.hz) + ":   \t" + f.names + "\n";
  // What this transceiver answers: the rest is "not available".
  const char *const kCan[][2] = {
      {"set Frequency", "Y"}, {"get Frequency", "Y"}, {"set Mode", "Y"},         {"get Mode", "Y"},
      {"set VFO", "N"},       {"get VFO", "Y"},       {"set PTT", "N"},          {"get PTT", "Y"},
      {"get DCD", "N"},       {"set Split Freq", "N"}, {"get Split Freq", "Y"}, {"set Split Mode", "N"},
      {"get Split Mode", "Y"}, {"set Split VFO", "N"}, {"get Split VFO", "Y"},  {"set Power Stat", "N"},
      {"get Power Stat", "Y"}, {"Reset", "N"},        {"get Info", "N"},        {"get power2mW", "N"},
      {"get mW2power", "N"}};
  for (const auto &can : kCan) text += QByteArray("Can ") + can[0] + ":\t" + can[1] + "\n";
  text += "\nOverall backend warnings: 0\n";
  return text;
}

}  // namespace radio::rigctld
