#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>

#include "platform/storage/Allocator.h"
#include "platform/storage/Stream.h"

namespace tavrin::storage {

namespace {

enum class Place { kNone, kMini, kNormal };

Place PlaceOf(std::uint64_t size) {
  if (size == 0) return Place::kNone;
  return size < kMiniStreamCutoff ? Place::kMini : Place::kNormal;
}

// Unit `i` of `bytes`, zero-padded to `unitSize`.
std::string UnitOf(std::string_view bytes, std::size_t i, std::size_t unitSize) {
  std::string unit(unitSize, '\0');
  const std::size_t at = i * unitSize;
  bytes.substr(at, unitSize).copy(unit.data(), unitSize);
  return unit;
}

// Moves what `chain` holds past the `needed` units its stream's size needs
// into `tail`.
void SplitTail(std::vector<std::uint32_t>& chain, std::uint64_t needed,
               std::vector<std::uint32_t>& tail) {
  if (chain.size() <= needed) return;
  tail.assign(chain.begin() + static_cast<std::ptrdiff_t>(needed), chain.end());
  chain.resize(static_cast<std::size_t>(needed));
}

// The entries of table sector `index` out of a whole table.
std::vector<std::uint32_t> Slice(const std::vector<std::uint32_t>& table, std::size_t index,
                                 std::size_t perSector) {
  const auto from = table.begin() + static_cast<std::ptrdiff_t>(index * perSector);
  return {from, from + static_cast<std::ptrdiff_t>(perSector)};
}

class Planner {
 public:
  Planner(Structures& parts, std::uint32_t index, std::string_view bytes, Replacement& out)
      : parts_(parts),
        index_(index),
        bytes_(bytes),
        out_(out),
        entry_(parts.directory.entry(index)),
        owner_(DescribeStream(parts.directory, index)),
        oldPlace_(PlaceOf(entry_.size)),
        newPlace_(PlaceOf(bytes.size())),
        miniInvolved_(oldPlace_ == Place::kMini || newPlace_ == Place::kMini),
        perSector_(parts.sectors.entriesPerSector()),
        starts_(parts) {}

  Status Run();

 private:
  Status Load();
  Status Claim();
  Status CheckStarts() const;
  Status CheckNothingRunsIn(const std::vector<std::uint32_t>& chain,
                            const std::vector<std::uint32_t>& tail, const std::string& owner);
  Status CheckNotCutShort();
  Status CheckMiniOwnership(MiniOwnership& miniOwners);
  Status LayOutNormal(std::uint32_t& start);
  Status LayOutMini(std::uint32_t& start);
  Status FreeOldChain();
  // Every FAT and DIFAT sector the change rewrites must be one the file
  // marks as such, outside every claimed chain.
  Status CheckRewrittenTables();
  // True when the `meaningful` leading bytes at `offset` already hold `unit`.
  Status AlreadyOnDisk(std::uint64_t offset, const std::string& unit, std::size_t meaningful,
                       bool& same) const;
  void PlanTables();
  void PlanDirectory(std::uint32_t start);

  Structures& parts_;
  const std::uint32_t index_;
  const std::string_view bytes_;
  Replacement& out_;
  const DirEntry entry_;
  const std::string owner_;
  const Place oldPlace_;
  const Place newPlace_;
  const bool miniInvolved_;
  const std::uint32_t perSector_;
  const ChainStarts starts_;

  // The mini FAT as on disk, loaded whole when a small stream is involved:
  // it is bounded by the small streams, not by the document.
  std::vector<std::uint32_t> miniFat_;
  std::vector<std::uint32_t> miniFatSectors_;
  // Each chain as far as its stream's size needs, and where it runs on past
  // that (see Allocator.h).
  std::vector<std::uint32_t> miniStreamSectors_;
  std::vector<std::uint32_t> miniStreamTail_;
  std::vector<std::uint32_t> oldChain_;  // sectors, or mini sectors for a small stream
  std::vector<std::uint32_t> oldTail_;

