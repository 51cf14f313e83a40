#pragma once
// The file allocation table, read a sector at a time as chains reach into it.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/storage/Chain.h"
#include "platform/storage/Difat.h"

namespace tavrin::storage {

class Fat : public AllocationTable {
 public:
  Fat(const Header& header, const Sectors& sectors, Difat& difat);

  Status Entry(std::uint32_t sector, std::uint32_t& value) override;
  std::uint64_t UnitsPresent() const override { return sectors_.count(); }
  std::string_view TableName() const override { return "FAT"; }
  std::string_view UnitName() const override { return "sector"; }

  // Entries the FAT's sectors hold, whether or not their sectors exist.
  std::uint64_t reach() const;
  // The entries of FAT sector `index` (below the header's FAT count).
  Status SectorEntries(std::uint32_t index, std::vector<std::uint32_t>& entries);

 private:
  Status LoadSector(std::uint32_t index, const std::vector<std::uint32_t>*& entries);

  const Header& header_;
  const Sectors& sectors_;
  Difat& difat_;
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> loaded_;
  // The FAT sector the last lookup used: a chain mostly stays in one.
  std::uint32_t lastIndex_ = kFreeSector;
  const std::vector<std::uint32_t>* last_ = nullptr;
};

}  // namespace tavrin::storage
