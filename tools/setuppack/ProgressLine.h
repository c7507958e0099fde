#pragma once
// The packer's progress on a terminal: files and bytes done of the total,
// the rate and the time left, on one line that is rewritten in place (at
// most five times a second) and cleared at the end. Nothing when standard
// error is not a terminal (a CI log) or when the user asked for quiet.
#include <chrono>
#include <cstdint>

namespace setuppack {

class ProgressLine {
public:
  ProgressLine(bool wanted, uint64_t files, uint64_t bytes);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  void Add(uint64_t files, uint64_t bytes);

private:
  bool shown_;
  uint64_t totalFiles_, totalBytes_, files_ = 0, bytes_ = 0;
  std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace setuppack
