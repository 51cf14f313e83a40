#include <algorithm>
#include <map>
#include <memory>

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
        perSector_(parts.sectors.entriesPerSector()) {}

  Status Run();

 private:
  Status Load();
  Status CheckOwnership(Ownership& owners, Ownership& miniOwners);
  Status LayOutNormal(std::uint32_t& start);
  Status LayOutMini(std::uint32_t& start);
  void FreeOldChain();
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

  // The tables as on disk, loaded whole.
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> fatSectors_;
  std::vector<std::uint32_t> miniFat_;
  std::vector<std::uint32_t> miniFatSectors_;
  std::vector<std::uint32_t> miniStreamSectors_;
  std::vector<std::uint32_t> oldChain_;  // sectors, or mini sectors for a small stream

  std::unique_ptr<SectorAllocator> sectors_;
  std::unique_ptr<MiniAllocator> mini_;
};

Status Planner::Load() {
  const Header& header = parts_.header;
  if (Status loaded = parts_.difat.LoadAll(); !loaded.ok()) return loaded;
  fatSectors_.resize(header.fatSectorCount);
  for (std::uint32_t i = 0; i < header.fatSectorCount; ++i) {
    if (Status located = parts_.difat.FatSectorAt(i, fatSectors_[i]); !located.ok()) return located;
  }
  std::vector<std::uint32_t> sorted = fatSectors_;
  std::sort(sorted.begin(), sorted.end());
  if (auto twice = std::adjacent_find(sorted.begin(), sorted.end()); twice != sorted.end()) {
    return Status::Corrupt("the DIFAT lists sector " + std::to_string(*twice) +
                           " as two different FAT sectors");
  }
  if (Status loaded = parts_.fat.LoadAll(fat_); !loaded.ok()) return loaded;
  if (miniInvolved_) {
    if (Status loaded = parts_.miniFat->LoadAll(miniFat_, miniFatSectors_, miniStreamSectors_);
        !loaded.ok()) {
      return loaded;
    }
  }
  if (oldPlace_ == Place::kNone) return {};
  const bool mini = oldPlace_ == Place::kMini;
  AllocationTable& table = mini ? static_cast<AllocationTable&>(*parts_.miniFat) : parts_.fat;
  const std::uint64_t unitSize = mini ? kMiniSectorSize : parts_.sectors.size();
  Chain chain(table, entry_.start, owner_);
  if (Status walked = chain.ToEnd(oldChain_); !walked.ok()) return walked;
  if (oldChain_.size() < UnitsFor(entry_.size, unitSize)) {
    return Status::Corrupt(owner_ + " holds " + std::to_string(entry_.size) +
                           " bytes but its chain has only " + std::to_string(oldChain_.size()) +
                           " " + std::string(table.UnitName()) + "s");
  }
  return {};
}

