#pragma once
// The 512-byte header: what kind of file this is, the sizes it uses, where the
// directory, mini FAT and DIFAT start, and the first 109 FAT sector numbers.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/storage/Format.h"
#include "platform/storage/Status.h"

namespace tavrin::storage {

class Sectors;

struct Header {
  std::string raw;  // the bytes as read; fields we do not use stay as they were
  std::uint16_t majorVersion = 0;
  std::uint16_t sectorShift = 0;
  std::uint32_t fatSectorCount = 0;
  std::uint32_t firstDirectorySector = 0;
  std::uint32_t firstMiniFatSector = 0;
  std::uint32_t miniFatSectorCount = 0;
  std::uint32_t firstDifatSector = 0;
  std::uint32_t difatSectorCount = 0;
  std::array<std::uint32_t, kHeaderDifatSlots> difat{};

  // `raw` with the fields above written back into it.
  std::string Encode() const;
};

// Decides whether `bytes` (the start of the file, up to 512 bytes) is a
// compound file this engine can open: STG_E_FILEALREADYEXISTS when it is not
// one at all, STG_E_OLDFORMAT for the pre-release signature or a version we do
// not know.
Status ParseHeader(std::string_view bytes, Header& out);

// Checks the header's counts and FAT sector numbers against the file, so that
// no later step follows a number that cannot be right.
Status CheckHeaderAgainstFile(const Header& header, const Sectors& sectors);

// DIFAT sectors needed for `fatSectors` FAT sectors.
std::uint64_t DifatSectorsNeeded(std::uint64_t fatSectors, std::uint32_t entriesPerSector);

}  // namespace tavrin::storage
