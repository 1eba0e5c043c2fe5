// Terminal: the pseudo-terminal the simulated transceiver serves, and the
// stable path it is published at while terminals come and go.
#ifndef TESSALY_TOOLS_RIG_TERMINAL_H
#define TESSALY_TOOLS_RIG_TERMINAL_H

#include <string>

namespace rig {

// A pseudo-terminal in raw mode at the line's settings. The simulator holds
// its other end open too, which keeps the terminal up between clients (no
// hang-up on the master) and lets it start in raw mode.
class Terminal {
public:
  Terminal() = default;
  Terminal(const Terminal &) = delete;
  Terminal &operator=(const Terminal &) = delete;
  ~Terminal() { close(); }
  // False with the reason on stderr.
  bool open();
  void close();
  bool isOpen() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string &path() const { return path_; }

private:
  int master_ = -1, slave_ = -1;
  std::string path_;
};

// Points `link` at `target` in one step: a client never finds the path missing
// or half made while a new terminal is published.
bool publish(const std::string &target, const std::string &link);

}  // namespace rig

#endif