Status Planner::CheckOwnership(Ownership& owners, Ownership& miniOwners) {
  const Header& header = parts_.header;
  const Directory& directory = parts_.directory;
  for (std::uint32_t sector : fatSectors_) owners.Mark(sector, Ownership::kFatOwner);
  for (std::uint32_t sector : parts_.difat.chain()) owners.Mark(sector, Ownership::kDifatOwner);
  owners.Walk(header.firstDirectorySector, Ownership::kDirectoryOwner);
  if (header.miniFatSectorCount > 0)
    owners.Walk(header.firstMiniFatSector, Ownership::kMiniFatOwner);
  if (directory.root().size > 0) owners.Walk(directory.root().start, 0);
  for (std::uint32_t i = 0; i < directory.size(); ++i) {
    const DirEntry entry = directory.entry(i);
    if (!entry.inTree || entry.type != EntryType::kStream) continue;
    switch (PlaceOf(entry.size)) {
      case Place::kNormal:
        owners.Walk(entry.start, i);
        break;
      case Place::kMini:
        miniOwners.Walk(entry.start, i);
        break;
      case Place::kNone:
        break;
    }
  }

  struct Owned {
    const std::vector<std::uint32_t>& units;
    std::uint32_t owner;
    const char* text;
  };
  std::vector<Owned> touched{{fatSectors_, Ownership::kFatOwner, "the FAT"},
                             {parts_.difat.chain(), Ownership::kDifatOwner, "the DIFAT"},
                             {directory.sectors(), Ownership::kDirectoryOwner, "the directory"}};
  if (miniInvolved_) {
    touched.push_back({miniFatSectors_, Ownership::kMiniFatOwner, "the mini FAT"});
    touched.push_back({miniStreamSectors_, 0, "the mini stream"});
  }
  if (oldPlace_ == Place::kNormal) touched.push_back({oldChain_, index_, owner_.c_str()});
  for (const Owned& chain : touched) {
    if (Status owned = owners.CheckOwned(chain.units, chain.owner, chain.text, "sector");
        !owned.ok()) {
      return owned;
    }
  }
  if (oldPlace_ == Place::kMini)
    return miniOwners.CheckOwned(oldChain_, index_, owner_, "mini sector");
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

void Planner::FreeOldChain() {
  if (oldPlace_ == Place::kNormal) {
    for (std::uint32_t sector : oldChain_) sectors_->Set(sector, kFreeSector);
  } else if (oldPlace_ == Place::kMini) {
    for (std::uint32_t miniSector : oldChain_) mini_->Set(miniSector, kFreeSector);
  }
}

Status Planner::LayOutNormal(std::uint32_t& start) {
  const std::uint32_t sectorSize = parts_.sectors.size();
  const std::uint64_t count = UnitsFor(bytes_.size(), sectorSize);
  // The stream keeps its own sectors, rewritten in place, as far as they go.
  const std::size_t kept =
      oldPlace_ == Place::kNormal ? std::min<std::size_t>(oldChain_.size(), count) : 0;
  std::vector<std::uint32_t> chain(oldChain_.begin(),
                                   oldChain_.begin() + static_cast<std::ptrdiff_t>(kept));
  FreeOldChain();  // the kept sectors are linked again below
  while (chain.size() < count) {
    std::uint32_t sector = 0;
    if (Status taken = sectors_->Take(sector); !taken.ok()) return taken;
    chain.push_back(sector);
  }
  for (std::size_t i = 0; i < chain.size(); ++i) {
    sectors_->Set(chain[i], i + 1 < chain.size() ? chain[i + 1] : kEndOfChain);
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
  FreeOldChain();
  while (chain.size() < count) {
    std::uint32_t miniSector = 0;
    if (Status taken = mini_->Take(miniSector); !taken.ok()) return taken;
    chain.push_back(miniSector);
  }
  for (std::size_t i = 0; i < chain.size(); ++i) {
    mini_->Set(chain[i], i + 1 < chain.size() ? chain[i + 1] : kEndOfChain);
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
  for (std::size_t i = 0; i < sectors_->fatSectors().size(); ++i) {
    std::vector<std::uint32_t> entries = Slice(sectors_->fat(), i, perSector_);
    if (i < fatSectors_.size() && entries == Slice(fat_, i, perSector_)) continue;
    out_.plan.Add(WriteStage::kTables, sectors.Offset(sectors_->fatSectors()[i]),
                  EncodeEntries(entries));
  }
  const auto& original = parts_.difat.contents();
  for (std::size_t i = 0; i < sectors_->difatChain().size(); ++i) {
    const std::vector<std::uint32_t>& entries = sectors_->difatContents()[i];
    if (i < original.size() && entries == original[i]) continue;
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
  Ownership owners(fat_, parts_.sectors.count());
  Ownership miniOwners(miniFat_, parts_.miniFat->UnitsPresent());
  if (Status owned = CheckOwnership(owners, miniOwners); !owned.ok()) return owned;

  out_.header = parts_.header;
  sectors_ = std::make_unique<SectorAllocator>(fat_, owners, fatSectors_, parts_.difat.chain(),
                                               parts_.difat.contents(), out_.header, perSector_);
  if (miniInvolved_) {
    const DirEntry root = parts_.directory.root();
    mini_ = std::make_unique<MiniAllocator>(miniFat_, miniOwners, miniFatSectors_,
                                            miniStreamSectors_, root.start, root.size, *sectors_,
                                            out_.header, parts_.sectors.size());
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
      FreeOldChain();
      if (oldPlace_ != Place::kNone) start = kEndOfChain;
      break;
  }
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
