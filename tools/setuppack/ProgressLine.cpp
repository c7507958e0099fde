#include "ProgressLine.h"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace setuppack {

ProgressLine::ProgressLine(bool wanted, uint64_t files, uint64_t bytes)
    : shown_(wanted && isatty(fileno(stderr))), totalFiles_(files), totalBytes_(bytes),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

ProgressLine::~ProgressLine() {
  if (shown_) std::fprintf(stderr, "\r\033[K");
}

void ProgressLine::Add(uint64_t files, uint64_t bytes) {
  files_ += files;
  bytes_ += bytes;
  const auto now = std::chrono::steady_clock::now();
  // The last state is shown too, however fast it came.
  if (!shown_ || (now - last_ < std::chrono::milliseconds(200) && files_ < totalFiles_)) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? bytes_ / seconds : 0;
  const double left = rate > 0 ? (totalBytes_ - bytes_) / rate : 0;
  constexpr double kMiB = 1024.0 * 1024.0;
  std::fprintf(stderr, "\r\033[K%llu/%llu files, %.1f/%.1f MiB, %.1f MiB/s, %d:%02d left",
               static_cast<unsigned long long>(files_), static_cast<unsigned long long>(totalFiles_), bytes_ / kMiB,
               totalBytes_ / kMiB, rate / kMiB, static_cast<int>(left) / 60, static_cast<int>(left) % 60);
  std::fflush(stderr);
}

}  // namespace setuppack
