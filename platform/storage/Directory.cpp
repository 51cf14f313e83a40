#include "platform/storage/Directory.h"

#include <utility>

#include "platform/storage/NameOrder.h"

namespace tavrin::storage {

namespace {

// Field offsets inside a directory entry.
constexpr std::size_t kNameLengthAt = 64;
constexpr std::size_t kTypeAt = 66;
constexpr std::size_t kLeftAt = 68;
constexpr std::size_t kRightAt = 72;
constexpr std::size_t kChildAt = 76;
constexpr std::size_t kStartAt = 116;
constexpr std::size_t kSizeAt = 120;
constexpr std::size_t kMaxNameUnits = 32;  // 31 characters and the terminator

std::string EntryText(std::uint32_t index) {
  return "directory entry " + std::to_string(index);
}

}  // namespace

DirEntry Directory::Decode(std::string raw) const {
  DirEntry entry;
  // The name length is only trusted as far as the 64 bytes that hold a name.
  const std::size_t units = std::min<std::size_t>(LoadU16(raw, kNameLengthAt) / 2, kMaxNameUnits);
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t unit = LoadU16(raw, 2 * i);
    if (unit == 0) break;
    entry.name.push_back(unit);
  }
  entry.type = static_cast<EntryType>(static_cast<unsigned char>(raw[kTypeAt]));
  entry.left = LoadU32(raw, kLeftAt);
  entry.right = LoadU32(raw, kRightAt);
  entry.child = LoadU32(raw, kChildAt);
  entry.start = LoadU32(raw, kStartAt);
  // Version 3 sizes are 32 bits wide; some writers leave junk in the high
  // half, which the format says to ignore.
  entry.size = narrowSizes_ ? LoadU32(raw, kSizeAt) : LoadU64(raw, kSizeAt);
  entry.raw = std::move(raw);
  return entry;
}

Status Directory::Load(const Header& header, const Sectors& sectors, Fat& fat, Directory& out) {
  Directory directory;
  directory.sectorShift_ = header.sectorShift;
  directory.narrowSizes_ = header.majorVersion == 3;
  Chain chain(fat, header.firstDirectorySector, "the directory");
  if (Status walked = chain.ToEnd(directory.sectors_); !walked.ok()) return walked;

  const std::size_t perSector = sectors.size() / kDirEntrySize;
  directory.entries_.reserve(directory.sectors_.size() * perSector);
  std::string bytes;
  for (std::size_t i = 0; i < directory.sectors_.size(); ++i) {
    if (Status read =
            sectors.Read(directory.sectors_[i], bytes, "directory sector " + std::to_string(i));
        !read.ok()) {
      return read;
    }
    for (std::size_t k = 0; k < perSector; ++k) {
      directory.entries_.push_back(
          directory.Decode(bytes.substr(k * kDirEntrySize, kDirEntrySize)));
    }
  }

  const DirEntry& root = directory.entries_.front();
  if (root.type != EntryType::kRoot) {
    return Status::Corrupt("directory entry 0 has type " +
                           std::to_string(static_cast<unsigned>(root.type)) +
                           " where the root entry (type 5) must be");
  }
  const std::uint64_t capacity = static_cast<std::uint64_t>(sectors.count()) * sectors.size();
  if (root.size > capacity) {
    return Status::Corrupt("the mini stream claims " + std::to_string(root.size) +
                           " bytes but the file's sectors hold " + std::to_string(capacity));
  }
  if (Status tree = directory.CheckTree(); !tree.ok()) return tree;
  out = std::move(directory);
  return {};
}

Status Directory::CheckTree() {
  struct Link {
    std::uint32_t id;
    std::uint32_t from;
    const char* role;
  };
  entries_[0].inTree = true;
  std::vector<Link> pending{{entries_[0].child, 0, "child"}};
  while (!pending.empty()) {
    const Link link = pending.back();
    pending.pop_back();
    if (link.id == kNoEntry) continue;
    if (link.id >= entries_.size()) {
      return Status::Corrupt(EntryText(link.from) + " names entry " + std::to_string(link.id) +
                             " as its " + link.role + " but the directory has " +
                             std::to_string(entries_.size()) + " entries");
    }
    DirEntry& entry = entries_[link.id];
    if (entry.inTree) {
      return Status::Corrupt(EntryText(link.from) + " names entry " + std::to_string(link.id) +
                             " as its " + link.role +
                             " but that entry is already in the tree: the tree has a cycle");
    }
    if (entry.type != EntryType::kStorage && entry.type != EntryType::kStream) {
      return Status::Corrupt(EntryText(link.from) + " names entry " + std::to_string(link.id) +
                             " as its " + link.role + " but that entry has type " +
                             std::to_string(static_cast<unsigned>(entry.type)));
    }
    entry.inTree = true;
    pending.push_back({entry.left, link.id, "left sibling"});
    pending.push_back({entry.right, link.id, "right sibling"});
    // A stream has no children; whatever its child field holds is not followed.
    if (entry.type == EntryType::kStorage) pending.push_back({entry.child, link.id, "child"});
  }
  return {};
}

std::uint64_t Directory::OffsetOf(std::uint32_t index) const {
  const auto perSector = static_cast<std::uint32_t>((1u << sectorShift_) / kDirEntrySize);
  const std::uint64_t sector = sectors_[index / perSector];
  return ((sector + 1) << sectorShift_) + (index % perSector) * kDirEntrySize;
}

std::optional<std::uint32_t> Directory::FindChild(std::uint32_t parent,
                                                  std::u16string_view name) const {
  // The whole sibling tree is searched rather than descended by the name
  // order, so a tree some writer sorted differently still finds its entries.
  // CheckTree has made sure every id is in range and no node comes twice.
  std::vector<std::uint32_t> pending{entries_[parent].child};
  while (!pending.empty()) {
    const std::uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoEntry) continue;
    const DirEntry& entry = entries_[id];
    if (SameName(entry.name, name)) return id;
    pending.push_back(entry.left);
    pending.push_back(entry.right);
  }
  return std::nullopt;
}

std::string Directory::Encode(std::uint32_t index, std::uint32_t start, std::uint64_t size) const {
  std::string raw = entries_[index].raw;
  StoreU32(raw, kStartAt, start);
  // In version 3 only the low half is ours to write; the high half stays
  // whatever the file had, as every byte we have no reason to change does.
  if (narrowSizes_) {
    StoreU32(raw, kSizeAt, static_cast<std::uint32_t>(size));
  } else {
    StoreU64(raw, kSizeAt, size);
  }
  return raw;
}

void Directory::Replace(std::uint32_t index, std::string raw) {
  const bool inTree = entries_[index].inTree;
  entries_[index] = Decode(std::move(raw));
  entries_[index].inTree = inTree;
}

}  // namespace tavrin::storage
