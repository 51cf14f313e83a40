#pragma once
// The directory: one 128-byte entry per storage and stream, linked into a
// tree of sibling trees. Its sectors are read whole at open and the tree is
// checked from the root, so that no id sends a lookup out of range or round
// in a cycle. Entries stay as the bytes the file holds; a field is decoded
// when something asks for it.
//
// A directory of more than kWholeUpTo bytes (a mail message with thousands
// of attachments' entries, say) is read only as far as lookups reach: its
// chain in chunks as entries in them are asked for, and only the sibling
// trees searched are checked, as they are searched. Reading a property set
// then costs the same whatever else the file holds. A change needs every
// entry, so it reads and checks the rest first (MakeWhole): damage elsewhere
// in a large directory refuses a change, as in a small one, but does not
// keep the sets from being shown.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/Fat.h"

namespace tavrin::storage {

enum class EntryType : std::uint8_t { kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5 };

// The fields of one entry, decoded from its bytes.
struct DirEntry {
  EntryType type = EntryType::kUnused;
  std::uint32_t left = kNoEntry;
  std::uint32_t right = kNoEntry;
  std::uint32_t child = kNoEntry;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;  // as this engine reads it: a version-3 file's high half is ignored
  bool inTree = false;     // reached from the root
};

class Directory {
 public:
  static constexpr std::uint64_t kWholeUpTo = 64 << 10;

  Directory();
  ~Directory();
  Directory(Directory&&) noexcept;
  Directory& operator=(Directory&&) noexcept;

  // Reads and checks the whole directory. The root entry's stream size is
  // checked against the file here, because every small stream depends on it.
  static Status Load(const Header& header, const Sectors& sectors, Fat& fat, Directory& out);
  // The same for a directory of at most kWholeUpTo bytes; a larger one is
  // read only as far as lookups reach. `sectors` and `fat` must outlive the
  // directory.
  static Status Open(const Header& header, const Sectors& sectors, Fat& fat, Directory& out);

  // False while only part of a large directory has been read. Until it is
  // whole, only FindChild, and entry(), Raw() and Name() of the root and of
  // the entries FindChild found, may be asked.
  bool whole() const { return partial_ == nullptr; }
  // Reads and checks the rest of the directory, as Load would have.
  Status MakeWhole();

  std::size_t size() const { return inTree_.size(); }
  DirEntry entry(std::uint32_t index) const;
  DirEntry root() const { return entry(0); }
  // True when entry `index` is known to be reached from the root: for a
  // whole directory, whenever it is in the tree.
  bool Reached(std::uint32_t index) const { return index < size() && inTree_[index] != 0; }
  // The entry's name, up to its terminator.
  std::u16string Name(std::uint32_t index) const;
  // The 128 bytes of entry `index` as the file holds them.
  std::string_view Raw(std::uint32_t index) const;
  std::uint64_t OffsetOf(std::uint32_t index) const;
  // The sectors of the directory, in chain order.
  const std::vector<std::uint32_t>& sectors() const { return sectors_; }

  // The entry named `name` among the children of storage `parent`, in
  // `found`. STG_E_DOCFILECORRUPT when the part of the tree searched, in a
  // directory not yet read whole, contradicts itself.
  Status FindChild(std::uint32_t parent, std::u16string_view name,
                   std::optional<std::uint32_t>& found);

  // The on-disk bytes of entry `index` with a new start sector and size.
  std::string Encode(std::uint32_t index, std::uint32_t start, std::uint64_t size) const;
  // Takes in the 128 bytes that reached the file for entry `index`.
  void Replace(std::uint32_t index, std::string_view raw);

  // True when stream entries use 32-bit sizes (version 3).
  bool narrowSizes() const { return narrowSizes_; }

 private:
  Status CheckTree();
  // `upperName` is `name` with each unit upper-cased.
  bool HasName(std::uint32_t index, std::u16string_view name, std::u16string_view upperName) const;

  // Every entry's bytes, in directory order: one block, so a directory of
  // thousands of entries costs one allocation, and moving the directory
  // leaves views from Raw() pointing where they did.
  std::unique_ptr<char[]> bytes_;
  std::vector<std::uint8_t> inTree_;  // one per entry (read so far)
  std::vector<std::uint32_t> sectors_;
  unsigned sectorShift_ = 9;
  bool narrowSizes_ = false;

  // What reading the rest of a large directory needs; null once it is whole.
  struct Partial;
  std::unique_ptr<Partial> partial_;
  // Entry `index`'s chunk read, or why it cannot be (past the chain's end).
  Status Reach(std::uint32_t index, std::uint32_t from, const char* role);
  Status FindChildInPart(std::uint32_t parent, std::u16string_view name,
                         std::u16string_view upperName, std::optional<std::uint32_t>& found);
};

}  // namespace tavrin::storage
