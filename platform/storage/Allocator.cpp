#include "platform/storage/Allocator.h"

#include <algorithm>
#include <string>

#include "platform/storage/Format.h"
#include "platform/storage/Stream.h"
#include "platform/storage/Structures.h"

namespace tavrin::storage {

std::string OwnerText(const Directory& directory, std::uint32_t owner) {
  switch (owner) {
    case 0:
      return "the mini stream";
    case kDifatOwner:
      return "the DIFAT";
    case kDirectoryOwner:
      return "the directory";
    case kMiniFatOwner:
      return "the mini FAT";
    default:
      return DescribeStream(directory, owner);
  }
}

Status Claims::Claim(std::span<const std::uint32_t> chain, std::uint32_t owner,
                     std::string_view ownerText) {
  names_.emplace(owner, std::string(ownerText));
  for (std::uint32_t sector : chain) {
    auto [at, inserted] = owners_.emplace(sector, owner);
    if (!inserted && at->second != owner) {
      return Status::Corrupt("sector " + std::to_string(sector) + " of " + std::string(ownerText) +
                             " is also part of " + names_.at(at->second));
    }
  }
  return {};
}

Status Claims::CheckStart(std::uint32_t start, std::uint32_t owner,
                          std::string_view ownerText) const {
  const auto at = owners_.find(start);
  if (at == owners_.end() || at->second == owner) return {};
  return Status::Corrupt(std::string(ownerText) + " starts at sector " + std::to_string(start) +
                         ", which is part of " + names_.at(at->second));
}

ChainStarts::ChainStarts(const Structures& parts) {
  const Header& header = parts.header;
  const Directory& directory = parts.directory;
  starts_.push_back({header.firstDirectorySector, kDirectoryOwner});
  if (header.miniFatSectorCount > 0) starts_.push_back({header.firstMiniFatSector, kMiniFatOwner});
  if (header.difatSectorCount > 0) starts_.push_back({header.firstDifatSector, kDifatOwner});
  for (std::uint32_t i = 0; i < directory.size(); ++i) {
    const DirEntry entry = directory.entry(i);
    // The root's chain is the mini stream; a small stream's start is a mini
    // sector, and an empty one's names nothing.
    const bool chained = i == 0
                             ? entry.size > 0
                             : entry.type == EntryType::kStream && entry.size >= kMiniStreamCutoff;
    if (entry.inTree && chained) starts_.push_back({entry.start, i});
  }
  std::stable_sort(starts_.begin(), starts_.end(),
                   [](const Start& a, const Start& b) { return a.sector < b.sector; });
}

std::optional<std::uint32_t> ChainStarts::OwnerAt(std::uint32_t sector) const {
  const auto at =
      std::lower_bound(starts_.begin(), starts_.end(), sector,
                       [](const Start& s, std::uint32_t value) { return s.sector < value; });
  if (at == starts_.end() || at->sector != sector) return std::nullopt;
  return at->owner;
}

MiniOwnership::MiniOwnership(const std::vector<std::uint32_t>& miniFat, std::uint64_t present,
                             const Directory& directory)
    : table_(miniFat),
      directory_(directory),
      present_(present),
      owners_(std::max<std::size_t>(miniFat.size(), static_cast<std::size_t>(present)), kNobody) {}

void MiniOwnership::Walk(std::uint32_t start, std::uint32_t owner) {
  // Every step either stops or marks a unit nobody owned, so the walk ends.
  for (std::uint32_t unit = start; unit < present_ && unit < table_.size();) {
    if (owners_[unit] != kNobody) {
      if (owners_[unit] != owner) owners_[unit] = kShared;
      return;
    }
    owners_[unit] = owner;
    unit = table_[unit];
  }
}

Status MiniOwnership::CheckOwned(const std::vector<std::uint32_t>& chain, std::uint32_t owner,
                                 std::string_view ownerText) const {
  for (std::uint32_t unit : chain) {
    const std::uint32_t found = unit < owners_.size() ? owners_[unit] : kNobody;
    if (found == owner) continue;
    const std::string other = found == kShared   ? "more than one other chain"
                              : found == kNobody ? "no chain at all"
                                                 : "another chain";
    return Status::Corrupt("mini sector " + std::to_string(unit) + " of " + std::string(ownerText) +
                           " is also reached by " + other);
  }
  return {};
}

Status MiniOwnership::Available(std::uint32_t unit, bool& available) const {
  available = false;
  // Walks mark only units inside the mini stream and the mini FAT.
  if (unit < owners_.size() && owners_[unit] != kNobody) {
    if (table_[unit] != kFreeSector) return {};
    const std::string reacher =
        owners_[unit] == kShared ? "more than one chain" : OwnerText(directory_, owners_[unit]);
    return Status::Corrupt("mini sector " + std::to_string(unit) +
                           " is marked free in the mini FAT, but " + reacher + " reaches it");
  }
  available = unit >= present_ || unit >= table_.size() || table_[unit] == kFreeSector;
  return {};
}

SectorAllocator::SectorAllocator(Structures& parts, const Claims& claims, const ChainStarts& starts,
                                 Header& header)
    : parts_(parts),
      claims_(claims),
      starts_(starts),
      header_(header),
      perSector_(parts.sectors.entriesPerSector()),
      pastEnd_(parts.sectors.count()) {}

Status SectorAllocator::BlockOf(std::uint32_t sector, Block*& block) {
  const std::uint32_t index = sector / perSector_;
  if (index >= header_.fatSectorCount) {
    return Status::Corrupt("sector " + std::to_string(sector) + " has no FAT entry: the " +
                           std::to_string(header_.fatSectorCount) + " FAT sectors cover " +
                           std::to_string(std::uint64_t{header_.fatSectorCount} * perSector_));
  }
  if (auto found = blocks_.find(index); found != blocks_.end()) {
    block = &found->second;
    return {};
  }
  // Blocks past the file's own FAT are made by AddFatSector, so this one is
  // on disk.
  Block loaded;
  if (Status located = parts_.difat.FatSectorAt(index, loaded.location); !located.ok()) {
    return located;
  }
  if (Status read = parts_.fat.SectorEntries(index, loaded.original); !read.ok()) return read;
  loaded.entries = loaded.original;
  const std::uint64_t first = std::uint64_t{index} * perSector_;
  for (std::uint32_t i = 0; i < perSector_; ++i) {
    const std::uint64_t candidate = first + i;
    if (loaded.original[i] == kFreeSector && candidate < parts_.sectors.count() &&
        !claims_.Claimed(static_cast<std::uint32_t>(candidate))) {
      free_.insert(static_cast<std::uint32_t>(candidate));
    }
  }
  block = &blocks_.emplace(index, std::move(loaded)).first->second;
  return {};
}

Status SectorAllocator::Get(std::uint32_t sector, std::uint32_t& value) {
  Block* block = nullptr;
  if (Status found = BlockOf(sector, block); !found.ok()) return found;
  value = block->entries[sector % perSector_];
  return {};
}

Status SectorAllocator::Original(std::uint32_t sector, std::uint32_t& value) {
  Block* block = nullptr;
  if (Status found = BlockOf(sector, block); !found.ok()) return found;
  value = block->original[sector % perSector_];
  return {};
}

Status SectorAllocator::Set(std::uint32_t sector, std::uint32_t value) {
  Block* block = nullptr;
  if (Status found = BlockOf(sector, block); !found.ok()) return found;
  block->entries[sector % perSector_] = value;
  return {};
}

Status SectorAllocator::NextFree(std::uint32_t& sector) {
  // A sector the file marks free can be on no valid chain; one freed by this
  // change is never in `free_`, so nothing the file on disk still points at
  // is overwritten before the change is complete. Table sectors are not
  // chains: a writer that left one marked free must not lose it to data.
  if (!free_.empty()) {
    if (Status known = LoadTableLocations(); !known.ok()) return known;
    while (!free_.empty()) {
      const std::uint32_t candidate = *free_.begin();
      free_.erase(free_.begin());
      if (tableLocations_.count(candidate) != 0) continue;
      if (const std::optional<std::uint32_t> owner = starts_.OwnerAt(candidate)) {
        return Status::Corrupt("sector " + std::to_string(candidate) +
                               " is marked free in the FAT, but it is where " +
                               OwnerText(parts_.directory, *owner) + " starts");
      }
      // The link into a sector mostly lies in the FAT sector that covers the
      // one before it, which may not be read yet.
      if (candidate % perSector_ == 0 && candidate > 0) {
        Block* before = nullptr;
        if (Status read = BlockOf(candidate - 1, before); !read.ok()) return read;
      }
      takenFree_.insert(candidate);
      sector = candidate;
      return {};
    }
  }
  if (pastEnd_ > kMaxRegularSector) {
    return {STG_E_MEDIUMFULL, "the file has run out of sector numbers"};
  }
  sector = static_cast<std::uint32_t>(pastEnd_++);
  return {};
}

Status SectorAllocator::LoadTableLocations() {
  if (tableLocationsLoaded_) return {};
  if (parts_.header.difatSectorCount > 0) {
    if (Status loaded = LoadDifat(); !loaded.ok()) return loaded;
  }
  const Header& onDisk = parts_.header;
  for (std::uint32_t i = 0; i < std::min<std::uint32_t>(onDisk.fatSectorCount, kHeaderDifatSlots);
       ++i) {
    tableLocations_.insert(onDisk.difat[i]);
  }
  const std::uint32_t perDifat = perSector_ - 1;
  for (std::size_t i = 0; i < originalDifatSectors_; ++i) {
    tableLocations_.insert(difatChain_[i]);
    for (std::uint32_t k = 0; k < perDifat; ++k) tableLocations_.insert(difatContents_[i][k]);
  }
  tableLocationsLoaded_ = true;
  return {};
}

Status SectorAllocator::LoadDifat() {
  if (difatLoaded_) return {};
  if (Status loaded = parts_.difat.LoadAll(); !loaded.ok()) return loaded;
  difatChain_ = parts_.difat.chain();
  difatContents_ = parts_.difat.contents();
  originalDifatSectors_ = difatChain_.size();
  difatLoaded_ = true;
  return {};
}

Status SectorAllocator::AddFatSector() {
  std::uint32_t where = 0;
  if (Status found = NextFree(where); !found.ok()) return found;
  const std::uint32_t index = header_.fatSectorCount;
  Block fresh;
  fresh.location = where;
  fresh.original.assign(perSector_, kFreeSector);
  fresh.entries = fresh.original;
  fresh.fresh = true;
  blocks_.emplace(index, std::move(fresh));
  pendingMarks_[where] = kFatSector;
  ++header_.fatSectorCount;
  if (index < kHeaderDifatSlots) {
    header_.difat[index] = where;
    return {};
  }
  if (Status loaded = LoadDifat(); !loaded.ok()) return loaded;
  const std::uint32_t perDifat = perSector_ - 1;
  const std::size_t slot = index - kHeaderDifatSlots;
  if (slot / perDifat >= difatChain_.size()) {
    std::uint32_t difatSector = 0;
    if (Status found = NextFree(difatSector); !found.ok()) return found;
    std::vector<std::uint32_t> contents(perSector_, kFreeSector);
    contents[perDifat] = kEndOfChain;
    if (difatChain_.empty()) {
      header_.firstDifatSector = difatSector;
    } else {
      difatContents_.back()[perDifat] = difatSector;
    }
    difatChain_.push_back(difatSector);
    difatContents_.push_back(std::move(contents));
    ++header_.difatSectorCount;
    pendingMarks_[difatSector] = kDifatSector;
  }
  difatContents_[slot / perDifat][slot % perDifat] = where;
  return {};
}

Status SectorAllocator::Take(std::uint32_t& sector) {
  if (Status found = NextFree(sector); !found.ok()) return found;
  // New FAT and DIFAT sectors need FAT entries of their own, which may need
  // yet another FAT sector; each adds far more entries than it uses.
  for (;;) {
    const std::uint64_t reach = std::uint64_t{header_.fatSectorCount} * perSector_;
    for (auto mark = pendingMarks_.begin(); mark != pendingMarks_.end();) {
      if (mark->first < reach) {
        if (Status set = Set(mark->first, mark->second); !set.ok()) return set;
        mark = pendingMarks_.erase(mark);
      } else {
        ++mark;
      }
    }
    if (sector < reach && pendingMarks_.empty()) return {};
    if (Status grown = AddFatSector(); !grown.ok()) return grown;
  }
}

Status SectorAllocator::CheckNothingLeadsInto() {
  // What the change writes over that the FAT on disk does not mark as a
  // chain's: the free sectors it took, and the table sectors it rewrites.
  std::map<std::uint32_t, std::string> targets;
  for (std::uint32_t sector : takenFree_) targets.emplace(sector, "marked free in the FAT");
  std::vector<std::uint32_t> tables;
  for (const auto& [index, block] : blocks_) {
    if (block.fresh || block.entries == block.original) continue;
    tables.push_back(block.location);
    targets.emplace(block.location, "FAT sector " + std::to_string(index) + ", rewritten");
  }
  for (std::size_t i = 0; difatLoaded_ && i < originalDifatSectors_; ++i) {
    if (difatContents_[i] == parts_.difat.contents()[i]) continue;
    tables.push_back(difatChain_[i]);
    targets.emplace(difatChain_[i], "DIFAT sector " + std::to_string(i) + ", rewritten");
  }
  if (targets.empty()) return {};
  // As in NextFree: the link into a sector mostly lies in the FAT sector
  // that covers the one before it.
  for (std::uint32_t table : tables) {
    if (table == 0 || (table - 1) / perSector_ >= header_.fatSectorCount) continue;
    Block* before = nullptr;
    if (Status read = BlockOf(table - 1, before); !read.ok()) return read;
  }
  const std::uint32_t present = parts_.sectors.count();
  for (const auto& [index, block] : blocks_) {
    if (block.fresh) continue;
    for (std::uint32_t i = 0; i < perSector_; ++i) {
      const std::uint64_t sector = std::uint64_t{index} * perSector_ + i;
      const auto target = targets.find(block.original[i]);
      if (sector >= present || target == targets.end()) continue;
      return Status::Corrupt("sector " + std::to_string(target->first) + " is " + target->second +
                             " by the change, but sector " + std::to_string(sector) +
                             " leads to it: a chain still runs through it");
    }
  }
  return {};
}

MiniAllocator::MiniAllocator(std::vector<std::uint32_t> miniFat, const MiniOwnership& ownership,
                             std::vector<std::uint32_t> tableSectors,
                             std::vector<std::uint32_t> streamSectors, std::uint32_t streamTail,
                             std::uint32_t streamStart, std::uint64_t streamSize,
                             SectorAllocator& sectors, Header& header, std::uint32_t sectorSize)
    : ownership_(ownership),
      miniFat_(std::move(miniFat)),
      tableSectors_(std::move(tableSectors)),
      streamSectors_(std::move(streamSectors)),
      streamTail_(streamTail),
      streamStart_(streamStart),
      streamSize_(streamSize),
      sectors_(sectors),
      header_(header),
      sectorSize_(sectorSize) {}

Status MiniAllocator::Take(std::uint32_t& miniSector) {
  for (;; ++cursor_) {
    if (cursor_ > kMaxRegularSector) {
      return {STG_E_MEDIUMFULL, "the mini stream has run out of sector numbers"};
    }
    bool available = false;
    if (Status checked = ownership_.Available(static_cast<std::uint32_t>(cursor_), available);
        !checked.ok()) {
      return checked;
    }
    if (available) break;
  }
  miniSector = static_cast<std::uint32_t>(cursor_++);

  // Each new sector of the mini FAT or the mini stream is linked from the
  // last one, or from the header or the root entry when it is the first, and
  // leads on to whatever followed that.
  const auto append = [this](std::vector<std::uint32_t>& chain, std::uint32_t& first,
                             std::uint32_t then) -> Status {
    std::uint32_t sector = 0;
    if (Status taken = sectors_.Take(sector); !taken.ok()) return taken;
    if (chain.empty()) {
      first = sector;
    } else if (Status linked = sectors_.Set(chain.back(), sector); !linked.ok()) {
      return linked;
    }
    if (Status ended = sectors_.Set(sector, then); !ended.ok()) return ended;
    chain.push_back(sector);
    return {};
  };
  while (miniSector >= miniFat_.size()) {
    if (Status grown = append(tableSectors_, header_.firstMiniFatSector, kEndOfChain);
        !grown.ok()) {
      return grown;
    }
    ++header_.miniFatSectorCount;
    miniFat_.resize(miniFat_.size() + sectorSize_ / 4, kFreeSector);
  }
  const std::uint64_t end = (static_cast<std::uint64_t>(miniSector) + 1) * kMiniSectorSize;
  while (static_cast<std::uint64_t>(streamSectors_.size()) * sectorSize_ < end) {
    if (Status grown = append(streamSectors_, streamStart_, streamTail_); !grown.ok()) return grown;
  }
  if (end > streamSize_) streamSize_ = end;
  return {};
}

}  // namespace tavrin::storage
