#include "platform/storage/Directory.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/storage/Chain.h"
#include "platform/storage/Header.h"
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

// Code units the name field may hold. The stored length is only trusted as
// far as the 64 bytes that hold a name.
std::size_t NameUnits(std::string_view raw) {
  return std::min<std::size_t>(LoadU16(raw, kNameLengthAt) / 2, kMaxNameUnits);
}

EntryType TypeOf(std::string_view raw) {
  return static_cast<EntryType>(static_cast<unsigned char>(raw[kTypeAt]));
}

// What is still to visit in a walk over the tree. A real tree is shallow,
// so the stack lives in the object and only a degenerate one spills to the
// heap.
template <typename T>
class WalkStack {
 public:
  bool empty() const { return size_ == 0; }
  void Push(const T& item) {
    if (size_ < kInline) {
      inline_[size_] = item;
    } else {
      spilled_.push_back(item);
    }
    ++size_;
  }
  T Pop() {
    --size_;
    if (size_ < kInline) return inline_[size_];
    const T item = spilled_.back();
    spilled_.pop_back();
    return item;
  }

 private:
  static constexpr std::size_t kInline = 48;
  std::array<T, kInline> inline_{};
  std::vector<T> spilled_;
  std::size_t size_ = 0;
};

// A link from one entry to another, still to be followed.
struct Link {
  std::uint32_t id = kNoEntry;
  std::uint32_t from = 0;
  const char* role = "";
};

Status OutOfRange(const Link& link, std::size_t count) {
  return Status::Corrupt(EntryText(link.from) + " names entry " + std::to_string(link.id) +
                         " as its " + link.role + " but the directory has " +
                         std::to_string(count) + " entries");
}

Status Cycle(const Link& link) {
  return Status::Corrupt(EntryText(link.from) + " names entry " + std::to_string(link.id) +
                         " as its " + link.role +
                         " but that entry is already in the tree: the tree has a cycle");
}

Status NotInTree(const Link& link, EntryType type) {
  return Status::Corrupt(EntryText(link.from) + " names entry " + std::to_string(link.id) +
                         " as its " + link.role + " but that entry has type " +
                         std::to_string(static_cast<unsigned>(type)));
}

// The root entry is what it must be, and its mini stream fits in the file.
Status CheckRoot(const DirEntry& root, const Sectors& sectors) {
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
  return {};
}

}  // namespace

// A large directory's chain as far as it has been followed, and its
// entries in chunks of kWholeUpTo bytes, each read when an entry in it is
// first asked for.
struct Directory::Partial {
  Partial(const Header& h, const Sectors& s, Fat& f, std::uint32_t sectorsPerChunk)
      : header(h),
        sectors(s),
        fat(f),
        chain(f, h.firstDirectorySector, "the directory"),
        chunkSectors(sectorsPerChunk) {}

  const Header& header;
  const Sectors& sectors;
  Fat& fat;
  Chain chain;
  std::uint32_t chunkSectors;
  std::vector<std::unique_ptr<char[]>> chunks;
  // Every entry of the root's sibling tree, once a search has checked them
  // all: a second search there, say for a set the file lacks too, reads no
  // link again.
  std::optional<std::vector<std::uint32_t>> rootLevel;
};

Directory::Directory() = default;
Directory::~Directory() = default;
Directory::Directory(Directory&&) noexcept = default;
Directory& Directory::operator=(Directory&&) noexcept = default;

std::string_view Directory::Raw(std::uint32_t index) const {
  const std::size_t at = std::size_t{index} * kDirEntrySize;
  if (partial_ == nullptr) return {bytes_.get() + at, kDirEntrySize};
  const std::size_t chunkBytes = std::size_t{partial_->chunkSectors} << sectorShift_;
  return {partial_->chunks.at(at / chunkBytes).get() + at % chunkBytes, kDirEntrySize};
}

