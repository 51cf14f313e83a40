#include "platform/storage/Sectors.h"

#include <algorithm>

#include "platform/storage/Format.h"

namespace tavrin::storage {

Sectors::Sectors(File& file, unsigned sectorShift)
    : file_(file), shift_(sectorShift), size_(1u << sectorShift) {}

std::uint32_t Sectors::count() const {
  const std::uint64_t bytes = file_.size();
  if (bytes <= size_) return 0;
  const std::uint64_t sectors = UnitsFor(bytes - size_, size_);
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(sectors, static_cast<std::uint64_t>(kMaxRegularSector) + 1));
}

Status Sectors::Read(std::uint32_t sector, std::string& out, std::string_view what) const {
  if (sector >= count()) {
    return Status::Corrupt(std::string(what) + " is sector " + SectorText(sector) +
                           " but the file has " + std::to_string(count()) + " sectors");
  }
  out.resize(size_);
  return ReadBytes(Offset(sector), out.data(), size_, what);
}

Status Sectors::ReadBytes(std::uint64_t offset, char* out, std::size_t length,
                          std::string_view what) const {
  if (offset > file_.size() || length > file_.size() - offset) {
    return Status::Corrupt(std::string(what) + " needs bytes up to offset " +
                           std::to_string(offset + length) + " but the file ends at " +
                           std::to_string(file_.size()));
  }
  std::size_t got = 0;
  if (Status read = file_.ReadAt(offset, out, length, got); !read.ok()) return read;
  if (got != length) {
    return {STG_E_READFAULT, "the file ended at offset " + std::to_string(offset + got) +
                                 " while reading " + std::string(what)};
  }
  return {};
}

}  // namespace tavrin::storage
