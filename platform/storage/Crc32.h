#pragma once
// The common 32-bit cyclic redundancy check (reflected, polynomial
// 0xEDB88320), which catches every burst of errors up to 32 bits long: what
// a torn or half-written file shows.

#include <cstdint>
#include <string_view>

namespace tavrin::storage {

// The check of `bytes`; pass an earlier result as `crc` to go on over more.
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);

}  // namespace tavrin::storage
