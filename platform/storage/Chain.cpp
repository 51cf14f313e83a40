#include "platform/storage/Chain.h"

#include <algorithm>

#include "platform/storage/Format.h"

namespace tavrin::storage {

namespace {

constexpr std::size_t kFirstSlots = 64;

std::size_t SlotOf(std::uint32_t unit, std::size_t mask) {
  // Fibonacci hashing spreads the runs of neighbouring numbers chains are.
  return static_cast<std::size_t>((std::uint64_t{unit} * 0x9E3779B97F4A7C15u) >> 32) & mask;
}

}  // namespace

bool UnitSet::Insert(std::uint32_t unit) {
  // Kept at most half full, so a probe ends soon at an empty slot.
  if (2 * (count_ + 1) > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = SlotOf(unit, mask);; slot = (slot + 1) & mask) {
    if (slots_[slot] == unit) return false;
    if (slots_[slot] == kFreeSector) {
      slots_[slot] = unit;
      ++count_;
      return true;
    }
  }
}

void UnitSet::Grow() {
  std::vector<std::uint32_t> old(std::max(kFirstSlots, 2 * slots_.size()), kFreeSector);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (std::uint32_t unit : old) {
    if (unit == kFreeSector) continue;
    std::size_t slot = SlotOf(unit, mask);
    while (slots_[slot] != kFreeSector) slot = (slot + 1) & mask;
    slots_[slot] = unit;
  }
}

Chain::Chain(AllocationTable& table, std::uint32_t start, Subject owner)
    : table_(table), start_(start), owner_(owner) {}

bool Chain::FirstVisit(std::uint32_t unit) {
  if (seen_.empty()) {
    if (units_.empty() || unit > highest_) {
      highest_ = unit;
      return true;
    }
    for (std::uint32_t before : units_) seen_.Insert(before);
  }
  return seen_.Insert(unit);
}

Status Chain::Refuse(std::uint32_t next) const {
  std::string from = owner_.Text() + " starts at";
  if (!units_.empty()) {
    from = std::string(table_.TableName()) + " entry " + std::to_string(units_.back()) + " of " +
           owner_.Text() + " points to";
  }
  if (next > kMaxRegularSector) {
    return Status::Corrupt(from + " " + SectorText(next) +
                           (units_.empty() ? "" : " inside the chain"));
  }
  if (next >= table_.UnitsPresent()) {
    return Status::Corrupt(from + " " + std::string(table_.UnitName()) + " " + SectorText(next) +
                           " but only " + Count(table_.UnitsPresent(), table_.UnitName()) +
                           " exist");
  }
  return Status::Corrupt(from + " " + std::string(table_.UnitName()) + " " + std::to_string(next) +
                         ", which the chain already passed through: the chain has a cycle");
}

Status Chain::Extend(bool& ended) {
  ended = false;
  std::uint32_t next = start_;
  if (!units_.empty()) {
    if (Status read = table_.Entry(units_.back(), next); !read.ok()) return read;
    if (next == kEndOfChain) {
      ended = ended_ = true;
      return {};
    }
  }
  if (next > kMaxRegularSector || next >= table_.UnitsPresent() || !FirstVisit(next)) {
    return Refuse(next);
  }
  units_.push_back(next);
  return {};
}

Status Chain::At(std::uint64_t position, std::uint32_t& unit) {
  while (units_.size() <= position) {
    bool ended = ended_;
    if (!ended) {
      if (Status extended = Extend(ended); !extended.ok()) return extended;
    }
    if (ended) {
      return Status::Corrupt(owner_.Text() + " ends after " +
                             Count(units_.size(), table_.UnitName()) + " but needs at least " +
                             std::to_string(position + 1));
    }
  }
  unit = units_[static_cast<std::size_t>(position)];
  return {};
}

Status Chain::First(std::uint64_t count, std::span<const std::uint32_t>& out) {
  out = {};
  if (count == 0) return {};
  std::uint32_t unit = 0;
  if (Status reached = At(count - 1, unit); !reached.ok()) return reached;
  out = std::span<const std::uint32_t>(units_.data(), static_cast<std::size_t>(count));
  return {};
}

Status Chain::ToEnd(std::vector<std::uint32_t>& out) {
  bool ended = ended_;
  while (!ended) {
    if (Status extended = Extend(ended); !extended.ok()) return extended;
  }
  out = units_;
  return {};
}

}  // namespace tavrin::storage
