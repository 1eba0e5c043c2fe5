// The numbered-notes tables of the sharing tests: SEQ, six digits, at items
// 1..6 and a NOTE of a test's chosen width from item 7 (raised offsets), so
// that a record's number and its text can be checked after other processes
// changed the file. Also a child process with an engine of its own.
#ifndef TESSALY_TESTS_SUPPORT_NOTE_RECORDS_H
#define TESSALY_TESTS_SUPPORT_NOTE_RECORDS_H

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/data_fixture.h"

// Record n's key text.
inline std::string note_seq(int n) {
  char text[8];
  snprintf(text, sizeof text, "%06d", n);
  return text;
}

// `text` blank-padded to `width`.
inline std::string note_text(const std::string &text, size_t width) {
  return text + std::string(width - text.size(), ' ');
}

// Writes record n noting `text`; the engine's status.
inline int store_note(Table &t, int n, const std::string &text, size_t width) {
  t.clear();
  t.put(1, note_seq(n));
  t.put(7, note_text(text, width));
  return t.op(FHOP_WRITE);
}

// Runs `body` in a child process; true when it exited 0.
template <class Body>
bool in_child(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif  // TESSALY_TESTS_SUPPORT_NOTE_RECORDS_H
