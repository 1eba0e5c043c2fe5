// The command line of tessaly, parsed in one place before the application
// object exists, so that --help and --version work without a display. Every
// option is declared in options.cpp; a new option goes there and into Options.
#ifndef TESSALY_APP_OPTIONS_H
#define TESSALY_APP_OPTIONS_H

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <optional>

#include "app/radio/freqrange.h"
#include "app/radio/ptt.h"

struct Options {
  QString port;            // serial port number or device path; "" is port 1
  bool connect = false;    // press "Connect to Tessaly" once the window is up
  QString screenshot;      // save a picture of the window there, then quit
  int pollSeconds = 0;     // ask for the full status this often when idle; 0 = never
  bool utc = false;        // set the log to stamp new entries from the UTC clock
  quint16 rigctldPort = 0;     // the rigctld server's TCP port; 0 = no server
  QHostAddress rigctldAddress;  // the address it listens on
  int rigctldIdleSeconds = 600;  // a rigctld client silent this long is dropped
  QString rigctldLog;      // write what rigctld clients send and get to this file; "" = no log
  radio::FrequencyRange range;  // the frequencies anything may tune
  QString exportAdif;      // write the station log to this ADIF file and quit, no window
  QString importAdif;      // add the entries of this ADIF file to the station log and quit
  radio::Ptt::Line ptt = radio::Ptt::Line::None;         // the line that keys the transmitter
  int txTimeoutSeconds = radio::Ptt::kDefaultTimeoutMs / 1000;  // unkey after this long keyed
  QString tablesDir;       // the tables' folder; "" is the current folder
  QHostAddress logUdpAddress;  // listen for logged contacts of weak-signal programs here; null = off
  quint16 logUdpPort = 0;
};

// What parsing a command line gave: the options to run with, or a text to
// print and the exit code to end with (--help, --version, a mistake).
struct ParsedOptions {
  std::optional<Options> options;
  QString text;           // help or version on stdout, a mistake on stderr
  int exitCode = 0;       // 0 after --help and --version, 2 after a mistake
};

// Polling intervals that --poll accepts, in seconds.
inline constexpr int kMinPollSeconds = 1, kMaxPollSeconds = 3600;
// Transmit time-outs that --tx-timeout accepts, in seconds.
inline constexpr int kMinTxTimeoutSeconds = 1, kMaxTxTimeoutSeconds = 3600;
// Idle times that --rigctld-idle accepts, in seconds.
inline constexpr int kMinIdleSeconds = 1, kMaxIdleSeconds = 86400;

// Parses `arguments`, the program name first. The options of Qt's
// application object (-platform, -style ...) are passed over: it takes them
// itself.
ParsedOptions parseOptions(const QStringList &arguments);

#endif
