#include "platform/storage/Allocator.h"

#include <algorithm>
#include <string>

#include "platform/storage/Format.h"

namespace tavrin::storage {

Ownership::Ownership(const std::vector<std::uint32_t>& table, std::uint64_t present)
    : table_(table),
      present_(present),
      owners_(std::max<std::size_t>(table.size(), static_cast<std::size_t>(present)), kNobody) {}

void Ownership::Mark(std::uint32_t unit, std::uint32_t owner) {
  if (unit >= owners_.size()) return;
  std::uint32_t& current = owners_[unit];
  current = current == kNobody || current == owner ? owner : kShared;
}

void Ownership::Walk(std::uint32_t start, std::uint32_t owner) {
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

Status Ownership::CheckOwned(const std::vector<std::uint32_t>& chain, std::uint32_t owner,
                             std::string_view ownerText, std::string_view unitName) const {
  for (std::uint32_t unit : chain) {
    const std::uint32_t found = unit < owners_.size() ? owners_[unit] : kNobody;
    if (found == owner) continue;
    const std::string other = found == kShared   ? "more than one other chain"
                              : found == kNobody ? "no chain at all"
                                                 : "another chain";
    return Status::Corrupt(std::string(unitName) + " " + std::to_string(unit) + " of " +
                           std::string(ownerText) + " is also reached by " + other);
  }
  return {};
}

bool Ownership::Available(std::uint32_t unit) const {
  if (unit < owners_.size() && owners_[unit] != kNobody) return false;
  return unit >= present_ || unit >= table_.size() || table_[unit] == kFreeSector;
}

SectorAllocator::SectorAllocator(std::vector<std::uint32_t> fat, const Ownership& ownership,
                                 std::vector<std::uint32_t> fatSectors,
                                 std::vector<std::uint32_t> difatChain,
                                 std::vector<std::vector<std::uint32_t>> difatContents,
                                 Header& header, std::uint32_t entriesPerSector)
    : ownership_(ownership),
      fat_(std::move(fat)),
      fatSectors_(std::move(fatSectors)),
      difatChain_(std::move(difatChain)),
      difatContents_(std::move(difatContents)),
      header_(header),
      perSector_(entriesPerSector) {}

Status SectorAllocator::NextFree(std::uint32_t& sector) {
  for (;; ++cursor_) {
    if (cursor_ > kMaxRegularSector) {
      return {STG_E_MEDIUMFULL, "the file has run out of sector numbers"};
    }
    const auto candidate = static_cast<std::uint32_t>(cursor_);
    if (ownership_.Available(candidate)) {
      sector = candidate;
      ++cursor_;
      return {};
    }
  }
}

Status SectorAllocator::AddFatSector() {
  std::uint32_t where = 0;
  if (Status found = NextFree(where); !found.ok()) return found;
  const std::size_t index = fatSectors_.size();
  fatSectors_.push_back(where);
  fat_.resize(fat_.size() + perSector_, kFreeSector);
  pendingMarks_[where] = kFatSector;
  ++header_.fatSectorCount;
  if (index < kHeaderDifatSlots) {
    header_.difat[index] = where;
    return {};
  }
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
    for (auto mark = pendingMarks_.begin(); mark != pendingMarks_.end();) {
      if (mark->first < fat_.size()) {
        fat_[mark->first] = mark->second;
        mark = pendingMarks_.erase(mark);
      } else {
        ++mark;
      }
    }
    if (sector < fat_.size() && pendingMarks_.empty()) return {};
    if (Status grown = AddFatSector(); !grown.ok()) return grown;
  }
}

MiniAllocator::MiniAllocator(std::vector<std::uint32_t> miniFat, const Ownership& ownership,
                             std::vector<std::uint32_t> tableSectors,
                             std::vector<std::uint32_t> streamSectors, std::uint32_t streamStart,
                             std::uint64_t streamSize, SectorAllocator& sectors, Header& header,
                             std::uint32_t sectorSize)
    : ownership_(ownership),
      miniFat_(std::move(miniFat)),
      tableSectors_(std::move(tableSectors)),
      streamSectors_(std::move(streamSectors)),
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
    if (ownership_.Available(static_cast<std::uint32_t>(cursor_))) break;
  }
  miniSector = static_cast<std::uint32_t>(cursor_++);

  while (miniSector >= miniFat_.size()) {
    std::uint32_t sector = 0;
    if (Status taken = sectors_.Take(sector); !taken.ok()) return taken;
    if (tableSectors_.empty()) {
      header_.firstMiniFatSector = sector;
    } else {
      sectors_.Set(tableSectors_.back(), sector);
    }
    sectors_.Set(sector, kEndOfChain);
    tableSectors_.push_back(sector);
    ++header_.miniFatSectorCount;
    miniFat_.resize(miniFat_.size() + sectorSize_ / 4, kFreeSector);
  }

  const std::uint64_t end = (static_cast<std::uint64_t>(miniSector) + 1) * kMiniSectorSize;
  while (static_cast<std::uint64_t>(streamSectors_.size()) * sectorSize_ < end) {
    std::uint32_t sector = 0;
    if (Status taken = sectors_.Take(sector); !taken.ok()) return taken;
    if (streamSectors_.empty()) {
      streamStart_ = sector;
    } else {
      sectors_.Set(streamSectors_.back(), sector);
    }
    sectors_.Set(sector, kEndOfChain);
    streamSectors_.push_back(sector);
  }
  if (end > streamSize_) streamSize_ = end;
  return {};
}

}  // namespace tavrin::storage
