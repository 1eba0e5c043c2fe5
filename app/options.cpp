#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <iterator>

#include "app/radio/rigctld_server.h"

namespace {

constexpr char kProgram[] = "tessaly";

// The application object's own options (a single dash is enough), left
// for it to take: those with a value and those without.
const char *const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                       "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                       "display", "geometry", "style", "stylesheet", "qmljsdebugger"};
const char *const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QStringList withoutQtOptions(const QStringList &arguments) {
  QStringList out;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString &a = arguments[i];
    const QString name = a.startsWith(QLatin1String("--")) ? a.mid(2) : a.startsWith(u'-') ? a.mid(1) : QString();
    const QString bare = name.section(u'=', 0, 0);
    auto is = [&bare](const char *option) { return bare == QLatin1String(option); };
    if (i > 0 && std::any_of(std::begin(kQtValueOptions), std::end(kQtValueOptions), is)) {
      if (!name.contains(u'=')) ++i;  // its value follows
      continue;
    }
    if (i > 0 && std::any_of(std::begin(kQtFlagOptions), std::end(kQtFlagOptions), is)) continue;
    out << a;
  }
  return out;
}

}  // namespace

ParsedOptions parseOptions(const QStringList &arguments) {
  QCoreApplication::setApplicationName(QLatin1String(kProgram));
  QCoreApplication::setApplicationVersion(QStringLiteral(TESSALY_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Control station for a CAT transceiver."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("port"),
                               QStringLiteral("Serial port number (1 is /dev/ttyS0) or device path; 1 when absent."),
                               QStringLiteral("[port]"));
  const QCommandLineOption connect(QStringLiteral("connect"),
                                   QStringLiteral("Press \"Connect to Tessaly\" once the window is up."));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("Save a picture of the window to FILE after a few seconds, then quit. Messages do not wait "
                     "for an answer."),
      QStringLiteral("FILE"));
  const QCommandLineOption poll(
      QStringLiteral("poll"),
      QStringLiteral("Ask the transceiver for its full status every SECONDS (%1 to %2) while the link is idle, so "
                     "that the panel follows the radio's own knob.")
          .arg(kMinPollSeconds)
          .arg(kMaxPollSeconds),
      QStringLiteral("SECONDS"));
  const QCommandLineOption utc(QStringLiteral("utc"),
                               QStringLiteral("Set the log to stamp dates, sort stamps and keys of new entries "
                                              "from the UTC clock instead of the local one (kept with the log)."));
  const QCommandLineOption rigctldPort(
      QStringLiteral("rigctld-port"),
      QStringLiteral("Serve the rigctld protocol to other programs on port N (0: off; default %1).")
          .arg(radio::RigctldServer::kDefaultPort),
      QStringLiteral("N"), QString::number(radio::RigctldServer::kDefaultPort));
  const QCommandLineOption rigctldAddress(
      QStringLiteral("rigctld-address"),
      QStringLiteral("Address the rigctld server listens on (default 127.0.0.1, this machine only)."),
      QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
  const QCommandLineOption rigctldIdle(
      QStringLiteral("rigctld-idle"),
      QStringLiteral("Disconnect a rigctld client that sent nothing for S seconds (%1 to %2; default %3).")
          .arg(kMinIdleSeconds)
          .arg(kMaxIdleSeconds)
          .arg(radio::RigctldServer::kDefaultIdleSeconds),
      QStringLiteral("S"));
  const QCommandLineOption rigctldLog(
      QStringLiteral("rigctld-log"),
      QStringLiteral("Append every line rigctld clients send and every answer, time-stamped, to FILE; refused "
                     "commands are marked."),
      QStringLiteral("FILE"));
  const QCommandLineOption range(
      QStringLiteral("range"),
      QStringLiteral("The frequencies that may be tuned, LO-HI in kHz (default %1).").arg(radio::FrequencyRange{}.text()),
      QStringLiteral("LO-HI"));
  const QCommandLineOption exportAdif(
      QStringLiteral("export-adif"),
      QStringLiteral("Write the station log of the current folder to FILE as ADIF (.adi) and quit; no window."),
      QStringLiteral("FILE"));
  const QCommandLineOption importAdif(
      QStringLiteral("import-adif"),
      QStringLiteral("Add the entries of the ADIF file FILE to the station log and quit; no window."),
      QStringLiteral("FILE"));
  const QCommandLineOption ptt(
      QStringLiteral("ptt"),
      QStringLiteral("Key the transmitter by the serial port's LINE: none (default) or rts, for a station interface "
                     "that keys on RTS. dtr is refused: the link holds DTR on."),
      QStringLiteral("LINE"), QStringLiteral("none"));
  const QCommandLineOption txTimeout(
      QStringLiteral("tx-timeout"),
      QStringLiteral("Unkey the transmitter after SECONDS keyed (%1 to %2; default %3).")
          .arg(kMinTxTimeoutSeconds)
          .arg(kMaxTxTimeoutSeconds)
          .arg(radio::Ptt::kDefaultTimeoutMs / 1000),
      QStringLiteral("SECONDS"));
  const QCommandLineOption tablesDir(
      QStringLiteral("tables"),
      QStringLiteral("The folder of the tables (Log.Dat, Scans.Dat, Standards.Dat); default the current folder."),
      QStringLiteral("DIR"));
  const QCommandLineOption logUdp(
      QStringLiteral("log-udp"),
      QStringLiteral("Add the contacts that weak-signal programs report (\"Logged ADIF\") to the log, listening "
                     "on ADDR:PORT, such as 127.0.0.1:2237 or a multicast group 239.255.0.1:2237 (also the "
                     "\"UDP log\" box)."),
      QStringLiteral("ADDR:PORT"));
  for (const QCommandLineOption &option :
       {connect, screenshot, poll, utc, rigctldPort, rigctldAddress, rigctldIdle, rigctldLog, range, exportAdif,
        importAdif, ptt, txTimeout, tablesDir, logUdp})
    parser.addOption(option);

  ParsedOptions out;
  auto mistake = [&out](const QString &text) {
    out.text = QStringLiteral("%1: %2 (see --help)\n").arg(QLatin1String(kProgram), text);
    out.exitCode = 2;
    return out;
  };
  if (!parser.parse(withoutQtOptions(arguments))) return mistake(parser.errorText());
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    // The usage line names the program, not the path it was started by.
    out.text = parser.helpText();
    const QLatin1String usage("Usage: ");
    const qsizetype end = out.text.indexOf(QLatin1String(" [options]"));
    if (out.text.startsWith(usage) && end > 0) out.text.replace(usage.size(), end - usage.size(), QLatin1String(kProgram));
    return out;
  }
  if (parser.isSet(version)) {
    out.text = QStringLiteral("%1 %2\n").arg(QLatin1String(kProgram), QCoreApplication::applicationVersion());
    return out;
  }
  if (parser.positionalArguments().size() > 1) return mistake(QStringLiteral("one port at most"));

  Options options;
  options.port = parser.positionalArguments().value(0);
  options.connect = parser.isSet(connect);
  options.screenshot = parser.value(screenshot);
  if (parser.isSet(screenshot) && options.screenshot.isEmpty()) return mistake(QStringLiteral("--screenshot needs a file name"));
  // Reads whole seconds from `low` to `high` into `*seconds` when `option` is set.
  auto readSeconds = [&parser](const QCommandLineOption &option, int low, int high, int *seconds) {
    if (!parser.isSet(option)) return true;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < low || value > high) return false;
    *seconds = value;
    return true;
  };
  auto badSeconds = [&parser, &mistake](const QCommandLineOption &option, int low, int high) {
    return mistake(QStringLiteral("--%1 takes whole seconds from %2 to %3, not \"%4\"")
                       .arg(option.names().first())
                       .arg(low)
                       .arg(high)
                       .arg(parser.value(option)));
  };
  if (!readSeconds(poll, kMinPollSeconds, kMaxPollSeconds, &options.pollSeconds))
    return badSeconds(poll, kMinPollSeconds, kMaxPollSeconds);
  options.utc = parser.isSet(utc);
  options.exportAdif = parser.value(exportAdif);
  options.importAdif = parser.value(importAdif);
  if ((parser.isSet(exportAdif) && options.exportAdif.isEmpty()) ||
      (parser.isSet(importAdif) && options.importAdif.isEmpty()))
    return mistake(QStringLiteral("--export-adif and --import-adif need a file name"));
  if (parser.isSet(exportAdif) && parser.isSet(importAdif))
    return mistake(QStringLiteral("--export-adif or --import-adif, not both"));
  options.tablesDir = parser.value(tablesDir);
  if (parser.isSet(tablesDir) && !QFileInfo(options.tablesDir).isDir())
    return mistake(QStringLiteral("--tables needs an existing folder, not \"%1\"").arg(options.tablesDir));
  bool portOk = false;
  const uint netPort = parser.value(rigctldPort).toUInt(&portOk);
  options.rigctldAddress = QHostAddress(parser.value(rigctldAddress));
  if (!portOk || netPort > 65535 || options.rigctldAddress.isNull())
    return mistake(QStringLiteral("--rigctld-port takes 0 .. 65535 and --rigctld-address an IP address"));
  options.rigctldPort = static_cast<quint16>(netPort);
  if (!readSeconds(rigctldIdle, kMinIdleSeconds, kMaxIdleSeconds, &options.rigctldIdleSeconds))
    return badSeconds(rigctldIdle, kMinIdleSeconds, kMaxIdleSeconds);
  options.rigctldLog = parser.value(rigctldLog);
  if (parser.isSet(rigctldLog) && options.rigctldLog.isEmpty()) return mistake(QStringLiteral("--rigctld-log needs a file name"));
  if (parser.isSet(range)) {
    const std::optional<radio::FrequencyRange> parsedRange = radio::FrequencyRange::parse(parser.value(range));
    if (!parsedRange)
      return mistake(QStringLiteral("--range takes LO-HI in kHz, LO below HI, on the 10 Hz grid, HI at most %1, not \"%2\"")
                         .arg(radio::FrequencyRange::kFrameMaxHz / 1000.0, 0, 'f', 2)
                         .arg(parser.value(range)));
    options.range = *parsedRange;
  }
  QString why;
  const std::optional<radio::Ptt::Line> line = radio::Ptt::parseLine(parser.value(ptt), &why);
  if (!line) return mistake(why);
  options.ptt = *line;
  if (!readSeconds(txTimeout, kMinTxTimeoutSeconds, kMaxTxTimeoutSeconds, &options.txTimeoutSeconds))
    return badSeconds(txTimeout, kMinTxTimeoutSeconds, kMaxTxTimeoutSeconds);
  if (parser.isSet(logUdp)) {
    const QString text = parser.value(logUdp);
    const qsizetype colon = text.lastIndexOf(u':');
    bool udpPortOk = false;
    const uint udpPort = text.mid(colon + 1).toUInt(&udpPortOk);
    options.logUdpAddress = QHostAddress(colon > 0 ? text.left(colon).remove(u'[').remove(u']') : QString());
    if (!udpPortOk || udpPort == 0 || udpPort > 65535 || options.logUdpAddress.isNull())
      return mistake(QStringLiteral("--log-udp takes an IP address and a port, ADDR:PORT, not \"%1\"").arg(text));
    options.logUdpPort = static_cast<quint16>(udpPort);
  }
  out.options = options;
  return out;
}
