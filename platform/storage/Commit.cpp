#include "platform/storage/Commit.h"

#include <algorithm>
#include <array>

namespace tavrin::storage {

void WritePlan::Add(WriteStage stage, std::uint64_t offset, std::string bytes) {
  if (bytes.empty()) return;
  if (!writes_.empty()) {
    PlannedWrite& last = writes_.back();
    if (last.stage == stage && last.offset + last.bytes.size() == offset) {
      last.bytes += bytes;
      return;
    }
  }
  writes_.push_back({stage, offset, std::move(bytes)});
}

std::uint64_t WritePlan::finalLength() const {
  std::uint64_t length = originalLength_;
  for (const PlannedWrite& write : writes_) {
    length = std::max<std::uint64_t>(length, write.offset + write.bytes.size());
  }
  return length;
}

std::uint64_t WritePlan::bytesToWrite() const {
  std::uint64_t total = 0;
  for (const PlannedWrite& write : writes_) total += write.bytes.size();
  return total;
}

// ---------------------------------------------------------------------------
// THE COMMIT POINT. Every byte the engine ever writes to a document passes
// through this routine, in stage order: new data into sectors nothing points
// at yet, then the tables that point at them, then the directory, then the
// header, then one fsync. A rollback journal belongs around exactly this
// routine: the plan names every range it is about to overwrite and the
// length to cut back to.
// ---------------------------------------------------------------------------
Status CommitPlan(File& file, const WritePlan& plan) {
  constexpr std::array kOrder{WriteStage::kData, WriteStage::kTables, WriteStage::kDirectory,
                              WriteStage::kHeader};
  for (WriteStage stage : kOrder) {
    for (const PlannedWrite& write : plan.writes()) {
      if (write.stage != stage) continue;
      if (Status written = file.WriteAt(write.offset, write.bytes); !written.ok()) return written;
    }
  }
  return file.Sync();
}

}  // namespace tavrin::storage
