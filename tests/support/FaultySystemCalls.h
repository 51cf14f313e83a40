#pragma once
// A stand-in for the engine's operating-system seam that counts every call
// and can break one: fail the Nth write or flush with an error, write only
// part of it, or stop dead as a crash would (no write from then on reaches the
// file, and the call that hit it throws).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/storage/File.h"

namespace tavrin::fixture {

struct SimulatedCrash : std::runtime_error {
  SimulatedCrash() : std::runtime_error("simulated crash") {}
};

class FaultySystemCalls : public storage::SystemCalls {
 public:
  enum class Fault { kNone, kError, kShortWrite, kCrash };

  // Breaks the `n`th (1-based) call of WriteAt or Sync, counted together.
  void BreakWrite(std::size_t n, Fault fault, int error = 0) {
    breakAt_ = n;
    fault_ = fault;
    error_ = error;
  }

  std::size_t reads() const { return reads_; }
  std::uint64_t bytesRead() const { return bytesRead_; }
  std::size_t writesAndSyncs() const { return writesAndSyncs_; }
  std::uint64_t bytesWritten() const { return bytesWritten_; }
  // Every range written, as (offset, length).
  const std::vector<std::pair<std::uint64_t, std::size_t>>& written() const { return written_; }

  ssize_t ReadAt(int fd, void* buffer, std::size_t count, off_t offset) override;
  ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) override;
  int Sync(int fd) override;

 private:
  // The fault for the call being made, if it is the one to break.
  std::optional<Fault> Hit();

  std::size_t breakAt_ = 0;
  Fault fault_ = Fault::kNone;
  int error_ = 0;
  bool dead_ = false;
  std::size_t reads_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::size_t writesAndSyncs_ = 0;
  std::uint64_t bytesWritten_ = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> written_;
};

}  // namespace tavrin::fixture
