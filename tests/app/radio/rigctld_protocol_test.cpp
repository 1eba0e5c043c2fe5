// The rigctld protocol without sockets: the line grammar, the answer forms,
// what each command does on this transceiver, and the frequency range.
#include <gtest/gtest.h>

#include "app/radio/freqrange.h"
#include "app/radio/frames.h"
#include "app/radio/rigctld_caps.h"
#include "app/radio/rigctld_protocol.h"
#include "app/radio/rigctld_session.h"
#include "tests/app/fakes.h"

namespace rc = radio::rigctld;
using rc::Command;

namespace {

QList<Command> commands(const char *line) {
  QList<Command> out;
  for (const rc::Request &r : rc::parseLine(line)) out << r.command;
  return out;
}

rc::Request one(const char *line) {
  const QList<rc::Request> requests = rc::parseLine(line);
  EXPECT_EQ(requests.size(), 1) << line;
  return requests.value(0);
}

// Serves every command of `line` in a fresh session; the answers joined.
QByteArray served(rc::Session &session, const char *line, const rc::RadioView &radio) {
  QByteArray out;
  for (const rc::Request &r : rc::parseLine(line)) {
    const rc::Step step = session.serve(r, radio);
    if (step.kind == rc::Step::Kind::Send)
      out += QByteArray("<send ") + radio::hexText(step.frame).toLatin1() + ">";
    else if (step.kind == rc::Step::Kind::Key)
      out += step.key ? "<key>" : "<unkey>";
    else
      out += step.text;
  }
  return out;
}

const rc::RadioView kUsb{14074000, QStringLiteral("USB"), rc::kOk, 0};

}  // namespace

TEST(RigctldGrammar, SeveralCommandsOnOneLineAreEachTakenInTurn) {
  EXPECT_EQ(commands("fm"), (QList<Command>{Command::GetFreq, Command::GetMode}));
  EXPECT_EQ(commands("+f +m +v"), (QList<Command>{Command::GetFreq, Command::GetMode, Command::GetVfo}));
  EXPECT_EQ(commands("\\get_freq \\get_mode"), (QList<Command>{Command::GetFreq, Command::GetMode}));
  EXPECT_EQ(commands("v s f m t"), (QList<Command>{Command::GetVfo, Command::GetSplitVfo, Command::GetFreq,
                                                   Command::GetMode, Command::GetPtt}));
  EXPECT_EQ(commands("F 14074000 f\r"), (QList<Command>{Command::SetFreq, Command::GetFreq}));
  EXPECT_EQ(commands("\\chk_vfo\t\\dump_state"), (QList<Command>{Command::CheckVfo, Command::DumpState}));
  // The words an unsupported command takes are its own, not further commands.
  EXPECT_EQ(commands("l RFPOWER f"), (QList<Command>{Command::Unsupported, Command::GetFreq}));
  EXPECT_EQ(commands("b CQ CQ f"), (QList<Command>{Command::Unsupported}));
  EXPECT_EQ(commands("\\no_such x f"), (QList<Command>{Command::Unsupported}));
  // A word that is no command ends the line.
  EXPECT_EQ(commands("f ### m"), (QList<Command>{Command::GetFreq, Command::Invalid}));
  for (const char *garbage : {"###", "\\", "k", "\xff\xfe", "+"})
    EXPECT_EQ(commands(garbage), (QList<Command>{Command::Invalid})) << garbage;
  EXPECT_TRUE(rc::parseLine("  \r").isEmpty());
}

TEST(RigctldGrammar, ArgumentsVfosAndPrefixes) {
  const rc::Request set = one("+\\set_freq VFOA  7074000");
  EXPECT_EQ(set.separator, '\n');
  EXPECT_EQ(set.name, "set_freq");
  EXPECT_EQ(set.vfo, "VFOA");
  EXPECT_EQ(set.args, (QList<QByteArray>{"7074000"}));
  EXPECT_EQ(one("F14074000").args, (QList<QByteArray>{"14074000"}));
  EXPECT_EQ(one("M USB").args, (QList<QByteArray>{"USB"}));  // the passband may be left out
  EXPECT_EQ(one("V VFOB").args, (QList<QByteArray>{"VFOB"}));
  EXPECT_EQ(one("\\get_vfo_info VFOA").vfo, "VFOA");
  // A prefix is the one command's: "+fm" asks only f in the extended form.
  const QList<rc::Request> pair = rc::parseLine("+fm");
  ASSERT_EQ(pair.size(), 2);
  EXPECT_TRUE(pair[0].extended());
  EXPECT_FALSE(pair[1].extended());
  for (char separator : {';', '|', ','}) {
    const QByteArray line = QByteArray(1, separator) + "\\get_mode";
    EXPECT_EQ(one(line.constData()).separator, separator);
  }
}

