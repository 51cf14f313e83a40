#pragma once
// The file seen as a header sector followed by numbered sectors of one size.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/storage/File.h"

namespace tavrin::storage {

class Sectors {
 public:
  Sectors(File& file, unsigned sectorShift);

  std::uint32_t size() const { return size_; }
  std::uint32_t entriesPerSector() const { return size_ / 4; }
  // Sectors at least partly inside the file. A file whose last sector is cut
  // short still counts it: some writers do not pad the end.
  std::uint32_t count() const;
  std::uint64_t Offset(std::uint32_t sector) const {
    return (static_cast<std::uint64_t>(sector) + 1) << shift_;
  }
  File& file() const { return file_; }

  // Reads a whole sector, which must lie entirely inside the file. `what`
  // names it in the error.
  Status Read(std::uint32_t sector, std::string& out, std::string_view what) const;
  // Reads `length` bytes at `offset`, all of which must lie inside the file.
  Status ReadBytes(std::uint64_t offset, char* out, std::size_t length,
                   std::string_view what) const;

 private:
  File& file_;
  unsigned shift_;
  std::uint32_t size_;
};

}  // namespace tavrin::storage