  Claims claims_;
  std::unique_ptr<SectorAllocator> sectors_;
  std::unique_ptr<MiniAllocator> mini_;
};

Status Planner::Load() {
  const DirEntry root = parts_.directory.root();
  if (miniInvolved_) {
    if (Status loaded = parts_.miniFat->LoadAll(miniFat_, miniFatSectors_, miniStreamSectors_);
        !loaded.ok()) {
      return loaded;
    }
  } else if (root.size > 0) {
    // Not changed, but claimed all the same: the small streams all live in
    // it, and it is bounded by them, not by the document. A stream whose
    // sectors it ran into would change every small stream there.
    Chain chain(parts_.fat, root.start, "the mini stream");
    if (Status walked = chain.ToEnd(miniStreamSectors_); !walked.ok()) return walked;
  }
  // The mini stream grows into sectors put in before its tail, never into
  // the tail.
  SplitTail(miniStreamSectors_, UnitsFor(root.size, parts_.sectors.size()), miniStreamTail_);
  if (oldPlace_ == Place::kNone) return {};
  const bool mini = oldPlace_ == Place::kMini;
  AllocationTable& table = mini ? static_cast<AllocationTable&>(*parts_.miniFat) : parts_.fat;
  const std::uint64_t unitSize = mini ? kMiniSectorSize : parts_.sectors.size();
  Chain chain(table, entry_.start, owner_);
  if (Status walked = chain.ToEnd(oldChain_); !walked.ok()) return walked;
  const std::uint64_t needed = UnitsFor(entry_.size, unitSize);
  if (oldChain_.size() < needed) {
    return Status::Corrupt(owner_ + " holds " + std::to_string(entry_.size) +
                           " bytes but its chain has only " + std::to_string(oldChain_.size()) +
                           " " + std::string(table.UnitName()) + "s");
  }
  SplitTail(oldChain_, needed, oldTail_);
  return {};
}

Status Planner::Claim() {
  const Directory& directory = parts_.directory;
  if (Status claimed = claims_.Claim(directory.sectors(), kDirectoryOwner, "the directory");
      !claimed.ok()) {
    return claimed;
  }
  if (miniInvolved_) {
    if (Status claimed = claims_.Claim(miniFatSectors_, kMiniFatOwner, "the mini FAT");
        !claimed.ok()) {
      return claimed;
    }
  }
  for (const auto* part : {&miniStreamSectors_, &miniStreamTail_}) {
    if (Status claimed = claims_.Claim(*part, 0, "the mini stream"); !claimed.ok()) return claimed;
  }
  if (oldPlace_ != Place::kNormal) return {};
  for (const auto* part : {&oldChain_, &oldTail_}) {
    if (Status claimed = claims_.Claim(*part, index_, owner_); !claimed.ok()) return claimed;
  }
  return {};
}

// No chain the file names may begin inside a chain the change touches. The
// header's and the directory's chain starts are all at hand, so this costs
// nothing that grows with the document.
Status Planner::CheckStarts() const {
  const Directory& directory = parts_.directory;
  for (const ChainStarts::Start& start : starts_.all()) {
    if (!claims_.Claimed(start.sector)) continue;
    if (Status ok =
            claims_.CheckStart(start.sector, start.owner, OwnerText(directory, start.owner));
        !ok.ok()) {
      return ok;
    }
  }
  for (std::uint32_t i = 1; i < directory.size(); ++i) {
    const DirEntry entry = directory.entry(i);
    if (!entry.inTree || entry.type != EntryType::kStream ||
        PlaceOf(entry.size) != Place::kNormal) {
      continue;
    }
    // A file cut short loses its last streams first. A stream that starts
    // past the end, or needs more sectors than the file has, shows the cut
    // without a walk of its chain, and no change goes into a file that has
    // lost part of itself.
    const std::uint32_t present = parts_.sectors.count();
    if (entry.start >= present || UnitsFor(entry.size, parts_.sectors.size()) > present) {
      return Status::Corrupt("the file is cut short: " + DescribeStream(directory, i) +
                             " starts at sector " + SectorText(entry.start) + " and holds " +
                             std::to_string(entry.size) + " bytes, but the file has " +
                             std::to_string(present) + " sectors");
    }
  }
  return {};
}

// Past the end of a whole file the FAT holds free entries, or the lone
// end-of-chain marks some writers leave there. A link to another sector, a
// table sector's mark, or the end of a chain the file's last sector leads
// into, means the file lost sectors in use when it was cut short: two FAT
// entries tell, where finding which stream lost them would take a walk of
// every chain. (A cut that takes only the last sector of a chain laid out
// elsewhere is not seen here; reading that stream still fails.)
Status Planner::CheckNotCutShort() {
  const std::uint32_t firstMissing = parts_.sectors.count();
  if (firstMissing == 0 ||
      std::uint64_t{parts_.header.fatSectorCount} * perSector_ <= firstMissing) {
    return {};
  }
  // Past the header's 109 FAT sectors (documents over some 7 MB), the FAT
  // sector that tells sits at the end of the DIFAT, one sector of it per
  // 8 MB of document: reading that far would make a change cost more as the
  // document grows. Such a file's cut is seen through its streams' starts
  // and sizes, and its streams' own reads.
  if (firstMissing / perSector_ >= kHeaderDifatSlots && !sectors_->difatLoaded()) return {};
  std::uint32_t entry = kFreeSector;
  if (Status read = sectors_->Original(firstMissing, entry); !read.ok()) return read;
  if (entry == kFreeSector) return {};
  if (entry == kEndOfChain) {
    std::uint32_t before = kFreeSector;
    if (Status read = sectors_->Original(firstMissing - 1, before); !read.ok()) return read;
    if (before != firstMissing) return {};
  }
  return Status::Corrupt("the file is cut short: it ends before sector " +
                         std::to_string(firstMissing) + ", which the FAT marks as used (" +
                         SectorText(entry) + ")");
}

// A chain that runs on past its stream's end keeps that tail as it is (see
// Allocator.h), so a stream the tail runs into is not disturbed. But the
// same length is what a chain that starts inside another stream has, running
// on to that stream's end, and the change rewrites sectors that stream
// reads. No other entry may lead into such a chain. Only the FAT sectors its
// own walk read are searched, where such a link mostly lies: the whole FAT
// would cost the change as much as the document is large.
Status Planner::CheckNothingRunsIn(const std::vector<std::uint32_t>& chain,
                                   const std::vector<std::uint32_t>& tail,
                                   const std::string& owner) {
  if (tail.empty()) return {};
  // Each sector of the chain, and the one before it there (none: a value no
  // sector has).
  std::unordered_map<std::uint32_t, std::uint32_t> before;
  std::set<std::uint32_t> tables;
  std::uint32_t previous = kEndOfChain;
  for (const auto* part : {&chain, &tail}) {
    for (std::uint32_t sector : *part) {
      before.emplace(sector, previous);
      tables.insert(sector / perSector_);
      previous = sector;
    }
  }
  const std::uint32_t present = parts_.sectors.count();
  std::vector<std::uint32_t> entries;
  for (std::uint32_t index : tables) {
    if (Status read = parts_.fat.SectorEntries(index, entries); !read.ok()) return read;
    for (std::uint32_t i = 0; i < perSector_; ++i) {
      const std::uint64_t sector = std::uint64_t{index} * perSector_ + i;
      const auto link = before.find(entries[i]);
      if (sector >= present || link == before.end() || link->second == sector) continue;
      return Status::Corrupt(owner + " runs on past what its size needs (" +
                             std::to_string(chain.size()) + " sectors) to " +
                             std::to_string(chain.size() + tail.size()) + ", and sector " +
                             std::to_string(sector) + ", outside it, also leads to its sector " +
                             std::to_string(entries[i]) + ": another chain runs into it");
    }
  }
  return {};
}

Status Planner::CheckMiniOwnership(MiniOwnership& miniOwners) {
  const Directory& directory = parts_.directory;
  for (std::uint32_t i = 0; i < directory.size(); ++i) {
    const DirEntry entry = directory.entry(i);
    if (!entry.inTree || entry.type != EntryType::kStream || PlaceOf(entry.size) != Place::kMini) {
      continue;
    }
    miniOwners.Walk(entry.start, i);
  }
  if (oldPlace_ != Place::kMini) return {};
  for (const auto* part : {&oldChain_, &oldTail_}) {
    if (Status owned = miniOwners.CheckOwned(*part, index_, owner_); !owned.ok()) return owned;
  }
  return {};
}

Status Planner::CheckRewrittenTables() {
  // A chain that starts at a table sector reads the table as its data, and
  // a rewritten table would change it; the DIFAT's own start is one of them.
  const auto chainStartingAt = [this](std::uint32_t sector) -> std::optional<std::string> {
    const std::optional<std::uint32_t> owner = starts_.OwnerAt(sector);
    if (!owner || *owner == kDifatOwner) return std::nullopt;
    return OwnerText(parts_.directory, *owner);
  };
  for (const auto& [index, block] : sectors_->blocks()) {
    if (block.fresh || block.entries == block.original) continue;
    const std::string what =
        "FAT sector " + std::to_string(index) + " (sector " + std::to_string(block.location) + ")";
    if (claims_.Claimed(block.location)) {
      return Status::Corrupt(what + " is also part of a chain the change touches");
    }
    if (std::optional<std::string> other = chainStartingAt(block.location)) {
      return Status::Corrupt(what + " is where " + *other + " starts");
    }
    std::uint32_t mark = 0;
    if (Status read = sectors_->Original(block.location, mark); !read.ok()) return read;
    if (mark != kFatSector) {
      return Status::Corrupt(what + " has FAT entry " + SectorText(mark) +
                             " where a FAT sector's mark must be");
    }
  }
  if (!sectors_->difatLoaded()) return {};
  for (std::size_t i = 0; i < sectors_->originalDifatSectors(); ++i) {
    const std::uint32_t location = sectors_->difatChain()[i];
    if (sectors_->difatContents()[i] == parts_.difat.contents()[i]) continue;
    std::uint32_t mark = 0;
    if (Status read = sectors_->Original(location, mark); !read.ok()) return read;
    if (claims_.Claimed(location) || mark != kDifatSector || chainStartingAt(location)) {
      return Status::Corrupt("DIFAT sector " + std::to_string(i) + " (sector " +
                             std::to_string(location) + ") is not marked as one in the FAT");
    }
  }
  return {};
}

Status Planner::AlreadyOnDisk(std::uint64_t offset, const std::string& unit, std::size_t meaningful,
                              bool& same) const {
  std::string current(meaningful, '\0');
  std::size_t got = 0;
  if (Status read = parts_.file.ReadAt(offset, current.data(), meaningful, got); !read.ok()) {
    return read;
  }
  same = got == meaningful && unit.compare(0, meaningful, current) == 0;
  return {};
}

// A tail stays as it is: where the stream keeps a chain it goes on after the
// stream's last unit; where it leaves its place, nothing leads to the tail any
// more, and its units are lost to later changes rather than risked.
Status Planner::FreeOldChain() {
  if (oldPlace_ == Place::kNormal) {
    for (std::uint32_t sector : oldChain_) {
      if (Status freed = sectors_->Set(sector, kFreeSector); !freed.ok()) return freed;
    }
  } else if (oldPlace_ == Place::kMini) {
    for (std::uint32_t miniSector : oldChain_) mini_->Set(miniSector, kFreeSector);
  }
  return {};
}

Status Planner::LayOutNormal(std::uint32_t& start) {
  const std::uint32_t sectorSize = parts_.sectors.size();
  const std::uint64_t count = UnitsFor(bytes_.size(), sectorSize);
  // The stream keeps its own sectors, rewritten in place, as far as they go.
  const std::size_t kept =
      oldPlace_ == Place::kNormal ? std::min<std::size_t>(oldChain_.size(), count) : 0;
  std::vector<std::uint32_t> chain(oldChain_.begin(),
                                   oldChain_.begin() + static_cast<std::ptrdiff_t>(kept));
  // The kept sectors are linked again below.
  if (Status freed = FreeOldChain(); !freed.ok()) return freed;
  while (chain.size() < count) {
    std::uint32_t sector = 0;
    if (Status taken = sectors_->Take(sector); !taken.ok()) return taken;
    chain.push_back(sector);
  }
  const std::uint32_t then =
      oldPlace_ == Place::kNormal && !oldTail_.empty() ? oldTail_.front() : kEndOfChain;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (Status linked = sectors_->Set(chain[i], i + 1 < chain.size() ? chain[i + 1] : then);
        !linked.ok()) {
      return linked;
    }
  }
  for (std::size_t i = 0; i < chain.size(); ++i) {
    std::string unit = UnitOf(bytes_, i, sectorSize);
    const std::uint64_t offset = parts_.sectors.Offset(chain[i]);
    if (i < kept) {
      bool same = false;
      const std::size_t meaningful =
          std::min<std::size_t>(sectorSize, bytes_.size() - i * sectorSize);
      if (Status read = AlreadyOnDisk(offset, unit, meaningful, same); !read.ok()) return read;
      if (same) continue;
    }
    out_.plan.Add(WriteStage::kData, offset, std::move(unit));
  }
  start = chain.front();
  return {};
}

Status Planner::LayOutMini(std::uint32_t& start) {
  const std::uint32_t sectorSize = parts_.sectors.size();
  const std::uint64_t count = UnitsFor(bytes_.size(), kMiniSectorSize);
  const std::size_t kept =
      oldPlace_ == Place::kMini ? std::min<std::size_t>(oldChain_.size(), count) : 0;
  std::vector<std::uint32_t> chain(oldChain_.begin(),
                                   oldChain_.begin() + static_cast<std::ptrdiff_t>(kept));
  if (Status freed = FreeOldChain(); !freed.ok()) return freed;
  while (chain.size() < count) {
    std::uint32_t miniSector = 0;
    if (Status taken = mini_->Take(miniSector); !taken.ok()) return taken;
    chain.push_back(miniSector);
  }
  const std::uint32_t then =
      oldPlace_ == Place::kMini && !oldTail_.empty() ? oldTail_.front() : kEndOfChain;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    mini_->Set(chain[i], i + 1 < chain.size() ? chain[i + 1] : then);
  }

