#include "platform/storage/Format.h"

namespace tavrin::storage {

namespace {

void StoreLittleEndian(std::string& bytes, std::size_t at, std::size_t width, std::uint64_t value) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = static_cast<char>(value & 0xFFu);
    value >>= 8;
  }
}

}  // namespace

void StoreU16(std::string& bytes, std::size_t at, std::uint16_t value) {
  StoreLittleEndian(bytes, at, 2, value);
}

void StoreU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  StoreLittleEndian(bytes, at, 4, value);
}

void StoreU64(std::string& bytes, std::size_t at, std::uint64_t value) {
  StoreLittleEndian(bytes, at, 8, value);
}

std::string SectorText(std::uint32_t value) {
  switch (value) {
    case kDifatSector:
      return "DIFSECT";
    case kFatSector:
      return "FATSECT";
    case kEndOfChain:
      return "ENDOFCHAIN";
    case kFreeSector:
      return "FREESECT";
    default:
      return std::to_string(value);
  }
}

std::string Count(std::uint64_t n, std::string_view noun) {
  return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

}  // namespace tavrin::storage
