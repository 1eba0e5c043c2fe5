// Small measuring helpers shared by the benchmark programs.
#ifndef TESSALY_BENCH_TIMING_H
#define TESSALY_BENCH_TIMING_H

#include <sys/stat.h>

#include <chrono>
#include <string>

// Seconds elapsed since t0.
inline double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Size of a file in bytes, 0 when it is missing.
inline long long file_size(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

#endif
