#pragma once
// The fixed parts of the records of a ZIP archive, as little-endian bytes:
// what the reader takes apart and the writer patches, through the engine's
// little-endian loads and stores (Format.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/storage/Format.h"

namespace tavrin::storage::zip {

inline constexpr std::uint32_t kLocalSignature = 0x04034b50u;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50u;
inline constexpr std::uint32_t kEndSignature = 0x06054b50u;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50u;
inline constexpr std::uint32_t kDescriptorSignature = 0x08074b50u;

inline constexpr std::size_t kLocalFixed = 30;
inline constexpr std::size_t kCentralFixed = 46;
inline constexpr std::size_t kEndFixed = 22;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kMaxComment = 0xFFFF;

inline constexpr std::uint16_t kFlagEncrypted = 1u << 0;
inline constexpr std::uint16_t kFlagDescriptor = 1u << 3;
inline constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;
inline constexpr std::uint16_t kFlagMaskedHeader = 1u << 13;

inline constexpr std::uint16_t kStored = 0;
inline constexpr std::uint16_t kDeflated = 8;

// Field offsets inside the fixed part of a local header.
namespace local {
inline constexpr std::size_t kFlags = 6, kMethod = 8, kCrc = 14, kCompressed = 18,
                             kUncompressed = 22, kNameLength = 26, kExtraLength = 28;
}
// ... of a central-directory entry.
namespace central {
inline constexpr std::size_t kFlags = 8, kMethod = 10, kCrc = 16, kCompressed = 20,
                             kUncompressed = 24, kNameLength = 28, kExtraLength = 30,
                             kCommentLength = 32, kDiskStart = 34, kLocalOffset = 42;
}
// ... of the end record.
namespace end {
inline constexpr std::size_t kDisk = 4, kCentralDisk = 6, kEntriesHere = 8, kEntries = 10,
                             kCentralSize = 12, kCentralOffset = 16, kCommentLength = 20;
}

}  // namespace tavrin::storage::zip