  // Mini sectors in sectors the mini stream already had are written where
  // they are; sectors the mini stream grew by are written whole, zero where
  // no mini sector is in use yet.
  const std::size_t existing = miniStreamSectors_.size();
  std::map<std::size_t, std::string> grown;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    std::string unit = UnitOf(bytes_, i, kMiniSectorSize);
    const std::uint64_t position = static_cast<std::uint64_t>(chain[i]) * kMiniSectorSize;
    const auto sectorIndex = static_cast<std::size_t>(position / sectorSize);
    const auto within = static_cast<std::size_t>(position % sectorSize);
    if (sectorIndex >= existing) {
      std::string& sector = grown[sectorIndex];
      sector.resize(sectorSize, '\0');
      sector.replace(within, kMiniSectorSize, unit);
      continue;
    }
    const std::uint64_t offset = parts_.sectors.Offset(miniStreamSectors_[sectorIndex]) + within;
    if (i < kept) {
      bool same = false;
      const std::size_t meaningful =
          std::min<std::size_t>(kMiniSectorSize, bytes_.size() - i * kMiniSectorSize);
      if (Status read = AlreadyOnDisk(offset, unit, meaningful, same); !read.ok()) return read;
      if (same) continue;
    }
    out_.plan.Add(WriteStage::kData, offset, std::move(unit));
  }
  const std::vector<std::uint32_t>& streamSectors = mini_->streamSectors();
  for (std::size_t i = existing; i < streamSectors.size(); ++i) {
    std::string& sector = grown[i];
    sector.resize(sectorSize, '\0');
    out_.plan.Add(WriteStage::kData, parts_.sectors.Offset(streamSectors[i]), std::move(sector));
  }
  start = chain.front();
  return {};
}

