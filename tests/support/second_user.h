// Runs part of a test as another local user, the way `setpriv --reuid=65534
// --regid=65534 --clear-groups` starts a program: a child process drops its
// supplementary groups, then its group and user ids, and runs the body. The
// tests run as root; elsewhere such tests skip themselves.
#ifndef TESSALY_TESTS_SUPPORT_SECOND_USER_H
#define TESSALY_TESTS_SUPPORT_SECOND_USER_H

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

// The user id of "nobody", who owns nothing of the test's.
constexpr uid_t kSecondUser = 65534;

inline bool can_switch_users() { return geteuid() == 0; }

// Runs `body` in a child process as kSecondUser; its result is the exit
// code, -1 when the child could not become that user or did not exit.
template <class Body>
int as_second_user(Body body) {
  pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setresgid(kSecondUser, kSecondUser, kSecondUser) != 0 ||
        setresuid(kSecondUser, kSecondUser, kSecondUser) != 0)
      _exit(120);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 120 ? -1 : WEXITSTATUS(status);
}

#endif
