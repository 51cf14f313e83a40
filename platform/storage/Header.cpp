#include "platform/storage/Header.h"

#include <algorithm>

#include "platform/storage/Sectors.h"

namespace tavrin::storage {

namespace {

constexpr std::string_view kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr std::string_view kBetaSignature("\xD0\xCF\x11\xE0\x0E\x11\xFC\x0D", 8);

// Field offsets inside the header.
constexpr std::size_t kMajorVersionAt = 0x1A;
constexpr std::size_t kSectorShiftAt = 0x1E;
constexpr std::size_t kMiniSectorShiftAt = 0x20;
constexpr std::size_t kFatSectorCountAt = 0x2C;
constexpr std::size_t kFirstDirectorySectorAt = 0x30;
constexpr std::size_t kMiniStreamCutoffAt = 0x38;
constexpr std::size_t kFirstMiniFatSectorAt = 0x3C;
constexpr std::size_t kMiniFatSectorCountAt = 0x40;
constexpr std::size_t kFirstDifatSectorAt = 0x44;
constexpr std::size_t kDifatSectorCountAt = 0x48;
constexpr std::size_t kDifatAt = 0x4C;

Status NotCompound(std::string text) {
  return {STG_E_FILEALREADYEXISTS, std::move(text)};
}

}  // namespace

std::uint64_t DifatSectorsNeeded(std::uint64_t fatSectors, std::uint32_t entriesPerSector) {
  if (fatSectors <= kHeaderDifatSlots) return 0;
  // The last entry of each DIFAT sector links to the next one.
  return UnitsFor(fatSectors - kHeaderDifatSlots, entriesPerSector - 1);
}

std::string Header::Encode() const {
  std::string bytes = raw;
  StoreU32(bytes, kFatSectorCountAt, fatSectorCount);
  StoreU32(bytes, kFirstDirectorySectorAt, firstDirectorySector);
  StoreU32(bytes, kFirstMiniFatSectorAt, firstMiniFatSector);
  StoreU32(bytes, kMiniFatSectorCountAt, miniFatSectorCount);
  StoreU32(bytes, kFirstDifatSectorAt, firstDifatSector);
  StoreU32(bytes, kDifatSectorCountAt, difatSectorCount);
  for (std::size_t i = 0; i < kHeaderDifatSlots; ++i) StoreU32(bytes, kDifatAt + 4 * i, difat[i]);
  return bytes;
}

Status ParseHeader(std::string_view bytes, Header& out) {
  if (bytes.size() < kHeaderSize) {
    return NotCompound("the file has " + std::to_string(bytes.size()) +
                       " bytes, fewer than a compound file's 512-byte header");
  }
  const std::string_view signature = bytes.substr(0, kSignature.size());
  if (signature == kBetaSignature) {
    return {STG_E_OLDFORMAT, "the file carries the pre-release compound file signature"};
  }
  if (signature != kSignature) return NotCompound("the file has no compound file signature");

  Header header;
  header.raw.assign(bytes.substr(0, kHeaderSize));
  header.majorVersion = LoadU16(bytes, kMajorVersionAt);
  header.sectorShift = LoadU16(bytes, kSectorShiftAt);
  const std::uint16_t miniShift = LoadU16(bytes, kMiniSectorShiftAt);
  const std::uint32_t cutoff = LoadU32(bytes, kMiniStreamCutoffAt);
  // The sector shift, not the version, decides the layout: real files put
  // 4096-byte sectors under a version-3 header.
  if (header.sectorShift != 9 && header.sectorShift != 12) {
    return NotCompound("sector shift " + std::to_string(header.sectorShift) +
                       " is neither 9 nor 12");
  }
  if (miniShift != 6) {
    return NotCompound("mini sector shift " + std::to_string(miniShift) + " is not 6");
  }
  if (cutoff != kMiniStreamCutoff) {
    return NotCompound("mini stream cutoff " + std::to_string(cutoff) + " is not 4096");
  }
  if (header.majorVersion != 3 && header.majorVersion != 4) {
    return {STG_E_OLDFORMAT,
            "major version " + std::to_string(header.majorVersion) + " is neither 3 nor 4"};
  }
  header.fatSectorCount = LoadU32(bytes, kFatSectorCountAt);
  header.firstDirectorySector = LoadU32(bytes, kFirstDirectorySectorAt);
  header.firstMiniFatSector = LoadU32(bytes, kFirstMiniFatSectorAt);
  header.miniFatSectorCount = LoadU32(bytes, kMiniFatSectorCountAt);
  header.firstDifatSector = LoadU32(bytes, kFirstDifatSectorAt);
  header.difatSectorCount = LoadU32(bytes, kDifatSectorCountAt);
  for (std::size_t i = 0; i < kHeaderDifatSlots; ++i) {
    header.difat[i] = LoadU32(bytes, kDifatAt + 4 * i);
  }
  out = std::move(header);
  return {};
}

Status CheckHeaderAgainstFile(const Header& header, const Sectors& sectors) {
  const std::uint32_t count = sectors.count();
  const std::string fileSectors = " but the file has " + std::to_string(count) + " sectors";
  if (header.fatSectorCount == 0) return Status::Corrupt("the header declares no FAT sectors");
  if (header.fatSectorCount > count) {
    return Status::Corrupt("the header declares " + std::to_string(header.fatSectorCount) +
                           " FAT sectors" + fileSectors);
  }
  const std::uint64_t needed =
      DifatSectorsNeeded(header.fatSectorCount, sectors.entriesPerSector());
  if (header.difatSectorCount != needed) {
    return Status::Corrupt("the header declares " + Count(header.difatSectorCount, "DIFAT sector") +
                           " but its " + Count(header.fatSectorCount, "FAT sector") + " need " +
                           std::to_string(needed));
  }
  if (header.miniFatSectorCount > count) {
    return Status::Corrupt("the header declares " + std::to_string(header.miniFatSectorCount) +
                           " mini FAT sectors" + fileSectors);
  }
  const std::uint32_t inHeader =
      std::min<std::uint32_t>(header.fatSectorCount, static_cast<std::uint32_t>(kHeaderDifatSlots));
  for (std::uint32_t i = 0; i < inHeader; ++i) {
    if (header.difat[i] >= count) {
      return Status::Corrupt("DIFAT entry " + std::to_string(i) + " names sector " +
                             SectorText(header.difat[i]) + fileSectors);
    }
  }
  return {};
}

}  // namespace tavrin::storage