TEST(RigctldAnswers, PlainAndExtendedForms) {
  const QList<rc::Value> mode{{"Mode", "USB"}, {"Passband", "2400"}};
  EXPECT_EQ(rc::answer(one("m"), mode), "USB\n2400\n");
  EXPECT_EQ(rc::answer(one("+m"), mode), "get_mode:\nMode: USB\nPassband: 2400\nRPRT 0\n");
  EXPECT_EQ(rc::answer(one(";m"), mode), "get_mode:;Mode: USB;Passband: 2400;RPRT 0\n");
  EXPECT_EQ(rc::answer(one("|f"), {{"Frequency", "14074000"}}), "get_freq:|Frequency: 14074000|RPRT 0\n");
  EXPECT_EQ(rc::report(one("|M USB 2400"), rc::kOk), "set_mode: USB 2400|RPRT 0\n");
  EXPECT_EQ(rc::report(one(",F VFOA 7074000"), rc::kInvalid), "set_freq: VFOA 7074000,RPRT -1\n");
  EXPECT_EQ(rc::report(one("T 1"), rc::kNotAvailable), "RPRT -11\n");
  EXPECT_EQ(rc::block(one("\\dump_caps"), "text\n", true), "text\nRPRT 0\n");
  EXPECT_EQ(rc::block(one("\\dump_state"), "text\n", false), "text\n");
  EXPECT_EQ(rc::block(one("+\\dump_state"), "text\n", false), "dump_state:\ntext\nRPRT 0\n");
}

TEST(RigctldSession, ReadsAnswerFromTheState) {
  rc::Session s(radio::FrequencyRange{});
  EXPECT_EQ(served(s, "f m v t s", kUsb), "14074000\nUSB\n2400\nVFOA\n0\n0\nVFOA\n");
  EXPECT_EQ(served(s, "i x", kUsb), "14074000\nUSB\n2400\n");
  EXPECT_EQ(served(s, "+\\get_vfo_info VFOA", kUsb),
            "get_vfo_info: VFOA\nFreq: 14074000\nMode: USB\nWidth: 2400\nSplit: 0\nSatMode: 0\nRPRT 0\n");
  EXPECT_EQ(served(s, "+\\get_split_mode", {7000000, QStringLiteral("CW-N"), rc::kOk, 0}),
            "get_split_mode:\nTX Mode: CW\nTX Passband: 500\nRPRT 0\n");
  EXPECT_EQ(served(s, "\\get_powerstat \\get_lock_mode", kUsb), "1\n0\n");
  const QByteArray info = served(s, "\\get_rig_info", kUsb);
  EXPECT_TRUE(info.startsWith("VFO=Main Freq=14074000 Mode=USB Width=2400 RX=1 TX=1\nSplit=0 SatMode=0\n"));
  EXPECT_TRUE(info.endsWith("\n\n")) << info.toStdString();
  EXPECT_NE(info, served(s, "\\get_rig_info", {14074010, QStringLiteral("USB"), rc::kOk, 0}));  // its CRC follows the text

  // A radio that does not answer: the time-out code at once, sets still sent.
  const rc::RadioView silent{14074000, QStringLiteral("USB"), rc::kTimeout, 0};
  EXPECT_EQ(served(s, "f +m \\get_powerstat", silent), "RPRT -5\nget_mode:\nRPRT -5\nRPRT -5\n");
  EXPECT_EQ(served(s, "F 7074000", silent), "<send 0074700008>");
  // A closed port: the I/O code, whatever was last reported.
  const rc::RadioView closed{14074000, QStringLiteral("USB"), rc::kIo, 0};
  EXPECT_EQ(served(s, "f \\get_vfo_info \\get_powerstat", closed), "RPRT -6\nRPRT -6\nRPRT -6\n");
  // Nothing known yet: the state must be read first.
  for (const char *read : {"f", "m", "i", "x", "\\get_vfo_info", "\\get_rig_info"}) {
    const rc::Step step = s.serve(one(read), rc::RadioView{});
    EXPECT_EQ(step.kind, rc::Step::Kind::NeedState) << read;
    EXPECT_TRUE(step.readsState);
  }
  EXPECT_FALSE(s.serve(one("v"), rc::RadioView{}).readsState);
}

