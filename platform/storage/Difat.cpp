#include "platform/storage/Difat.h"

namespace tavrin::storage {

std::vector<std::uint32_t> DecodeEntries(const std::string& sector) {
  std::vector<std::uint32_t> entries(sector.size() / 4);
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = LoadU32(sector, 4 * i);
  return entries;
}

std::string EncodeEntries(const std::vector<std::uint32_t>& entries) {
  std::string bytes(entries.size() * 4, '\0');
  for (std::size_t i = 0; i < entries.size(); ++i) StoreU32(bytes, 4 * i, entries[i]);
  return bytes;
}

Difat::Difat(const Header& header, const Sectors& sectors) : header_(header), sectors_(sectors) {}

Status Difat::LoadThrough(std::size_t position) {
  const std::uint32_t perSector = sectors_.entriesPerSector();
  while (chain_.size() <= position) {
    const std::size_t index = chain_.size();
    if (index >= header_.difatSectorCount) {
      return Status::Corrupt("DIFAT sector " + std::to_string(index) +
                             " is needed but the header declares " +
                             std::to_string(header_.difatSectorCount));
    }
    const std::uint32_t next =
        chain_.empty() ? header_.firstDifatSector : contents_.back()[perSector - 1];
    const auto from = [&] {
      return chain_.empty() ? std::string("the header")
                            : "DIFAT sector " + SectorText(chain_.back());
    };
    if (next >= sectors_.count()) {
      return Status::Corrupt(from() + " links to sector " + SectorText(next) +
                             " but the file has " + std::to_string(sectors_.count()) +
                             " sectors and " + std::to_string(header_.difatSectorCount) +
                             " DIFAT sectors are declared");
    }
    if (!seen_.insert(next).second) {
      return Status::Corrupt(from() + " links back to DIFAT sector " + SectorText(next) +
                             ": the DIFAT chain has a cycle");
    }
    std::vector<std::uint32_t> entries;
    if (Status read = sectors_.ReadTable(next, entries, {"DIFAT sector", index}); !read.ok()) {
      return read;
    }
    chain_.push_back(next);
    contents_.push_back(std::move(entries));
  }
  return {};
}

Status Difat::FatSectorAt(std::uint32_t index, std::uint32_t& sector) {
  if (index < kHeaderDifatSlots) {
    sector = header_.difat[index];  // checked against the file with the header
    return {};
  }
  const std::uint32_t perDifatSector = sectors_.entriesPerSector() - 1;
  const std::size_t position = (index - kHeaderDifatSlots) / perDifatSector;
  if (Status loaded = LoadThrough(position); !loaded.ok()) return loaded;
  sector = contents_[position][(index - kHeaderDifatSlots) % perDifatSector];
  if (sector >= sectors_.count()) {
    return Status::Corrupt("DIFAT entry " + std::to_string(index) + " names sector " +
                           SectorText(sector) + " but the file has " +
                           std::to_string(sectors_.count()) + " sectors");
  }
  return {};
}

Status Difat::LoadAll() {
  if (header_.difatSectorCount == 0) return {};
  return LoadThrough(header_.difatSectorCount - 1);
}

}  // namespace tavrin::storage
