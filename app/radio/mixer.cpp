#include "app/radio/mixer.h"

#include <algorithm>
#include <cmath>

namespace radio {

Channels balancedChannels(long volume, int balance) {
  const double v = static_cast<double>(std::clamp(volume, 0L, 65535L));
  const int b = std::clamp(balance, -100, 100);
  const double right = b >= 0 ? v : v * (b + 100) / 100.0;
  const double left = b < 1 ? v : v * (100 - b) / 100.0;
  return {static_cast<uint32_t>(std::lround(left)), static_cast<uint32_t>(std::lround(right))};
}

}  // namespace radio
