#pragma once
// Where the FAT sectors are: the first 109 in the header, the rest in a chain
// of DIFAT sectors, read only as far as a lookup needs.

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/storage/Header.h"
#include "platform/storage/Sectors.h"

namespace tavrin::storage {

class Difat {
 public:
  // `header` must have passed CheckHeaderAgainstFile.
  Difat(const Header& header, const Sectors& sectors);

  // The sector that holds FAT sector `index` (below the header's FAT count).
  Status FatSectorAt(std::uint32_t index, std::uint32_t& sector);

  // Reads the whole DIFAT chain, as a write needs it.
  Status LoadAll();
  // The DIFAT sectors read so far, in chain order, and their entries.
  const std::vector<std::uint32_t>& chain() const { return chain_; }
  const std::vector<std::vector<std::uint32_t>>& contents() const { return contents_; }

 private:
  Status LoadThrough(std::size_t position);

  const Header& header_;
  const Sectors& sectors_;
  std::vector<std::uint32_t> chain_;
  std::unordered_set<std::uint32_t> seen_;
  std::vector<std::vector<std::uint32_t>> contents_;
};

// The entries of a table sector (FAT, mini FAT or DIFAT).
std::vector<std::uint32_t> DecodeEntries(const std::string& sector);
std::string EncodeEntries(const std::vector<std::uint32_t>& entries);

}  // namespace tavrin::storage
