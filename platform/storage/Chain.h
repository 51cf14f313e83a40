#pragma once
// A chain of sectors (or mini sectors) followed through its allocation table
// only as far as a caller needs, each link checked as it is taken.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/storage/Status.h"

namespace tavrin::storage {

// The FAT or the mini FAT as a chain sees it.
class AllocationTable {
 public:
  virtual ~AllocationTable() = default;
  virtual Status Entry(std::uint32_t unit, std::uint32_t& value) = 0;
  // Units that exist; a chain may name no other.
  virtual std::uint64_t UnitsPresent() const = 0;
  virtual std::string_view TableName() const = 0;  // "FAT", "mini FAT"
  virtual std::string_view UnitName() const = 0;   // "sector", "mini sector"
};

class Chain {
 public:
  // `owner` names the chain in errors: "stream \"WordDocument\"".
  Chain(AllocationTable& table, std::uint32_t start, std::string owner);

  // The unit at `position`, following links from the furthest one reached.
  Status At(std::uint64_t position, std::uint32_t& unit);
  // The first `count` units.
  Status First(std::uint64_t count, std::vector<std::uint32_t>& out);
  // Every unit up to the end-of-chain mark.
  Status ToEnd(std::vector<std::uint32_t>& out);

 private:
  // Takes one more link; `ended` is set instead when the chain ends there.
  Status Extend(bool& ended);

  AllocationTable& table_;
  std::uint32_t start_;
  std::string owner_;
  std::vector<std::uint32_t> units_;
  std::unordered_set<std::uint32_t> seen_;
  bool ended_ = false;
};

}  // namespace tavrin::storage
