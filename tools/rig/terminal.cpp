#include "tools/rig/terminal.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace rig {

bool Terminal::open() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) < 0 || unlockpt(master_) < 0) {
    perror("tessaly-rig: pseudo-terminal");
    close();
    return false;
  }
  path_ = ptsname(master_);
  slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  if (slave_ < 0 || tcgetattr(slave_, &tio) < 0) {
    perror("tessaly-rig: pseudo-terminal");
    close();
    return false;
  }
  cfmakeraw(&tio);
  cfsetspeed(&tio, B4800);
  tio.c_cflag |= CSTOPB | CLOCAL | CREAD;
  tcsetattr(slave_, TCSANOW, &tio);
  return true;
}

void Terminal::close() {
  // Closing the master hangs up every client that still holds the terminal.
  for (int *fd : {&slave_, &master_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

bool publish(const std::string &target, const std::string &link) {
  const std::string fresh = link + ".new";
  unlink(fresh.c_str());
  if (symlink(target.c_str(), fresh.c_str()) < 0 || rename(fresh.c_str(), link.c_str()) < 0) {
    perror("tessaly-rig: --pty-link");
    unlink(fresh.c_str());
    return false;
  }
  return true;
}

}  // namespace rig
