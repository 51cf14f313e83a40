#pragma once
// FaultySystemCalls whose crash is a power cut: at the crash, whatever was
// written to a file since its last fsync is lost, garbled or partly kept,
// and a file made or removed since its folder's last fsync may come undone.
// Only what the code under test flushed, in the order it flushed it, is sure
// to be there afterwards, which is what proves its flushes are in the right
// places.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/FaultySystemCalls.h"

namespace tavrin::fixture {

class PowerCutSystemCalls : public FaultySystemCalls {
 public:
  enum class Loss {
    kLost,     // nothing unflushed survives
    kGarbled,  // every unflushed write leaves noise where it went; made and removed files stay so
    kPartlyKept,  // each unflushed write, and each unflushed making or removal, survives or not
  };

  explicit PowerCutSystemCalls(Loss loss, std::uint32_t seed = 1) : loss_(loss), random_(seed) {}

  int Open(const char* path, int flags, mode_t mode) override;
  ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) override;
  int Sync(int fd) override;
  int Truncate(int fd, off_t length) override;
  int Unlink(const char* path) override;

 private:
  // A write of `bytes` at `offset`, or a cut to the length `offset`.
  struct Unflushed {
    bool cut = false;
    std::uint64_t offset = 0;
    std::string bytes;
  };
  struct Tracked {
    std::string flushed;   // the content as of the last fsync
    bool inFolder = true;  // whether the folder's entry for it is on disk
    std::vector<Unflushed> unflushed;
  };

  // The file's record, begun on first sight with what is there then: a test
  // starts from files that are on disk for good.
  Tracked& Track(const std::string& path);
  bool Keep() { return loss_ == Loss::kGarbled || (loss_ == Loss::kPartlyKept && random_() % 2); }
  void OnCrash() override;

  Loss loss_;
  std::mt19937 random_;
  std::map<std::string, Tracked> files_;
};

// The machine as it comes back from a power cut: the real calls, in a boot
// of its own.
class RestartedSystemCalls : public storage::SystemCalls {
 public:
  int BootId(std::string& id) override {
    id = "a boot after the power cut";
    return 0;
  }
};

}  // namespace tavrin::fixture