void Planner::PlanTables() {
  const Sectors& sectors = parts_.sectors;
  // New mini FAT sectors before the FAT links that reach them, new FAT
  // sectors before the DIFAT that lists them.
  if (mini_) {
    const std::vector<std::uint32_t>& table = mini_->miniFat();
    for (std::size_t i = 0; i < mini_->tableSectors().size(); ++i) {
      std::vector<std::uint32_t> entries = Slice(table, i, perSector_);
      if (i < miniFatSectors_.size() && entries == Slice(miniFat_, i, perSector_)) continue;
      out_.plan.Add(WriteStage::kTables, sectors.Offset(mini_->tableSectors()[i]),
                    EncodeEntries(entries));
    }
  }
  for (const auto& [index, block] : sectors_->blocks()) {
    if (!block.fresh && block.entries == block.original) continue;
    out_.plan.Add(WriteStage::kTables, sectors.Offset(block.location),
                  EncodeEntries(block.entries));
  }
  if (!sectors_->difatLoaded()) return;
  for (std::size_t i = 0; i < sectors_->difatChain().size(); ++i) {
    const std::vector<std::uint32_t>& entries = sectors_->difatContents()[i];
    if (i < sectors_->originalDifatSectors() && entries == parts_.difat.contents()[i]) continue;
    out_.plan.Add(WriteStage::kTables, sectors.Offset(sectors_->difatChain()[i]),
                  EncodeEntries(entries));
  }
}

