#pragma once
// Where a write finds room. Only sectors (and mini sectors) that were free
// and unclaimed before the change began are taken, lowest first, so nothing
// the file on disk still points at is overwritten with new data; the FAT,
// DIFAT, mini FAT and mini stream grow when nothing free is left.

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "platform/storage/Header.h"
#include "platform/storage/Status.h"

namespace tavrin::storage {

// Which chain each sector (or mini sector) belongs to, found by walking every
// chain the file points at: from the header, the DIFAT and the directory
// entries in the tree. Table entries no live chain reaches are left out, so
// junk some writers leave in unused entries does not count, while a stream
// that runs into another's chain makes the meeting point shared.
class Ownership {
 public:
  static constexpr std::uint32_t kNobody = 0xFFFFFFFFu;
  static constexpr std::uint32_t kShared = 0xFFFFFFFEu;
  // Owners that are not directory entries.
  static constexpr std::uint32_t kFatOwner = 0xFFFFFF00u;
  static constexpr std::uint32_t kDifatOwner = 0xFFFFFF01u;
  static constexpr std::uint32_t kDirectoryOwner = 0xFFFFFF02u;
  static constexpr std::uint32_t kMiniFatOwner = 0xFFFFFF03u;

  // `present`: units that exist (sectors in the file, mini sectors in the
  // mini stream); `table`: their allocation table as on disk.
  Ownership(const std::vector<std::uint32_t>& table, std::uint64_t present);

  void Mark(std::uint32_t unit, std::uint32_t owner);
  // Marks the chain from `start` up to its end marker. A walk stops quietly
  // at anything it cannot follow, or at a unit already owned: that chain is
  // not ours to judge unless the change touches it, and then its own checked
  // walk has already refused it.
  void Walk(std::uint32_t start, std::uint32_t owner);

  // Refuses a chain the change will rewrite or extend unless each of its
  // units belongs to it alone.
  Status CheckOwned(const std::vector<std::uint32_t>& chain, std::uint32_t owner,
                    std::string_view ownerText, std::string_view unitName) const;
  // Whether a change may take the unit for new data: no chain owns it, and
  // the table marks it free or it lies past the units that exist.
  bool Available(std::uint32_t unit) const;

 private:
  const std::vector<std::uint32_t>& table_;
  std::uint64_t present_;
  std::vector<std::uint32_t> owners_;
};

// The FAT side of a change: a working copy of the whole FAT and of the DIFAT,
// and the header fields that count them.
class SectorAllocator {
 public:
  SectorAllocator(std::vector<std::uint32_t> fat, const Ownership& ownership,
                  std::vector<std::uint32_t> fatSectors, std::vector<std::uint32_t> difatChain,
                  std::vector<std::vector<std::uint32_t>> difatContents, Header& header,
                  std::uint32_t entriesPerSector);

  // A sector that was free before the change, with the FAT grown to cover it.
  Status Take(std::uint32_t& sector);
  // Sets the working FAT entry of a sector that exists or was taken.
  void Set(std::uint32_t sector, std::uint32_t value) { fat_[sector] = value; }

  const std::vector<std::uint32_t>& fat() const { return fat_; }
  const std::vector<std::uint32_t>& fatSectors() const { return fatSectors_; }
  const std::vector<std::uint32_t>& difatChain() const { return difatChain_; }
  const std::vector<std::vector<std::uint32_t>>& difatContents() const { return difatContents_; }

 private:
  Status NextFree(std::uint32_t& sector);
  Status AddFatSector();

  const Ownership& ownership_;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> fatSectors_;
  std::vector<std::uint32_t> difatChain_;
  std::vector<std::vector<std::uint32_t>> difatContents_;
  Header& header_;
  std::uint32_t perSector_;
  std::uint64_t cursor_ = 0;
  // FAT entries of new FAT and DIFAT sectors, set once the FAT reaches them.
  std::map<std::uint32_t, std::uint32_t> pendingMarks_;
};

// The mini side of a change: a working copy of the mini FAT, the sectors
// that hold it, and the mini stream's chain and size.
class MiniAllocator {
 public:
  MiniAllocator(std::vector<std::uint32_t> miniFat, const Ownership& ownership,
                std::vector<std::uint32_t> tableSectors, std::vector<std::uint32_t> streamSectors,
                std::uint32_t streamStart, std::uint64_t streamSize, SectorAllocator& sectors,
                Header& header, std::uint32_t sectorSize);

  // A mini sector that was free before the change, with the mini FAT and the
  // mini stream grown to hold it.
  Status Take(std::uint32_t& miniSector);
  void Set(std::uint32_t miniSector, std::uint32_t value) { miniFat_[miniSector] = value; }

  const std::vector<std::uint32_t>& miniFat() const { return miniFat_; }
  const std::vector<std::uint32_t>& tableSectors() const { return tableSectors_; }
  const std::vector<std::uint32_t>& streamSectors() const { return streamSectors_; }
  std::uint32_t streamStart() const { return streamStart_; }
  std::uint64_t streamSize() const { return streamSize_; }

 private:
  const Ownership& ownership_;
  std::vector<std::uint32_t> miniFat_;
  std::vector<std::uint32_t> tableSectors_;
  std::vector<std::uint32_t> streamSectors_;
  std::uint32_t streamStart_;
  std::uint64_t streamSize_;
  SectorAllocator& sectors_;
  Header& header_;
  std::uint32_t sectorSize_;
  std::uint64_t cursor_ = 0;
};

}  // namespace tavrin::storage
