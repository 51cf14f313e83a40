#pragma once
// Bounded little-endian access to the bytes of a property-set stream. Every
// read says whether the bytes were there; nothing reads past the view.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::storage {

// True when `count` bytes starting at `pos` lie inside `bytes`, without
// overflowing on hostile positions and counts.
constexpr bool Fits(std::string_view bytes, std::uint64_t pos, std::uint64_t count) {
  return pos <= bytes.size() && count <= bytes.size() - pos;
}

inline std::optional<std::uint16_t> U16At(std::string_view bytes, std::uint64_t pos) {
  if (!Fits(bytes, pos, 2)) return std::nullopt;
  auto b = [&](std::uint64_t i) { return static_cast<std::uint8_t>(bytes[pos + i]); };
  return static_cast<std::uint16_t>(b(0) | b(1) << 8);
}

inline std::optional<std::uint32_t> U32At(std::string_view bytes, std::uint64_t pos) {
  if (!Fits(bytes, pos, 4)) return std::nullopt;
  auto b = [&](std::uint64_t i) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[pos + i]));
  };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

inline void PutU16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

inline void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// Overwrites four bytes at `pos`, which the caller has checked exist.
inline void SetU32(std::string& out, std::size_t pos, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[pos + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

constexpr std::uint64_t RoundUp4(std::uint64_t n) {
  return (n + 3) & ~std::uint64_t{3};
}

}  // namespace tavrin::storage
