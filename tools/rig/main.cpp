// tessaly-rig: a simulated CAT transceiver on a pseudo-terminal.
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "tools/rig/responder.h"

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
      "terminal to open (first line of stdout), then answers every 5-byte frame:\n"
      "a command frame is echoed; the execute frame 00 00 00 00 0B after it makes\n"
      "the transceiver carry out the command and send its reply (148 bytes for\n"
      "00, 5 for 08, 22 for 0A, 1 for 04 and 05). Runs until SIGINT or SIGTERM.\n"
      "\n"
      "  --pty-link PATH      also make PATH a symbolic link to the terminal\n"
      "  --pace               send and receive at the wire speed of 4800 baud 8N2\n"
      "  --log FILE           write every frame received (\"rx ..\") and every\n"
      "                       answer sent (\"tx ..\") to FILE as hex, one per line\n"
      "  --wrong-echo N       echo every Nth command with its first byte changed\n"
      "  --lose-echo N        do not echo every Nth command\n"
      "  --stray-bytes N      send 3 stray bytes before every Nth echo\n"
      "  --short-reply N      send only the first half of every Nth reply\n"
      "  --help               show this help and exit\n"
      "\n"
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

struct Options {
  std::string link;
  std::string log;
  bool pace = false;
  rig::Faults faults;
};

// Returns -1 to go on, else the exit status.
int parseOptions(int argc, char **argv, Options *o) {
  enum { kLink = 1, kPace, kLog, kWrong, kLose, kStray, kShort, kHelp };
  static const option kLong[] = {{"pty-link", required_argument, nullptr, kLink},
                                 {"pace", no_argument, nullptr, kPace},
                                 {"log", required_argument, nullptr, kLog},
                                 {"wrong-echo", required_argument, nullptr, kWrong},
                                 {"lose-echo", required_argument, nullptr, kLose},
                                 {"stray-bytes", required_argument, nullptr, kStray},
                                 {"short-reply", required_argument, nullptr, kShort},
                                 {"help", no_argument, nullptr, kHelp},
                                 {nullptr, 0, nullptr, 0}};
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
      case kHelp: usage(stdout); return 0;
      default: ok = false;
    }
    if (!ok) {
      if (c != '?') fprintf(stderr, "tessaly-rig: bad count '%s'\n", optarg);
      usage(stderr);
      return 2;
    }
  }
  if (optind < argc) {
    fprintf(stderr, "tessaly-rig: unexpected argument '%s'\n", argv[optind]);
    return 2;
  }
  return -1;
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
  Line(int master, bool pace, FILE *log, const rig::Faults &faults)
      : master_(master), pace_(pace), log_(log), responder_(faults) {}

  int run();

private:
  void receive(Clock::time_point now);
  void processArrived(Clock::time_point now);
  void send(Clock::time_point now);
  Clock::time_point schedule(Clock::time_point now, Clock::time_point *last) const {
    if (!pace_) return now;
    *last = std::max(now, *last) + kByteTime;
    return *last;
  }

  int master_;
  bool pace_;
  FILE *log_;
  rig::Responder responder_;
  std::deque<Timed> in_, out_;
  Clock::time_point lastIn_{}, lastOut_{}, lastByte_{};
  rig::Frame frame_{};
  size_t filled_ = 0;
};

void Line::receive(Clock::time_point now) {
  uint8_t buf[512];
  for (;;) {
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) return;
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
  const ssize_t w = write(master_, buf, n);
  // Nobody reading the terminal (its buffer full): what cannot be written is dropped.
  const size_t done = w < 0 ? (errno == EAGAIN ? n : 0) : static_cast<size_t>(w);
  out_.erase(out_.begin(), out_.begin() + static_cast<long>(done));
}

int Line::run() {
  while (!stopRequested) {
    const Clock::time_point now = Clock::now();
    processArrived(now);
    send(now);
    Clock::time_point next = Clock::time_point::max();
    if (!in_.empty()) next = std::min(next, in_.front().at);
    if (!out_.empty()) next = std::min(next, out_.front().at);
    timespec timeout{1, 0};
    if (next != Clock::time_point::max()) {
      const auto wait = std::max<Clock::duration>(next - Clock::now(), Clock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      timeout = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    }
    pollfd p{master_, POLLIN, 0};
    const int r = ppoll(&p, 1, &timeout, nullptr);
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

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0 || grantpt(master) < 0 || unlockpt(master) < 0) {
    perror("tessaly-rig: pseudo-terminal");
    return 1;
  }
  const std::string path = ptsname(master);
  // Holding the other end open keeps the terminal up between clients (no
  // hang-up on the master) and lets it start in raw mode.
  const int slave = open(path.c_str(), O_RDWR | O_NOCTTY);
  termios tio{};
  if (slave < 0 || tcgetattr(slave, &tio) < 0) {
    perror("tessaly-rig: pseudo-terminal");
    return 1;
  }
  cfmakeraw(&tio);
  cfsetspeed(&tio, B4800);
  tio.c_cflag |= CSTOPB | CLOCAL | CREAD;
  tcsetattr(slave, TCSANOW, &tio);

  if (!options.link.empty()) {
    unlink(options.link.c_str());
    if (symlink(path.c_str(), options.link.c_str()) < 0) {
      perror("tessaly-rig: --pty-link");
      return 1;
    }
  }
  FILE *log = nullptr;
  if (!options.log.empty() && !(log = fopen(options.log.c_str(), "w"))) {
    perror("tessaly-rig: --log");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  printf("%s\n", path.c_str());
  fflush(stdout);

  Line line(master, options.pace, log, options.faults);
  const int rc = line.run();
  if (!options.link.empty()) unlink(options.link.c_str());
  if (log) fclose(log);
  close(slave);
  close(master);
  return rc;
}