TEST(RigctldSession, SetsAreCheckedBeforeAnythingIsSent) {
  rc::Session s(radio::FrequencyRange{});
  EXPECT_EQ(served(s, "F 7074000 F VFOA 14074006.000000", kUsb), "<send 0074700008><send 0174400108>");
  EXPECT_EQ(served(s, "M CW 500 M PKTUSB 3000", kUsb), "<send 000000130A><send 000000110A>");
  // Outside 100 kHz .. 30 MHz, or no frequency at all: refused, nothing sent.
  EXPECT_EQ(served(s, "F 0 F 99990 F 30000010 F 35000000 F abc F nan F 1e300", kUsb), QByteArray("RPRT -1\n").repeated(7));
  EXPECT_EQ(served(s, "F 100000 F 30000000", kUsb), "<send 0000010008><send 0000000308>");
  EXPECT_EQ(served(s, "M WFM 0 M USB wide", kUsb), "RPRT -1\nRPRT -1\n");
  // VFOs: the one this transceiver has, one it does not have, no VFO at all.
  EXPECT_EQ(served(s, "V VFOA V currVFO V VFOB V Sub V xyz", kUsb), "RPRT 0\nRPRT 0\nRPRT -11\nRPRT -11\nRPRT -1\n");
  EXPECT_EQ(served(s, "F VFOB 7074000 +m VFOB", kUsb), "RPRT -11\nget_mode: VFOB\nRPRT -11\n");
  EXPECT_EQ(served(s, "T 0 T 1 T 3 S 0 VFOA S 1 VFOB I 7074000", kUsb), "<unkey><key><key>RPRT 0\nRPRT -11\nRPRT -11\n");
  // Keying: only 0 .. 3; "t" tells the true state.
  EXPECT_EQ(served(s, "T 4 T -1 T x T VFOB 1", kUsb), "RPRT -1\nRPRT -1\nRPRT -1\nRPRT -11\n");
  rc::RadioView keyed = kUsb;
  keyed.keyed = true;
  EXPECT_EQ(served(s, "t +t", keyed), "1\nget_ptt:\nPTT: 1\nRPRT 0\n");
  EXPECT_EQ(served(s, "t", kUsb), "0\n");
  EXPECT_EQ(served(s, "\\set_powerstat 0 ### f", kUsb), "RPRT -11\nRPRT -1\n");
  EXPECT_EQ(served(s, "+### |\\", kUsb), "RPRT -1\n");
  const rc::Step quit = s.serve(one("q"), kUsb);
  EXPECT_EQ(quit.kind, rc::Step::Kind::Close);
  EXPECT_EQ(quit.text, "RPRT 0\n");
  EXPECT_EQ(rc::Session::executed(one("+F 7074000"), false), "set_freq: 7074000\nRPRT -5\n");

  // Another range moves what F accepts and what dump_state advertises.
  rc::Session narrow(radio::FrequencyRange{1800000, 2000000});
  EXPECT_EQ(served(narrow, "F 1799990 F 1800000 F 2000010", kUsb), "RPRT -1\n<send 0000180008>RPRT -1\n");
  EXPECT_TRUE(served(narrow, "\\dump_state", kUsb).contains("\n1800000.000000 2000000.000000 0xcbf -1 -1 0x1 0x1\n"));
}

TEST(RigctldSession, DumpStateVersionFollowsCheckVfo) {
  rc::Session s(radio::FrequencyRange{});
  const QByteArray v0 = served(s, "\\dump_state", kUsb);
  EXPECT_TRUE(v0.startsWith("0\n2\n2\n100000.000000 30000000.000000 0xcbf -1 -1 0x1 0x1\n")) << v0.toStdString();
  EXPECT_FALSE(v0.contains('='));
  EXPECT_EQ(served(s, "\\chk_vfo +\\chk_vfo", kUsb), "0\nChkVFO: 0\n");
  const QByteArray v1 = served(s, "\\dump_state", kUsb);
  EXPECT_TRUE(v1.startsWith("1\n2\n2\n"));
  EXPECT_EQ(v1.mid(2, v0.size() - 2), v0.mid(2));  // the same block, then the keys
  for (const char *key : {"\nhas_set_vfo=0\n", "\nptt_type=0x0\n", "\ntargetable_vfo=0x0\n", "\ntimeout=3000\n"})
    EXPECT_TRUE(v1.contains(key)) << key;
  EXPECT_TRUE(v1.endsWith("\ndone\n"));

  const QByteArray caps = served(s, "\\dump_caps", kUsb);
  EXPECT_TRUE(caps.startsWith("Caps dump for model: 2\n"));
  EXPECT_TRUE(caps.contains("\t100000 Hz - 30000000 Hz\n"));
  EXPECT_TRUE(caps.contains("Can set VFO:\tN\n"));
  EXPECT_TRUE(caps.endsWith("RPRT 0\n"));
}

TEST(FrequencyRange, ParsedInKilohertz) {
  EXPECT_EQ(radio::FrequencyRange::parse("100-30000"), (radio::FrequencyRange{100000, 30000000}));
  EXPECT_EQ(radio::FrequencyRange::parse(" 1800 - 2000.5"), (radio::FrequencyRange{1800000, 2000500}));
  EXPECT_EQ(radio::FrequencyRange::parse("0-99999.99"), (radio::FrequencyRange{0, 99999990}));
  for (const char *bad : {"30000-100", "100-100", "100", "-5-100", "100-100000", "1.005-2", "1e3-2e3", "a-b", ""})
    EXPECT_FALSE(radio::FrequencyRange::parse(bad)) << bad;
  for (const radio::FrequencyRange r : {radio::FrequencyRange{}, radio::FrequencyRange{1800000, 2000500}})
    EXPECT_EQ(radio::FrequencyRange::parse(r.text()), r) << r.text().toStdString();
  EXPECT_EQ(radio::FrequencyRange{}.text(), "100-30000");
  EXPECT_TRUE(radio::FrequencyRange{}.contains(100000));
  EXPECT_FALSE(radio::FrequencyRange{}.contains(30000010));
}
