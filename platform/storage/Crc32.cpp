#include "platform/storage/Crc32.h"

#include <array>

namespace tavrin::storage {
namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < table.size(); ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit)
      value = (value & 1u) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table[i] = value;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

}  // namespace

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc) {
  crc = ~crc;
  for (const char byte : bytes) {
    crc = kTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFFu] ^ (crc >> 8);
  }
  return ~crc;
}

}  // namespace tavrin::storage