void Planner::PlanDirectory(std::uint32_t start) {
  const Directory& directory = parts_.directory;
  std::string target = directory.Encode(index_, start, bytes_.size());
  if (target != directory.Raw(index_)) {
    out_.plan.Add(WriteStage::kDirectory, directory.OffsetOf(index_), target);
    out_.entries.emplace_back(index_, std::move(target));
  }
  const DirEntry root = directory.root();
  if (mini_ && (mini_->streamStart() != root.start || mini_->streamSize() != root.size)) {
    std::string encoded = directory.Encode(0, mini_->streamStart(), mini_->streamSize());
    out_.plan.Add(WriteStage::kDirectory, directory.OffsetOf(0), encoded);
    out_.entries.emplace_back(0, std::move(encoded));
  }
}

Status Planner::Run() {
  if (Status loaded = Load(); !loaded.ok()) return loaded;
  if (Status claimed = Claim(); !claimed.ok()) return claimed;
  if (Status starts = CheckStarts(); !starts.ok()) return starts;
  if (Status alone = CheckNothingRunsIn(miniStreamSectors_, miniStreamTail_, "the mini stream");
      !alone.ok()) {
    return alone;
  }
  if (oldPlace_ == Place::kNormal) {
    if (Status alone = CheckNothingRunsIn(oldChain_, oldTail_, owner_); !alone.ok()) return alone;
  }
  MiniOwnership miniOwners(miniFat_, parts_.miniFat->UnitsPresent(), parts_.directory);
  if (miniInvolved_) {
    if (Status owned = CheckMiniOwnership(miniOwners); !owned.ok()) return owned;
  }

  out_.header = parts_.header;
  sectors_ = std::make_unique<SectorAllocator>(parts_, claims_, starts_, out_.header);
  if (Status whole = CheckNotCutShort(); !whole.ok()) return whole;
  if (miniInvolved_) {
    const DirEntry root = parts_.directory.root();
    mini_ = std::make_unique<MiniAllocator>(
        miniFat_, miniOwners, miniFatSectors_, miniStreamSectors_,
        miniStreamTail_.empty() ? kEndOfChain : miniStreamTail_.front(), root.start, root.size,
        *sectors_, out_.header, parts_.sectors.size());
  }

  std::uint32_t start = entry_.start;
  switch (newPlace_) {
    case Place::kNormal:
      if (Status laid = LayOutNormal(start); !laid.ok()) return laid;
      break;
    case Place::kMini:
      if (Status laid = LayOutMini(start); !laid.ok()) return laid;
      break;
    case Place::kNone:
      if (Status freed = FreeOldChain(); !freed.ok()) return freed;
      if (oldPlace_ != Place::kNone) start = kEndOfChain;
      break;
  }
  if (Status unreached = sectors_->CheckNothingLeadsInto(); !unreached.ok()) return unreached;
  if (Status tables = CheckRewrittenTables(); !tables.ok()) return tables;
  PlanTables();
  PlanDirectory(start);
  std::string header = out_.header.Encode();
  if (header != parts_.header.raw) out_.plan.Add(WriteStage::kHeader, 0, std::move(header));
  return {};
}

}  // namespace

Status PlanReplacement(Structures& parts, std::uint32_t index, std::string_view bytes,
                       Replacement& out) {
  const Directory& directory = parts.directory;
  if (index >= directory.size() || !directory.entry(index).inTree ||
      directory.entry(index).type != EntryType::kStream) {
    return {STG_E_INVALIDPARAMETER, "entry " + std::to_string(index) + " is not a stream"};
  }
  if (directory.narrowSizes() && bytes.size() > 0xFFFFFFFFu) {
    return {STG_E_MEDIUMFULL, "a version-3 stream holds less than 4 GiB"};
  }
  return Planner(parts, index, bytes, out).Run();
}

}  // namespace tavrin::storage
