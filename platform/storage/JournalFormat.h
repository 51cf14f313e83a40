#pragma once
// The bytes of a rollback journal: what a document held, before a change,
// in every range the change overwrites, and the length it had.
//
//   offset  size  field
//        0     8  "TVRNJRNL"
//        8     4  format version, 1
//       12     4  seal: zero while the journal is being written, kSealed once
//                 all of it is on disk
//       16     8  the document's length before the change
//       24     8  number of regions
//       32        each region: offset (8), length (8), the original bytes
//      end-4   4  CRC-32 of every byte before it, the seal counted as sealed
//
// All numbers are little-endian. The seal is written, and flushed, only after
// the rest is on disk; the document is touched only after the seal is. So a
// journal without the seal never had its document touched and can go, while
// a sealed journal that fails its check was damaged after the fact and
// cannot be trusted to restore anything.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::storage {

struct SavedRegion {
  std::uint64_t offset = 0;
  std::string bytes;
};

struct JournalContent {
  std::uint64_t originalLength = 0;
  std::vector<SavedRegion> regions;
};

inline constexpr std::uint64_t kJournalSealOffset = 12;
inline constexpr std::uint32_t kJournalSealed = 0x4C414553u;  // "SEAL"

// The whole journal, its seal still zero.
std::string EncodeJournal(const JournalContent& content);
// The bytes that go at kJournalSealOffset to seal it.
std::string JournalSeal();

enum class JournalState {
  kUnsealed,  // never finished: its document was not touched
  kSound,     // sealed and checked: `content` restores the document
  kDamaged,   // sealed but failing its check: `problem` says how
};

JournalState DecodeJournal(std::string_view bytes, JournalContent& content, std::string& problem);

}  // namespace tavrin::storage
