#pragma once
// The bytes of a rollback journal: what a document held, before a change,
// in every range the change overwrites, the length it had, which file it is,
// and enough of what the change writes to tell, later, whether the document
// is still the one the journal was made for.
//
//   offset  size  field
//        0     8  "TVRNJRNL"
//        8     4  format version, 2
//       12     4  seal: zero while the journal is being written, kSealed once
//                 all of it is on disk
//       16     8  the document's device (major << 32 | minor)
//       24     8  the document's inode
//       32     8  the document's birth time in nanoseconds, 0 where the file
//                 system keeps none
//       40     8  the boot it was written in (a hash of the kernel's boot id,
//                 0 when unknown)
//       48     8  the document's length before the change
//       56     8  its length once the change is written
//       64     8  number of regions
//       72     8  bytes saved, all regions together
//       80     8  number of block checks, all regions together
//       88        each region: offset (8), length (8), one CRC-32 (4) of what
//                 the change writes for each kJournalBlock-aligned block the
//                 region touches, then the original bytes
//      end-4   4  CRC-32 of every byte before it, the seal counted as sealed
//
// All numbers are little-endian. The seal is written, and flushed, only after
// the rest is on disk; the document is touched only after the seal is. So a
// journal without the seal never had its document touched and can go, while
// a sealed journal that fails its check was damaged after the fact and
// cannot be trusted to restore anything. The header's counts fix the
// journal's length, so the header alone says how much there is to read.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::storage {

// Which file a journal was made for. A file saved by writing a new one and
// renaming it over the name is another file, and so is one whose inode
// number was given again to a new file, which its birth time tells.
struct DocumentIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t birth = 0;
  bool operator==(const DocumentIdentity&) const = default;
};

struct SavedRegion {
  std::uint64_t offset = 0;
  std::string bytes;
  // CRC-32 of what the change writes over each block piece of the region
  // (BlockPieces): a block holds its original bytes or these.
  std::vector<std::uint32_t> intended;
};

struct JournalContent {
  DocumentIdentity document;
  std::uint64_t boot = 0;
  std::uint64_t originalLength = 0;
  std::uint64_t finalLength = 0;
  std::vector<SavedRegion> regions;
};

inline constexpr std::uint64_t kJournalSealOffset = 12;
inline constexpr std::uint32_t kJournalSealed = 0x4C414553u;  // "SEAL"
inline constexpr std::size_t kJournalHeaderBytes = 88;
// Disks write whole sectors and a process that dies mid-write leaves whole
// pages, so a block is the unit that holds either the old or the new bytes.
inline constexpr std::uint64_t kJournalBlock = 512;

// The lengths of the pieces that `length` bytes at `offset` fall into, one
// per kJournalBlock-aligned block, first to last.
std::vector<std::size_t> BlockPieces(std::uint64_t offset, std::size_t length);
// The CRC-32 of each block piece of `bytes` written at `offset`.
std::vector<std::uint32_t> BlockChecks(std::uint64_t offset, std::string_view bytes);

// The whole journal, its seal still zero.
std::string EncodeJournal(const JournalContent& content);
// The bytes that go at kJournalSealOffset to seal it.
std::string JournalSeal();

enum class JournalState {
  kUnsealed,  // one of ours, never finished: its document was not touched
  kSealed,    // a sealed header that adds up; the rest is still to be checked
  kSound,     // sealed and checked: `content` restores the document
  kUnusable,  // damaged, of another version, or not ours: `problem` says how
};

// What the header says, before the rest is read.
struct JournalHeader {
  JournalContent content;  // without its regions
  std::uint64_t regions = 0;
  std::uint64_t saved = 0;   // bytes, all regions together
  std::uint64_t checks = 0;  // block checks, all regions together
  std::uint64_t length = 0;  // of the whole journal
};

// Looks at the first kJournalHeaderBytes (or fewer, all there are) of a file
// of `size` bytes in a journal's place. Anything that does not begin as our
// own journal does is kUnusable, but an empty file or one cut short inside
// our header is kUnsealed: a crash can leave those while making one.
// kSealed gives the header, whose `length` is the size.
JournalState CheckJournalHeader(std::string_view head, std::uint64_t size, JournalHeader& header,
                                std::string& problem);
// The whole journal: kUnsealed, kSound or kUnusable.
JournalState DecodeJournal(std::string_view bytes, JournalContent& content, std::string& problem);

}  // namespace tavrin::storage
