// Little-endian integers as file headers and tables store them.
#ifndef CORVEX_UTIL_BYTES_H
#define CORVEX_UTIL_BYTES_H

#include <stdint.h>

namespace corvex {

inline uint16_t get_u16(const unsigned char *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t get_u32(const unsigned char *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline void put_u16(unsigned char *p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline void put_u32(unsigned char *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace corvex

#endif
