#pragma once
// The directory: one 128-byte entry per storage and stream, linked into a
// tree of sibling trees. Its sectors are read whole at open and the tree is
// checked from the root, so that no id sends a lookup out of range or round
// in a cycle. Entries stay as the bytes the file holds; a field is decoded
// when something asks for it.

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
  // Reads and checks the directory. The root entry's stream size is checked
  // against the file here, because every small stream depends on it.
  static Status Load(const Header& header, const Sectors& sectors, Fat& fat, Directory& out);

  std::size_t size() const { return inTree_.size(); }
  DirEntry entry(std::uint32_t index) const;
  DirEntry root() const { return entry(0); }
  // The entry's name, up to its terminator.
  std::u16string Name(std::uint32_t index) const;
  // The 128 bytes of entry `index` as the file holds them.
  std::string_view Raw(std::uint32_t index) const {
    return {bytes_.get() + std::size_t{index} * kDirEntrySize, kDirEntrySize};
  }
  std::uint64_t OffsetOf(std::uint32_t index) const;
  // The sectors of the directory, in chain order.
  const std::vector<std::uint32_t>& sectors() const { return sectors_; }

  // The entry named `name` among the children of storage `parent`.
  std::optional<std::uint32_t> FindChild(std::uint32_t parent, std::u16string_view name) const;

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
  std::vector<std::uint8_t> inTree_;  // one per entry
  std::vector<std::uint32_t> sectors_;
  unsigned sectorShift_ = 9;
  bool narrowSizes_ = false;
};

}  // namespace tavrin::storage
