#pragma once
// A chain of sectors (or mini sectors) followed through its allocation table
// only as far as a caller needs, each link checked as it is taken.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

// Units a chain has passed through, kept to find a cycle: an open-addressed
// table in one block, so a long chain costs no allocation per link.
class UnitSet {
 public:
  bool empty() const { return count_ == 0; }
  // False when `unit` was in already.
  bool Insert(std::uint32_t unit);

 private:
  void Grow();

  std::vector<std::uint32_t> slots_;  // kFreeSector where empty: never a unit
  std::size_t count_ = 0;
};

class Chain {
 public:
  // `owner` names the chain in errors: "stream \"WordDocument\"".
  Chain(AllocationTable& table, std::uint32_t start, Subject owner);

  // Room for `count` units, which the caller has checked the file can hold.
  void Reserve(std::uint64_t count) { units_.reserve(static_cast<std::size_t>(count)); }
  // The unit at `position`, following links from the furthest one reached.
  Status At(std::uint64_t position, std::uint32_t& unit);
  // The first `count` units; `out` stays valid until the chain is extended.
  Status First(std::uint64_t count, std::span<const std::uint32_t>& out);
  // Every unit up to the end-of-chain mark.
  Status ToEnd(std::vector<std::uint32_t>& out);
  // The number of units, once a call has met the end-of-chain mark; until
  // then, and after a broken link, nothing.
  std::optional<std::uint64_t> length() const {
    return ended_ ? std::optional<std::uint64_t>(units_.size()) : std::nullopt;
  }

 private:
  // Takes one more link; `ended` is set instead when the chain ends there.
  Status Extend(bool& ended);
  // False when the chain passed through `unit` before.
  bool FirstVisit(std::uint32_t unit);
  // Why `next` cannot be the chain's next unit.
  Status Refuse(std::uint32_t next) const;

  AllocationTable& table_;
  std::uint32_t start_;
  Subject owner_;
  std::vector<std::uint32_t> units_;
  // Chains nearly always run forward: a unit above every one before it
  // cannot repeat, so `seen_` is filled only once a chain first steps back.
  std::uint32_t highest_ = 0;
  UnitSet seen_;
  bool ended_ = false;
};

}  // namespace tavrin::storage
