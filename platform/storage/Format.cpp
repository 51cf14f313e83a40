#include "platform/storage/Format.h"

namespace tavrin::storage {

namespace {

std::uint64_t LoadLittleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

void StoreLittleEndian(std::string& bytes, std::size_t at, std::size_t width, std::uint64_t value) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = static_cast<char>(value & 0xFFu);
    value >>= 8;
  }
}

}  // namespace

std::uint16_t LoadU16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(LoadLittleEndian(bytes, at, 2));
}

std::uint32_t LoadU32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(LoadLittleEndian(bytes, at, 4));
}

std::uint64_t LoadU64(std::string_view bytes, std::size_t at) {
  return LoadLittleEndian(bytes, at, 8);
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
