// tessaly-rig: a simulated CAT transceiver on a pseudo-terminal.
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "tools/rig/outage.h"
#include "tools/rig/responder.h"
#include "tools/rig/terminal.h"

namespace {

using Clock = std::chrono::steady_clock;
// One byte on the wire at 4800 baud with a start bit, 8 data bits and 2 stop bits.
constexpr auto kByteTime = std::chrono::nanoseconds(11 * 1000000000LL / 4800);
// A gap this long inside a frame drops the partial frame, so the framing recovers from noise.
constexpr auto kFrameGap = std::chrono::milliseconds(50);

volatile sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

void usage(FILE *out) {
  fputs(
      "Usage: tessaly-rig [OPTION]...\n"
      "Simulated CAT transceiver on a pseudo-terminal. Prints the path of the\n"
      "terminal to open (first line of stdout; again for each new terminal), then\n"
      "answers every 5-byte frame: a command frame is echoed; the execute frame\n"
      "00 00 00 00 0B after it makes the transceiver carry out the command and\n"
      "send its reply (148 bytes for 00, 5 for 08, 22 for 0A, 1 for 04 and 05).\n"
      "Runs until SIGINT or SIGTERM.\n"
      "\n"
      "  --pty-link PATH      also make PATH a symbolic link to the terminal; a\n"
      "                       terminal made anew is published there too\n"
      "  --pace               send and receive at the wire speed of 4800 baud 8N2\n"
      "  --log FILE           write every frame received (\"rx ..\") and every\n"
      "                       answer sent (\"tx ..\") to FILE as hex, one per line,\n"
      "                       and each outage as a line starting with \"--\"\n"
      "  --wrong-echo N       echo every Nth command with its first byte changed\n"
      "  --lose-echo N        do not echo every Nth command\n"
      "  --stray-bytes N      send 3 stray bytes before every Nth echo\n"
      "  --short-reply N      send only the first half of every Nth reply\n"
      "  --vanish-after S     after S seconds the terminal goes away (as a USB\n"
      "  --back-after S       adapter pulled) and PATH with it; S seconds later a\n"
      "                       new terminal appears at PATH; this repeats. Both\n"
      "                       need --pty-link\n"
      "  --deaf-after S       after S seconds the transceiver stops answering\n"
      "  --deaf-for S         (as switched off) for S seconds; this repeats\n"
      "  --help               show this help and exit\n"
      "\n"
      "Seconds may have decimals (0.5). Both cycles count from the start.\n"
      "Exit status: 0 after a signal, 1 when the terminal cannot be made, 2 for\n"
      "a wrong option.\n",
      out);
}

bool parseCount(const char *text, unsigned *out) {
  char *end = nullptr;
  errno = 0;
  const unsigned long v = strtoul(text, &end, 10);
  if (errno || end == text || *end || v > 1000000) return false;
  *out = static_cast<unsigned>(v);
  return true;
}

// Seconds above 0 and at most a day, to the millisecond.
bool parseSeconds(const char *text, rig::Outage::Duration *out) {
  char *end = nullptr;
  errno = 0;
  const double v = strtod(text, &end);
  if (errno || end == text || *end || !(v >= 0.001 && v <= 86400)) return false;
  *out = rig::Outage::Duration(static_cast<long long>(v * 1000 + 0.5));
  return true;
}

struct Options {
  std::string link;
  std::string log;
  bool pace = false;
  rig::Faults faults;
  rig::Outage vanish, deaf;
};

// Returns -1 to go on, else the exit status.
int parseOptions(int argc, char **argv, Options *o) {
  enum { kLink = 1, kPace, kLog, kWrong, kLose, kStray, kShort, kVanish, kBack, kDeaf, kDeafFor, kHelp };
  static const option kLong[] = {{"pty-link", required_argument, nullptr, kLink},
                                 {"pace", no_argument, nullptr, kPace},
                                 {"log", required_argument, nullptr, kLog},
                                 {"wrong-echo", required_argument, nullptr, kWrong},
                                 {"lose-echo", required_argument, nullptr, kLose},
                                 {"stray-bytes", required_argument, nullptr, kStray},
                                 {"short-reply", required_argument, nullptr, kShort},
                                 {"vanish-after", required_argument, nullptr, kVanish},
                                 {"back-after", required_argument, nullptr, kBack},
                                 {"deaf-after", required_argument, nullptr, kDeaf},
                                 {"deaf-for", required_argument, nullptr, kDeafFor},
                                 {"help", no_argument, nullptr, kHelp},
                                 {nullptr, 0, nullptr, 0}};
  // Index kVanish - kVanish .. kDeafFor - kVanish: the four outage times.
  rig::Outage::Duration times[4]{};
  int c;
  while ((c = getopt_long(argc, argv, "", kLong, nullptr)) != -1) {
    bool ok = true;
    switch (c) {
      case kLink: o->link = optarg; break;
      case kPace: o->pace = true; break;
      case kLog: o->log = optarg; break;
      case kWrong: ok = parseCount(optarg, &o->faults.wrongEcho); break;
      case kLose: ok = parseCount(optarg, &o->faults.loseEcho); break;
      case kStray: ok = parseCount(optarg, &o->faults.strayBytes); break;
      case kShort: ok = parseCount(optarg, &o->faults.shortReply); break;
      case kVanish:
      case kBack:
      case kDeaf:
      case kDeafFor: ok = parseSeconds(optarg, &times[c - kVanish]); break;
      case kHelp: usage(stdout); return 0;
      default: ok = false;
    }
    if (!ok) {
      if (c != '?') fprintf(stderr, "tessaly-rig: bad number '%s'\n", optarg);
      usage(stderr);
      return 2;
    }
  }
  if (optind < argc) {
    fprintf(stderr, "tessaly-rig: unexpected argument '%s'\n", argv[optind]);
    return 2;
  }
  const auto given = [](rig::Outage::Duration d) { return d.count() > 0; };
  if (given(times[0]) != given(times[1]) || given(times[2]) != given(times[3])) {
    fprintf(stderr, "tessaly-rig: --vanish-after goes with --back-after, --deaf-after with --deaf-for\n");
    return 2;
  }
  if (given(times[0]) && o->link.empty()) {
    fprintf(stderr, "tessaly-rig: --vanish-after needs --pty-link, the path that stays\n");
    return 2;
  }
  o->vanish = rig::Outage(times[0], times[1]);
  o->deaf = rig::Outage(times[2], times[3]);
  return -1;
}

void logLine(FILE *log, const char *text) {
  if (!log) return;
  fprintf(log, "%s\n", text);
  fflush(log);
}

void logBytes(FILE *log, const char *direction, const uint8_t *bytes, size_t n) {
  if (!log || n == 0) return;
  fputs(direction, log);
  for (size_t i = 0; i < n; ++i) fprintf(log, " %02X", bytes[i]);
  fputc('\n', log);
  fflush(log);
}

// Bytes in one direction with the time each one is complete on the wire.
struct Timed {
  uint8_t byte;
  Clock::time_point at;
};

class Line {
public:
  Line(const Options &options, FILE *log) : options_(options), log_(log), responder_(options.faults) {}

