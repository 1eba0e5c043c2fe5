// The command line of tessaly.
#include <gtest/gtest.h>

#include <tuple>

#include "app/options.h"
#include "tests/app/fakes.h"

namespace {

ParsedOptions parse(const QStringList &arguments) { return parseOptions(QStringList{"tessaly"} + arguments); }

}  // namespace

TEST(Options, HelpAndVersionListEveryOptionAndEndTheRun) {
  const ParsedOptions help = parse({"--help"});
  EXPECT_FALSE(help.options);
  EXPECT_EQ(help.exitCode, 0);
  for (const char *option : {"--connect", "--screenshot <FILE>", "--poll <SECONDS>", "--utc", "--rigctld-port <N>",
                             "--rigctld-address <ADDR>", "--rigctld-idle <S>", "--rigctld-log <FILE>",
                             "--range <LO-HI>", "--tables <DIR>", "--log-udp <ADDR:PORT>", "--version", "[port]"})
    EXPECT_TRUE(help.text.contains(QLatin1String(option))) << option;
  EXPECT_TRUE(help.text.startsWith("Usage: tessaly ")) << help.text.toStdString();

  const ParsedOptions version = parse({"-v"});
  EXPECT_FALSE(version.options);
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(version.text.startsWith("tessaly ")) << version.text.toStdString();
}

TEST(Options, ValuesAndDefaults) {
  const ParsedOptions none = parse({});
  ASSERT_TRUE(none.options);
  EXPECT_EQ(none.options->port, "");
  EXPECT_FALSE(none.options->connect);
  EXPECT_EQ(none.options->pollSeconds, 0);
  EXPECT_FALSE(none.options->utc);
  EXPECT_EQ(none.options->rigctldPort, 4532);
  EXPECT_EQ(none.options->rigctldAddress, QHostAddress(QHostAddress::LocalHost));
  EXPECT_EQ(none.options->rigctldIdleSeconds, 600);
  EXPECT_EQ(none.options->rigctldLog, "");
  EXPECT_EQ(none.options->range, (radio::FrequencyRange{100000, 30000000}));
  EXPECT_TRUE(none.options->logUdpAddress.isNull());  // not listening for logged contacts

  // Qt's own options are left to the application object.
  const ParsedOptions all = parse({"/dev/pts/4", "--connect", "--poll", "3", "--utc", "--screenshot", "a.png",
                                   "--rigctld-port", "0", "--rigctld-address", "::1", "--rigctld-idle", "30",
                                   "--rigctld-log", "r.log", "--range", "1800-2000.5", "-platform", "offscreen",
                                   "-style=fusion", "-reverse"});
  ASSERT_TRUE(all.options) << all.text.toStdString();
  EXPECT_EQ(all.options->port, "/dev/pts/4");
  EXPECT_TRUE(all.options->connect);
  EXPECT_EQ(all.options->pollSeconds, 3);
  EXPECT_TRUE(all.options->utc);
  EXPECT_EQ(all.options->screenshot, "a.png");
  EXPECT_EQ(all.options->rigctldPort, 0);
  EXPECT_EQ(all.options->rigctldAddress, QHostAddress(QHostAddress::LocalHostIPv6));
  EXPECT_EQ(none.options->tablesDir, "");
  EXPECT_EQ(parse({"--tables", "/tmp"}).options->tablesDir, "/tmp");
  EXPECT_EQ(all.options->rigctldIdleSeconds, 30);
  EXPECT_EQ(all.options->rigctldLog, "r.log");
  EXPECT_EQ(all.options->range, (radio::FrequencyRange{1800000, 2000500}));

  for (const auto &[text, address, port] : {std::tuple{"127.0.0.1:2237", "127.0.0.1", 2237},
                                            std::tuple{"239.255.0.1:2238", "239.255.0.1", 2238},
                                            std::tuple{"[::1]:2237", "::1", 2237}}) {
    const ParsedOptions udp = parse({"--log-udp", text});
    ASSERT_TRUE(udp.options) << udp.text.toStdString();
    EXPECT_EQ(udp.options->logUdpAddress, QHostAddress(QString::fromLatin1(address))) << text;
    EXPECT_EQ(udp.options->logUdpPort, port) << text;
  }
}

TEST(Options, MistakesSayWhatIsWrong) {
  for (const QStringList &wrong : {QStringList{"1", "2"}, QStringList{"--poll", "0"}, QStringList{"--poll", "x"},
                                   QStringList{"--poll", "3601"}, QStringList{"--frobnicate"},
                                   QStringList{"--screenshot"}, QStringList{"--rigctld-port", "65536"},
                                   QStringList{"--rigctld-address", "here"}, QStringList{"--rigctld-idle", "0"},
                                   QStringList{"--rigctld-log", ""}, QStringList{"--range", "30000-100"},
                                   QStringList{"--range", "100"}, QStringList{"--tables", "/nonexistent"},
                                   QStringList{"--tables"}, QStringList{"--log-udp", "2237"},
                                   QStringList{"--log-udp", "127.0.0.1:0"}, QStringList{"--log-udp", "host:2237"},
                                   QStringList{"--log-udp", "127.0.0.1:70000"}}) {
    const ParsedOptions parsed = parse(wrong);
    EXPECT_FALSE(parsed.options) << wrong.join(' ').toStdString();
    EXPECT_EQ(parsed.exitCode, 2);
    EXPECT_TRUE(parsed.text.startsWith("tessaly: ")) << parsed.text.toStdString();
  }
}