DirEntry Directory::entry(std::uint32_t index) const {
  const std::string_view raw = Raw(index);
  DirEntry entry;
  entry.type = TypeOf(raw);
  entry.left = LoadU32(raw, kLeftAt);
  entry.right = LoadU32(raw, kRightAt);
  entry.child = LoadU32(raw, kChildAt);
  entry.start = LoadU32(raw, kStartAt);
  // Version 3 sizes are 32 bits wide; some writers leave junk in the high
  // half, which the format says to ignore.
  entry.size = narrowSizes_ ? LoadU32(raw, kSizeAt) : LoadU64(raw, kSizeAt);
  entry.inTree = inTree_[index] != 0;
  return entry;
}

std::u16string Directory::Name(std::uint32_t index) const {
  const std::string_view raw = Raw(index);
  std::u16string name;
  for (std::size_t i = 0, units = NameUnits(raw); i < units; ++i) {
    const char16_t unit = LoadU16(raw, 2 * i);
    if (unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

bool Directory::HasName(std::uint32_t index, std::u16string_view name,
                        std::u16string_view upperName) const {
  const std::string_view raw = Raw(index);
  const std::size_t units = NameUnits(raw);
  if (name.size() > units) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t unit = LoadU16(raw, 2 * i);
    if (unit == 0) return false;  // the stored name is shorter
    if (unit != name[i] && SimpleUpper(unit) != upperName[i]) return false;
  }
  // The stored name must end here too: at its length or at a terminator.
  return name.size() == units || LoadU16(raw, 2 * name.size()) == 0;
}

Status Directory::Open(const Header& header, const Sectors& sectors, Fat& fat, Directory& out) {
  const auto chunkSectors = static_cast<std::uint32_t>(kWholeUpTo >> header.sectorShift);
  auto partial = std::make_unique<Partial>(header, sectors, fat, chunkSectors);
  // A chain that ends within the first chunk, or does not reach past it, is
  // read whole (and any fault in it reported) as always.
  std::uint32_t beyond = 0;
  if (!partial->chain.At(chunkSectors, beyond).ok()) return Load(header, sectors, fat, out);

  Directory directory;
  directory.sectorShift_ = header.sectorShift;
  directory.narrowSizes_ = header.majorVersion == 3;
  directory.partial_ = std::move(partial);
  if (Status read = directory.Reach(0, 0, "root"); !read.ok()) return read;
  if (Status root = CheckRoot(directory.root(), sectors); !root.ok()) return root;
  directory.inTree_[0] = 1;
  out = std::move(directory);
  return {};
}

Status Directory::Reach(std::uint32_t index, std::uint32_t from, const char* role) {
  Partial& part = *partial_;
  const std::uint64_t perSector = (std::uint64_t{1} << sectorShift_) / kDirEntrySize;
  const std::uint64_t chunk = index / perSector / part.chunkSectors;
  if (chunk < part.chunks.size() && part.chunks[chunk] != nullptr) {
    if (index < inTree_.size()) return {};
  } else {
    // The chunk's sectors as far as the chain goes, each run of neighbours
    // in one read; what lies past the chain's end is never read: no entry
    // there is in range.
    const std::size_t sectorSize = part.sectors.size();
    auto bytes =
        std::make_unique_for_overwrite<char[]>(std::size_t{part.chunkSectors} * sectorSize);
    const std::uint64_t first = chunk * part.chunkSectors;
    std::uint64_t runStart = 0;
    std::uint32_t runSector = 0;
    std::uint64_t runLength = 0;
    const auto flush = [&]() -> Status {
      if (runLength == 0) return {};
      runLength = std::exchange(runLength, 0);
      return part.sectors.ReadBytes(
          part.sectors.Offset(runSector), bytes.get() + (runStart - first) * sectorSize,
          static_cast<std::size_t>(runLength * sectorSize), {"directory sector", runStart});
    };
    for (std::uint64_t p = first; p < first + part.chunkSectors; ++p) {
      std::uint32_t sector = 0;
      if (Status at = part.chain.At(p, sector); !at.ok()) {
        if (!part.chain.length()) return at;  // a broken link, not the end
        break;
      }
      if (runLength > 0 && sector == runSector + runLength) {
        ++runLength;
        continue;
      }
      if (Status read = flush(); !read.ok()) return read;
      runStart = p;
      runSector = sector;
      runLength = 1;
    }
    if (Status read = flush(); !read.ok()) return read;
    if (part.chunks.size() <= chunk) part.chunks.resize(static_cast<std::size_t>(chunk) + 1);
    part.chunks[chunk] = std::move(bytes);
    // Entries are counted up to the chain's end, once it is known.
    std::uint64_t known = part.chunks.size() * std::uint64_t{part.chunkSectors} * perSector;
    if (const auto length = part.chain.length()) known = std::min(known, *length * perSector);
    if (inTree_.size() < known) inTree_.resize(static_cast<std::size_t>(known), 0);
    if (index < inTree_.size()) return {};
  }
  return OutOfRange({index, from, role}, inTree_.size());
}

Status Directory::MakeWhole() {
  if (partial_ == nullptr) return {};
  // Read again through the checks a small directory gets at open; an entry
  // found meanwhile keeps its index.
  const Partial& part = *partial_;
  Directory whole;
  if (Status loaded = Load(part.header, part.sectors, part.fat, whole); !loaded.ok()) return loaded;
  *this = std::move(whole);
  return {};
}

Status Directory::Load(const Header& header, const Sectors& sectors, Fat& fat, Directory& out) {
  Directory directory;
  directory.sectorShift_ = header.sectorShift;
  directory.narrowSizes_ = header.majorVersion == 3;
  Chain chain(fat, header.firstDirectorySector, "the directory");
  if (Status walked = chain.ToEnd(directory.sectors_); !walked.ok()) return walked;

  // The chain holds only distinct sectors of the file, so this is no larger
  // than the file.
  const std::vector<std::uint32_t>& chainSectors = directory.sectors_;
  const std::size_t sectorSize = sectors.size();
  directory.bytes_ = std::make_unique_for_overwrite<char[]>(chainSectors.size() * sectorSize);
  // Directory sectors usually sit side by side: each run of them is one read.
  for (std::size_t first = 0; first < chainSectors.size();) {
    std::size_t last = first;
    while (last + 1 < chainSectors.size() && chainSectors[last + 1] == chainSectors[last] + 1) {
      ++last;
    }
    if (Status read = sectors.ReadBytes(
            sectors.Offset(chainSectors[first]), directory.bytes_.get() + first * sectorSize,
            (last - first + 1) * sectorSize, {"directory sector", first});
        !read.ok()) {
      return read;
    }
    first = last + 1;
  }
  directory.inTree_.assign(chainSectors.size() * (sectorSize / kDirEntrySize), 0);

  if (Status root = CheckRoot(directory.root(), sectors); !root.ok()) return root;
  if (Status tree = directory.CheckTree(); !tree.ok()) return tree;
  out = std::move(directory);
  return {};
}

Status Directory::CheckTree() {
  const auto count = static_cast<std::uint32_t>(size());
  inTree_[0] = 1;
  WalkStack<Link> pending;
  const auto follow = [&pending](std::uint32_t id, std::uint32_t from, const char* role) {
    if (id != kNoEntry) pending.Push({id, from, role});
  };
  follow(LoadU32(Raw(0), kChildAt), 0, "child");
  while (!pending.empty()) {
    const Link link = pending.Pop();
    if (link.id >= count) return OutOfRange(link, count);
    const std::string_view raw = Raw(link.id);
    const EntryType type = TypeOf(raw);
    if (inTree_[link.id] != 0) return Cycle(link);
    if (type != EntryType::kStorage && type != EntryType::kStream) return NotInTree(link, type);
    inTree_[link.id] = 1;
    follow(LoadU32(raw, kLeftAt), link.id, "left sibling");
    follow(LoadU32(raw, kRightAt), link.id, "right sibling");
    // A stream has no children; whatever its child field holds is not followed.
    if (type == EntryType::kStorage) follow(LoadU32(raw, kChildAt), link.id, "child");
  }
  return {};
}

std::uint64_t Directory::OffsetOf(std::uint32_t index) const {
  const auto perSector = static_cast<std::uint32_t>((1u << sectorShift_) / kDirEntrySize);
  const std::uint64_t sector = sectors_[index / perSector];
  return ((sector + 1) << sectorShift_) + (index % perSector) * kDirEntrySize;
}

Status Directory::FindChild(std::uint32_t parent, std::u16string_view name,
                            std::optional<std::uint32_t>& found) {
  found.reset();
  // No stored name is longer; the query is upper-cased once, not at every entry.
  if (name.size() > kMaxNameUnits) return {};
  std::array<char16_t, kMaxNameUnits> upper{};
  std::transform(name.begin(), name.end(), upper.begin(), SimpleUpper);
  const std::u16string_view upperName(upper.data(), name.size());
  if (partial_ != nullptr) return FindChildInPart(parent, name, upperName, found);
  // The whole sibling tree is searched rather than descended by the name
  // order, so a tree some writer sorted differently still finds its entries.
  // CheckTree has made sure every id is in range and no node comes twice.
  WalkStack<std::uint32_t> pending;
  pending.Push(LoadU32(Raw(parent), kChildAt));
  while (!pending.empty()) {
    const std::uint32_t id = pending.Pop();
    if (id == kNoEntry) continue;
    if (HasName(id, name, upperName)) {
      found = id;
      return {};
    }
    const std::string_view raw = Raw(id);
    pending.Push(LoadU32(raw, kLeftAt));
    pending.Push(LoadU32(raw, kRightAt));
  }
  return {};
}

Status Directory::FindChildInPart(std::uint32_t parent, std::u16string_view name,
                                  std::u16string_view upperName,
                                  std::optional<std::uint32_t>& found) {
  // The same search, with CheckTree's checks made on the siblings it passes,
  // each as it is read. Reached entries are marked in the tree: they are
  // linked from the root through checked entries.
  if (parent == 0 && partial_->rootLevel) {
    for (const std::uint32_t id : *partial_->rootLevel) {
      if (HasName(id, name, upperName)) {
        found = id;
        break;
      }
    }
    return {};
  }
  std::vector<std::uint32_t> passed;
  UnitSet seen;
  WalkStack<Link> pending;
  const auto follow = [&pending](std::uint32_t id, std::uint32_t from, const char* role) {
    if (id != kNoEntry) pending.Push({id, from, role});
  };
  follow(LoadU32(Raw(parent), kChildAt), parent, "child");
  while (!pending.empty()) {
    const Link link = pending.Pop();
    if (Status reached = Reach(link.id, link.from, link.role); !reached.ok()) return reached;
    const std::string_view raw = Raw(link.id);
    const EntryType type = TypeOf(raw);
    if (link.id == 0 || !seen.Insert(link.id)) return Cycle(link);
    if (type != EntryType::kStorage && type != EntryType::kStream) return NotInTree(link, type);
    inTree_[link.id] = 1;
    if (HasName(link.id, name, upperName)) {
      found = link.id;
      return {};
    }
    passed.push_back(link.id);
    follow(LoadU32(raw, kLeftAt), link.id, "left sibling");
    follow(LoadU32(raw, kRightAt), link.id, "right sibling");
  }
  if (parent == 0) partial_->rootLevel = std::move(passed);
  return {};
}

std::string Directory::Encode(std::uint32_t index, std::uint32_t start, std::uint64_t size) const {
  std::string raw(Raw(index));
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

void Directory::Replace(std::uint32_t index, std::string_view raw) {
  std::memcpy(bytes_.get() + std::size_t{index} * kDirEntrySize, raw.data(),
              std::min(raw.size(), kDirEntrySize));
}

}  // namespace tavrin::storage