  // Serves the line until a signal (0) or until no terminal can be made (1).
  int run();

private:
  bool comeUp();
  void goAway();
  void forgetTraffic();
  void receive(Clock::time_point now);
  void processArrived(Clock::time_point now);
  void send(Clock::time_point now);
  Clock::time_point schedule(Clock::time_point now, Clock::time_point *last) const {
    if (!options_.pace) return now;
    *last = std::max(now, *last) + kByteTime;
    return *last;
  }
  // When the line next has something to do: a byte due or an outage switching.
  Clock::time_point nextWake(Clock::time_point start, Clock::time_point now) const;

  const Options &options_;
  FILE *log_;
  rig::Terminal terminal_;
  rig::Responder responder_;
  bool deaf_ = false;
  std::deque<Timed> in_, out_;
  Clock::time_point lastIn_{}, lastOut_{}, lastByte_{};
  rig::Frame frame_{};
  size_t filled_ = 0;
};

bool Line::comeUp() {
  if (!terminal_.open()) return false;
  if (!options_.link.empty() && !rig::publish(terminal_.path(), options_.link)) return false;
  printf("%s\n", terminal_.path().c_str());
  fflush(stdout);
  logLine(log_, ("-- up " + terminal_.path()).c_str());
  return true;
}

void Line::goAway() {
  unlink(options_.link.c_str());
  terminal_.close();
  forgetTraffic();
  logLine(log_, "-- vanished");
}

void Line::forgetTraffic() {
  in_.clear();
  out_.clear();
  filled_ = 0;
}

void Line::receive(Clock::time_point now) {
  uint8_t buf[512];
  for (;;) {
    const ssize_t n = read(terminal_.master(), buf, sizeof buf);
    if (n <= 0) return;
    if (deaf_) continue;  // switched off: what arrives is lost
    for (ssize_t i = 0; i < n; ++i) in_.push_back({buf[i], schedule(now, &lastIn_)});
  }
}

void Line::processArrived(Clock::time_point now) {
  while (!in_.empty() && in_.front().at <= now) {
    const Timed t = in_.front();
    in_.pop_front();
    if (filled_ > 0 && t.at - lastByte_ > kFrameGap) filled_ = 0;
    lastByte_ = t.at;
    frame_[filled_++] = t.byte;
    if (filled_ < frame_.size()) continue;
    filled_ = 0;
    logBytes(log_, "rx", frame_.data(), frame_.size());
    const rig::Bytes answer = responder_.onFrame(frame_);
    logBytes(log_, "tx", answer.data(), answer.size());
    // The answer starts once the frame is in; with pacing each byte then takes its wire time.
    for (uint8_t b : answer) out_.push_back({b, schedule(t.at, &lastOut_)});
  }
}

void Line::send(Clock::time_point now) {
  uint8_t buf[512];
  size_t n = 0;
  while (n < sizeof buf && n < out_.size() && out_[n].at <= now) {
    buf[n] = out_[n].byte;
    ++n;
  }
  if (n == 0) return;
  const ssize_t w = write(terminal_.master(), buf, n);
  // Nobody reading the terminal (its buffer full): what cannot be written is dropped.
  const size_t done = w < 0 ? (errno == EAGAIN ? n : 0) : static_cast<size_t>(w);
  out_.erase(out_.begin(), out_.begin() + static_cast<long>(done));
}

Clock::time_point Line::nextWake(Clock::time_point start, Clock::time_point now) const {
  Clock::time_point next = now + std::chrono::seconds(1);
  if (!in_.empty()) next = std::min(next, in_.front().at);
  if (!out_.empty()) next = std::min(next, out_.front().at);
  const auto since = std::chrono::duration_cast<rig::Outage::Duration>(now - start);
  for (const rig::Outage *outage : {&options_.vanish, &options_.deaf})
    if (outage->configured()) next = std::min(next, start + outage->nextSwitch(since));
  return next;
}

int Line::run() {
  if (!comeUp()) return 1;
  const Clock::time_point start = Clock::now();
  while (!stopRequested) {
    const Clock::time_point now = Clock::now();
    const auto since = std::chrono::duration_cast<rig::Outage::Duration>(now - start);
    const bool gone = options_.vanish.down(since);
    if (gone && terminal_.isOpen()) goAway();
    if (!gone && !terminal_.isOpen() && !comeUp()) return 1;
    if (options_.deaf.down(since) != deaf_) {
      deaf_ = !deaf_;
      if (deaf_) forgetTraffic();
      logLine(log_, deaf_ ? "-- deaf" : "-- answering");
    }
    if (terminal_.isOpen()) {
      processArrived(now);
      send(now);
    }
    const auto wait = std::max<Clock::duration>(nextWake(start, now) - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    const timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    pollfd p{terminal_.master(), POLLIN, 0};
    const int r = ppoll(&p, terminal_.isOpen() ? 1 : 0, &timeout, nullptr);
    if (r < 0 && errno != EINTR) return 1;
    if (r > 0 && (p.revents & POLLIN)) receive(Clock::now());
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  const int status = parseOptions(argc, argv, &options);
  if (status >= 0) return status;

  FILE *log = nullptr;
  if (!options.log.empty() && !(log = fopen(options.log.c_str(), "we"))) {
    perror("tessaly-rig: --log");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int rc;
  {
    Line line(options, log);
    rc = line.run();
  }
  if (!options.link.empty()) unlink(options.link.c_str());
  if (log) fclose(log);
  return rc;
}
