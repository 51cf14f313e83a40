#include "platform/storage/MiniFat.h"

namespace tavrin::storage {

MiniFat::MiniFat(const Header& header, const Sectors& sectors, Fat& fat,
                 std::uint32_t miniStreamStart, std::uint64_t miniStreamSize)
    : header_(header),
      sectors_(sectors),
      streamSize_(miniStreamSize),
      tableChain_(fat, header.firstMiniFatSector, "the mini FAT"),
      streamChain_(fat, miniStreamStart, "the mini stream") {}

std::uint64_t MiniFat::UnitsPresent() const {
  return UnitsFor(streamSize_, kMiniSectorSize);
}

Status MiniFat::LoadSector(std::uint32_t index, const std::vector<std::uint32_t>*& entries) {
  if (auto found = loaded_.find(index); found != loaded_.end()) {
    entries = &found->second;
    return {};
  }
  std::uint32_t where = 0;
  if (Status reached = tableChain_.At(index, where); !reached.ok()) return reached;
  std::vector<std::uint32_t> read;
  if (Status got = sectors_.ReadTable(where, read, {"mini FAT sector", index}); !got.ok()) {
    return got;
  }
  entries = &loaded_.emplace(index, std::move(read)).first->second;
  return {};
}

Status MiniFat::Entry(std::uint32_t miniSector, std::uint32_t& value) {
  const std::uint32_t perSector = sectors_.entriesPerSector();
  const std::uint64_t reach = static_cast<std::uint64_t>(header_.miniFatSectorCount) * perSector;
  if (miniSector >= reach) {
    return Status::Corrupt("mini sector " + std::to_string(miniSector) +
                           " has no mini FAT entry: the mini FAT has " + std::to_string(reach) +
                           " entries");
  }
  const std::uint32_t index = miniSector >> sectors_.entriesShift();
  if (index != lastIndex_) {
    if (Status loaded = LoadSector(index, last_); !loaded.ok()) return loaded;
    lastIndex_ = index;
  }
  value = (*last_)[miniSector & (perSector - 1)];
  return {};
}

Status MiniFat::Offset(std::uint32_t miniSector, std::uint64_t& fileOffset) {
  const std::uint64_t position = static_cast<std::uint64_t>(miniSector) * kMiniSectorSize;
  std::uint32_t sector = 0;
  if (Status reached = streamChain_.At(position >> sectors_.shift(), sector); !reached.ok()) {
    return reached;
  }
  fileOffset = sectors_.Offset(sector) + (position & (sectors_.size() - 1));
  return {};
}

Status MiniFat::LoadAll(std::vector<std::uint32_t>& entries,
                        std::vector<std::uint32_t>& tableSectors,
                        std::vector<std::uint32_t>& streamSectors) {
  entries.clear();
  tableSectors.clear();
  streamSectors.clear();
  if (header_.miniFatSectorCount > 0) {
    if (Status walked = tableChain_.ToEnd(tableSectors); !walked.ok()) return walked;
    if (tableSectors.size() != header_.miniFatSectorCount) {
      return Status::Corrupt("the header declares " + std::to_string(header_.miniFatSectorCount) +
                             " mini FAT sectors but their chain has " +
                             std::to_string(tableSectors.size()));
    }
    for (std::uint32_t index = 0; index < header_.miniFatSectorCount; ++index) {
      const std::vector<std::uint32_t>* sector = nullptr;
      if (Status loaded = LoadSector(index, sector); !loaded.ok()) return loaded;
      entries.insert(entries.end(), sector->begin(), sector->end());
    }
  }
  if (streamSize_ > 0) {
    if (Status walked = streamChain_.ToEnd(streamSectors); !walked.ok()) return walked;
    const std::uint64_t needed = UnitsFor(streamSize_, sectors_.size());
    if (streamSectors.size() < needed) {
      return Status::Corrupt("the mini stream holds " + std::to_string(streamSize_) +
                             " bytes but its chain has only " +
                             std::to_string(streamSectors.size()) + " sectors");
    }
  }
  return {};
}

}  // namespace tavrin::storage
