#pragma once
// How far a run over many files has come, on standard error, only when that
// is a terminal: one line, redrawn in place at most ten times a second,
// cleared before any message.

#include <chrono>
#include <cstddef>
#include <string_view>

namespace tavrin::cli {

class Progress {
 public:
  // Shown only when `wanted` and standard error is a terminal.
  Progress(std::size_t total, bool wanted);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // File `done` + 1 of the total, `path`, is being worked on.
  void Working(std::size_t done, std::string_view path);
  // Takes the line away, so that what is printed next starts a line.
  void Clear();

 private:
  std::size_t total_;
  bool shown_;
  bool drawn_ = false;
  bool everDrawn_ = false;
  std::chrono::steady_clock::time_point lastDrawn_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace tavrin::cli
