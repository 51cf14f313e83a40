#include "platform/storage/Chain.h"

#include "platform/storage/Format.h"

namespace tavrin::storage {

Chain::Chain(AllocationTable& table, std::uint32_t start, std::string owner)
    : table_(table), start_(start), owner_(std::move(owner)) {}

Status Chain::Extend(bool& ended) {
  ended = false;
  std::uint32_t next = start_;
  std::string from = owner_ + " starts at";
  if (!units_.empty()) {
    const std::uint32_t last = units_.back();
    if (Status read = table_.Entry(last, next); !read.ok()) return read;
    from = std::string(table_.TableName()) + " entry " + std::to_string(last) + " of " + owner_ +
           " points to";
    if (next == kEndOfChain) {
      ended = ended_ = true;
      return {};
    }
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
  if (!seen_.insert(next).second) {
    return Status::Corrupt(from + " " + std::string(table_.UnitName()) + " " +
                           std::to_string(next) +
                           ", which the chain already passed through: the chain has a cycle");
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
      return Status::Corrupt(owner_ + " ends after " + Count(units_.size(), table_.UnitName()) +
                             " but needs at least " + std::to_string(position + 1));
    }
  }
  unit = units_[position];
  return {};
}

Status Chain::First(std::uint64_t count, std::vector<std::uint32_t>& out) {
  out.clear();
  if (count == 0) return {};
  std::uint32_t unit = 0;
  if (Status reached = At(count - 1, unit); !reached.ok()) return reached;
  out.assign(units_.begin(), units_.begin() + static_cast<std::ptrdiff_t>(count));
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
