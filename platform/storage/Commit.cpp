#include "platform/storage/Commit.h"

#include <algorithm>
#include <array>

#include "platform/storage/Journal.h"

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

namespace {

// What the document holds, now, wherever the plan will write inside its
// present length, and what the plan writes there; whatever lies past it goes
// when the length is cut back. With them, which file this is and the boot
// it is changed in, so that the journal is never taken for another file's.
Status SaveOriginals(File& file, const WritePlan& plan, JournalContent& originals) {
  originals.document = IdentityOf(file);
  originals.boot = CurrentBoot();
  originals.originalLength = plan.originalLength();
  originals.finalLength = plan.finalLength();
  for (const PlannedWrite& write : plan.writes()) {
    if (write.offset >= plan.originalLength()) continue;
    SavedRegion region;
    region.offset = write.offset;
    region.bytes.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(write.bytes.size(), plan.originalLength() - write.offset)));
    region.intended =
        BlockChecks(write.offset, std::string_view(write.bytes).substr(0, region.bytes.size()));
    std::size_t got = 0;
    if (Status read = file.ReadAt(write.offset, region.bytes.data(), region.bytes.size(), got);
        !read.ok()) {
      return read;
    }
    if (got != region.bytes.size()) {
      return {STG_E_READFAULT, "the file ends at offset " + std::to_string(write.offset + got) +
                                   ", before the length it had when the change was planned"};
    }
    originals.regions.push_back(std::move(region));
  }
  return {};
}

Status WriteInStageOrder(File& file, const WritePlan& plan) {
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

// After `failure`, puts the document back from the originals held in memory
// (the same bytes the journal holds) and removes the journal; if that fails
// too, the journal stays for the next open.
Status RollBack(File& file, const JournalContent& originals, const Status& failure) {
  Status undone = RestoreDocument(file, originals);
  if (undone.ok()) undone = RemoveJournal(file);
  if (undone.ok()) return {failure.code(), failure.text() + "; the document was put back"};
  return {failure.code(), failure.text() + "; putting the document back failed too (" +
                              undone.text() + "), so its journal is left for the next open"};
}

}  // namespace

// ---------------------------------------------------------------------------
// THE COMMIT POINT. Every byte the engine ever writes to a document passes
// through this routine. First the bytes it will overwrite go to the journal,
// which is on disk, sealed, before the document is touched. Then the plan is
// written in stage order (new data into sectors nothing points at yet, then
// the tables that point at them, then the directory, then the header) and
// the document is flushed. Removing the journal makes the change final: a
// crash at any moment before that leaves a journal that the next open rolls
// back, and a crash after it leaves the change complete on disk.
// ---------------------------------------------------------------------------
CommitResult CommitPlan(File& file, const WritePlan& plan) {
  JournalContent originals;
  if (Status saved = SaveOriginals(file, plan, originals); !saved.ok()) return {saved, false};
  if (Status journaled = WriteJournal(file, originals); !journaled.ok()) return {journaled, false};

  Status written = WriteInStageOrder(file, plan);
  if (written.ok()) {
    const std::string journal = JournalPathFor(file.path());
    Status removed = RemoveFile(journal);
    // A journal someone else removed makes the change just as final.
    if (removed.ok() || removed.code() == STG_E_FILENOTFOUND) {
      if (Status synced = SyncFolder(FolderOf(journal)); !synced.ok()) {
        return {{synced.code(), synced.text() + "; the change is written, but a power cut "
                                                "before the folder reaches the disk undoes it"},
                true};
      }
      return {{}, true};
    }
    // The journal stays, and the next open would roll the change back: do it
    // now, so that the document is what the journal says it is.
    written = removed;
  }
  return {RollBack(file, originals, written), true};
}

}  // namespace tavrin::storage
