#include "platform/storage/Fat.h"

namespace tavrin::storage {

Fat::Fat(const Header& header, const Sectors& sectors, Difat& difat)
    : header_(header), sectors_(sectors), difat_(difat) {}

std::uint64_t Fat::reach() const {
  return static_cast<std::uint64_t>(header_.fatSectorCount) * sectors_.entriesPerSector();
}

Status Fat::LoadSector(std::uint32_t index, const std::vector<std::uint32_t>*& entries) {
  if (auto found = loaded_.find(index); found != loaded_.end()) {
    entries = &found->second;
    return {};
  }
  std::uint32_t where = 0;
  if (Status located = difat_.FatSectorAt(index, where); !located.ok()) return located;
  std::vector<std::uint32_t> read;
  if (Status got = sectors_.ReadTable(where, read, {"FAT sector", index}); !got.ok()) return got;
  entries = &loaded_.emplace(index, std::move(read)).first->second;
  return {};
}

Status Fat::Entry(std::uint32_t sector, std::uint32_t& value) {
  if (sector >= reach()) {
    return Status::Corrupt("sector " + std::to_string(sector) + " has no FAT entry: the " +
                           std::to_string(header_.fatSectorCount) + " FAT sectors cover " +
                           std::to_string(reach()));
  }
  const std::uint32_t index = sector >> sectors_.entriesShift();
  if (index != lastIndex_) {
    if (Status loaded = LoadSector(index, last_); !loaded.ok()) return loaded;
    lastIndex_ = index;
  }
  value = (*last_)[sector & (sectors_.entriesPerSector() - 1)];
  return {};
}

Status Fat::LoadAll(std::vector<std::uint32_t>& entries) {
  entries.clear();
  entries.reserve(reach());
  const std::uint32_t count = header_.fatSectorCount;
  const auto append = [&](std::uint32_t index) {
    const std::vector<std::uint32_t>& sector = loaded_.at(index);
    entries.insert(entries.end(), sector.begin(), sector.end());
  };
  // FAT sectors often sit side by side; each run of them is one read.
  for (std::uint32_t first = 0; first < count;) {
    if (loaded_.count(first)) {
      append(first++);
      continue;
    }
    std::uint32_t start = 0;
    if (Status located = difat_.FatSectorAt(first, start); !located.ok()) return located;
    std::uint32_t last = first;
    while (last + 1 < count && !loaded_.count(last + 1)) {
      std::uint32_t next = 0;
      if (Status located = difat_.FatSectorAt(last + 1, next); !located.ok()) return located;
      if (next != start + (last + 1 - first)) break;
      ++last;
    }
    std::string bytes(static_cast<std::size_t>(last - first + 1) * sectors_.size(), '\0');
    if (Status read = sectors_.ReadBytes(sectors_.Offset(start), bytes.data(), bytes.size(),
                                         "FAT sector " + std::to_string(first));
        !read.ok()) {
      return read;
    }
    for (std::uint32_t index = first; index <= last; ++index) {
      const std::size_t at = static_cast<std::size_t>(index - first) * sectors_.size();
      loaded_.emplace(index, DecodeEntries(bytes.substr(at, sectors_.size())));
      append(index);
    }
    first = last + 1;
  }
  return {};
}

}  // namespace tavrin::storage
