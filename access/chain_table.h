// The machine-wide chain tables through which one program hands strings and
// open files to the next program it starts. Each client number has a
// chain-busy byte and two tables of 100 slots, one for strings and one for
// saved files; a slot in use refers to a named POSIX shared memory object
// that holds its bytes, so that a program started later under the same
// client number can read what an earlier one stored.
//
// The tables live in a shared memory object named after the layer's shared
// state (machine_state_name() followed by "-chain"); the block of a slot is
// named "<that name>-<client>-<d or f><slot>". Every change happens under a
// process-shared robust mutex. When the tables cannot be mapped (also when
// another user made their object first) or their mutex stays held beyond the
// wait limit, every function reports failure and stores nothing.
#ifndef LUMBRA_ACCESS_CHAIN_TABLE_H
#define LUMBRA_ACCESS_CHAIN_TABLE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumbra {

constexpr int kChainSlots = 100;
constexpr uint8_t kChainBusy = 255;

enum class ChainKind : char {
  kData = 'd',  // strings of KDBdataput
  kFile = 'f',  // saved file contexts of KDBputfiles
};

// Sets the chain-busy byte of client. False when the tables are unavailable.
bool chain_set_busy(uint8_t client, uint8_t busy);

// The chain-busy byte of client (0 when the tables are unavailable).
uint8_t chain_busy(uint8_t client);

// Stores size bytes of data in a slot, replacing what it held. When the block
// cannot be made the slot is left empty. False then, or when slot is outside
// 0..99 or the tables are unavailable.
bool chain_store(uint8_t client, ChainKind kind, int slot, const void *data, size_t size);

// Reads the bytes of a slot in use. False when the slot is empty or outside
// 0..99, or its block is missing or holds more than max bytes.
bool chain_read(uint8_t client, ChainKind kind, int slot, size_t max, std::string *bytes);

// Removes a slot's block and empties the slot.
void chain_release(uint8_t client, ChainKind kind, int slot);

// Removes every block of client's two tables, empties them and clears the
// chain-busy byte.
void chain_release_all(uint8_t client);

}  // namespace lumbra

#endif
