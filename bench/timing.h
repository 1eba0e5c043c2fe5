// Small measuring helpers shared by the benchmark programs.
#ifndef TESSALY_BENCH_TIMING_H
#define TESSALY_BENCH_TIMING_H

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>

// Seconds elapsed since t0.
inline double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Runs a measurement that returns seconds three times and keeps the shortest,
// so one run disturbed by the machine does not decide a figure. `measure` must
// set up what it needs afresh each time (a new file, a cold cache).
constexpr int kBestOfRuns = 3;
template <class Measure>
double best_of_three(Measure measure) {
  double best = measure();
  for (int run = 1; run < kBestOfRuns; ++run) best = std::min(best, measure());
  return best;
}

// Size of a file in bytes, 0 when it is missing.
inline long long file_size(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

#endif
