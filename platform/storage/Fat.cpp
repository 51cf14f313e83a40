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

Status Fat::SectorEntries(std::uint32_t index, std::vector<std::uint32_t>& entries) {
  const std::vector<std::uint32_t>* loaded = nullptr;
  if (Status read = LoadSector(index, loaded); !read.ok()) return read;
  entries = *loaded;
  return {};
}

}  // namespace tavrin::storage
