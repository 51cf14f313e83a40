#pragma once
// The file seen as a header sector followed by numbered sectors of one size.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/File.h"

namespace tavrin::storage {

class Sectors {
 public:
  Sectors(File& file, unsigned sectorShift);

  std::uint32_t size() const { return size_; }
  unsigned shift() const { return shift_; }
  std::uint32_t entriesPerSector() const { return size_ / 4; }
  // log2 of entriesPerSector(): table lookups divide by it on every link.
  unsigned entriesShift() const { return shift_ - 2; }
  // Sectors at least partly inside the file. A file whose last sector is cut
  // short still counts it: some writers do not pad the end.
  std::uint32_t count() const;
  std::uint64_t Offset(std::uint32_t sector) const {
    return (static_cast<std::uint64_t>(sector) + 1) << shift_;
  }
  File& file() const { return file_; }

  // Reads a whole table sector (FAT, mini FAT, DIFAT) as its 32-bit entries;
  // it must lie entirely inside the file. `what` names it in the error.
  Status ReadTable(std::uint32_t sector, std::vector<std::uint32_t>& out, Subject what) const;
  // Reads `length` bytes at `offset`, all of which must lie inside the file.
  Status ReadBytes(std::uint64_t offset, char* out, std::size_t length, Subject what) const;

 private:
  File& file_;
  unsigned shift_;
  std::uint32_t size_;
};

}  // namespace tavrin::storage
