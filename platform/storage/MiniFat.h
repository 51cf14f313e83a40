#pragma once
// The mini FAT and the mini stream it divides: small streams live in 64-byte
// mini sectors inside the root entry's stream. Both are read only as far as a
// lookup needs.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/storage/Chain.h"
#include "platform/storage/Fat.h"

namespace tavrin::storage {

class MiniFat : public AllocationTable {
 public:
  // `miniStreamSize` must already be checked against the file.
  MiniFat(const Header& header, const Sectors& sectors, Fat& fat, std::uint32_t miniStreamStart,
          std::uint64_t miniStreamSize);

  Status Entry(std::uint32_t miniSector, std::uint32_t& value) override;
  std::uint64_t UnitsPresent() const override;
  std::string_view TableName() const override { return "mini FAT"; }
  std::string_view UnitName() const override { return "mini sector"; }

  // Where a mini sector lies in the file.
  Status Offset(std::uint32_t miniSector, std::uint64_t& fileOffset);

  // For a write: every mini FAT entry, the sectors that hold them, and the
  // sectors of the mini stream, each chain followed to its end.
  Status LoadAll(std::vector<std::uint32_t>& entries, std::vector<std::uint32_t>& tableSectors,
                 std::vector<std::uint32_t>& streamSectors);

 private:
  Status LoadSector(std::uint32_t index, const std::vector<std::uint32_t>*& entries);

  const Header& header_;
  const Sectors& sectors_;
  std::uint64_t streamSize_;
  Chain tableChain_;
  Chain streamChain_;
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> loaded_;
  // The mini FAT sector the last lookup used: a chain mostly stays in one.
  std::uint32_t lastIndex_ = kFreeSector;
  const std::vector<std::uint32_t>* last_ = nullptr;
};

}  // namespace tavrin::storage
