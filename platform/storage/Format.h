#pragma once
// Fixed values of the compound file format and its little-endian fields.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin::storage {

// Values of a FAT or mini FAT entry above the last sector number.
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFAu;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFCu;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFDu;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFFu;
// A sibling or child id that names no entry.
inline constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;

inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kHeaderDifatSlots = 109;
inline constexpr std::size_t kDirEntrySize = 128;
inline constexpr std::uint32_t kMiniSectorSize = 64;
inline constexpr std::uint64_t kMiniStreamCutoff = 4096;

// Every structure is read through these, so they are inline: a table sector
// or a directory walk is mostly loads. The caller has checked the bounds.
inline std::uint16_t LoadU16(std::string_view bytes, std::size_t at) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  return static_cast<std::uint16_t>(b(0) | b(1) << 8);
}
inline std::uint32_t LoadU32(std::string_view bytes, std::size_t at) {
  const auto b = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
  };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}
inline std::uint64_t LoadU64(std::string_view bytes, std::size_t at) {
  return LoadU32(bytes, at) | std::uint64_t{LoadU32(bytes, at + 4)} << 32;
}
void StoreU16(std::string& bytes, std::size_t at, std::uint16_t value);
void StoreU32(std::string& bytes, std::size_t at, std::uint32_t value);
void StoreU64(std::string& bytes, std::size_t at, std::uint64_t value);

// A sector number or special entry value as a message shows it.
std::string SectorText(std::uint32_t value);
// "1 sector", "3 sectors".
std::string Count(std::uint64_t n, std::string_view noun);

// Whole units of `unit` bytes that `length` bytes occupy.
constexpr std::uint64_t UnitsFor(std::uint64_t length, std::uint64_t unit) {
  return length / unit + (length % unit != 0 ? 1 : 0);
}

}  // namespace tavrin::storage
