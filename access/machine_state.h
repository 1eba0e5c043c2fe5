// State that every program of one user shares: the client counter and the raw
// engine status of each client's last request. It lives in a POSIX shared
// memory object (named by the environment variable LUMBRA_SHM_NAME when set,
// else "/lumbra-<uid>") and is changed under a process-shared robust mutex, so
// a program that dies while holding it does not block the others, and one
// that holds it too long (stopped, hung) makes the others' calls fail after
// the wait limit instead of hanging them. When shared memory is unavailable,
// the state falls back to memory of this process; when the object is not
// private to the user (another user made it first) it is refused: no client
// number is handed out and a line on stderr names the object.
#ifndef LUMBRA_ACCESS_MACHINE_STATE_H
#define LUMBRA_ACCESS_MACHINE_STATE_H

#include <cstdint>
#include <string>

namespace lumbra {

constexpr int kMaxClient = 127;

// Advances a client counter: at 127 or more it restarts at 0, then it counts
// up by one. Returns the new client number (1..127).
uint8_t advance_client_counter(uint8_t &counter);

// The client number that a file id or client value selects (its high byte).
inline uint8_t client_of(int id) { return static_cast<uint8_t>((id >> 8) & 0xFF); }

// Hands out the next client number from the shared counter; 0 when the
// shared state is refused or its mutex was held beyond the wait limit.
uint8_t machine_next_client();

// The raw status stored for a client (0 for a client number above 127).
uint8_t machine_last_status(uint8_t client);

// Stores the raw status of a client's last request (ignored above 127).
void machine_set_last_status(uint8_t client, uint8_t status);

// The name of the shared memory object this process uses.
std::string machine_state_name();

}  // namespace lumbra

#endif
