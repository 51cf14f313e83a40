#include "platform/storage/Sectors.h"

#include <algorithm>
#include <bit>

#include "platform/storage/Format.h"

namespace tavrin::storage {

Sectors::Sectors(File& file, unsigned sectorShift)
    : file_(file), shift_(sectorShift), size_(1u << sectorShift) {}

std::uint32_t Sectors::count() const {
  const std::uint64_t bytes = file_.size();
  if (bytes <= size_) return 0;
  // Whole sectors past the header, a cut-short last one included.
  const std::uint64_t sectors = (bytes - 1) >> shift_;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(sectors, static_cast<std::uint64_t>(kMaxRegularSector) + 1));
}

Status Sectors::ReadTable(std::uint32_t sector, std::vector<std::uint32_t>& out,
                          Subject what) const {
  if (sector >= count()) {
    return Status::Corrupt(what.Text() + " is sector " + SectorText(sector) + " but the file has " +
                           std::to_string(count()) + " sectors");
  }
  out.resize(entriesPerSector());
  // The entries are read straight into place; only a big-endian machine has
  // to turn them round.
  if (Status read = ReadBytes(Offset(sector), reinterpret_cast<char*>(out.data()), size_, what);
      !read.ok()) {
    return read;
  }
  if constexpr (std::endian::native == std::endian::big) {
    for (std::uint32_t& entry : out) {
      entry = LoadU32(std::string_view(reinterpret_cast<const char*>(&entry), 4), 0);
    }
  }
  return {};
}

Status Sectors::ReadBytes(std::uint64_t offset, char* out, std::size_t length, Subject what) const {
  if (offset > file_.size() || length > file_.size() - offset) {
    return Status::Corrupt(what.Text() + " needs bytes up to offset " +
                           std::to_string(offset + length) + " but the file ends at " +
                           std::to_string(file_.size()));
  }
  std::size_t got = 0;
  if (Status read = file_.ReadAt(offset, out, length, got); !read.ok()) return read;
  if (got != length) {
    return {STG_E_READFAULT, "the file ended at offset " + std::to_string(offset + got) +
                                 " while reading " + what.Text()};
  }
  return {};
}

}  // namespace tavrin::storage
