#pragma once
// A change to the file as an explicit list of writes, and the one routine that
// carries it out. Nothing else in the engine writes to a document.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/storage/File.h"

namespace tavrin::storage {

// The order in which the commit routine writes: what a later stage points at
// is on disk before the pointer.
enum class WriteStage {
  kData,       // the stream's sectors: newly taken ones and its own, rewritten
  kTables,     // mini FAT, DIFAT and FAT sectors
  kDirectory,  // the stream's entry, and the root's when the mini stream changed
  kHeader,     // only when its counts or DIFAT slots changed
};

struct PlannedWrite {
  WriteStage stage;
  std::uint64_t offset;
  std::string bytes;
};

class WritePlan {
 public:
  explicit WritePlan(std::uint64_t originalLength) : originalLength_(originalLength) {}

  // Adds a write; one that continues the previous write of the same stage
  // joins it, so a run of neighbouring sectors costs one call.
  void Add(WriteStage stage, std::uint64_t offset, std::string bytes);

  const std::vector<PlannedWrite>& writes() const { return writes_; }
  bool empty() const { return writes_.empty(); }
  // The file's length before the change: a rollback cuts it back to this.
  std::uint64_t originalLength() const { return originalLength_; }
  // The file's length once the plan is written.
  std::uint64_t finalLength() const;
  std::uint64_t bytesToWrite() const;

 private:
  std::uint64_t originalLength_;
  std::vector<PlannedWrite> writes_;
};

// What a commit did. When it failed, `documentTouched` tells whether any byte
// of the document may have changed on the way; if so, it was rolled back from
// the journal, or the journal was left for the next open to roll it back.
struct CommitResult {
  Status status;
  bool documentTouched = false;
};

// THE COMMIT ROUTINE. Journals the bytes the plan overwrites, writes the plan
// stage by stage, flushes the file and removes the journal. A failure before
// the document is touched refuses the change; one after it puts the
// document back as it was.
CommitResult CommitPlan(File& file, const WritePlan& plan);

}  // namespace tavrin::storage
