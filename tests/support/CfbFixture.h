#pragma once
// Builds compound files in memory for tests, with code of its own rather than
// the engine's, and tells where every structure landed so that a test can
// patch one computed byte.
//
// Layout, in sector order: FAT sectors, DIFAT sectors, directory, mini FAT,
// mini stream, the normal streams (one after another, or interleaved), and
// free sectors at the end.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavrin::fixture {

inline constexpr std::uint32_t kFree = 0xFFFFFFFFu;
inline constexpr std::uint32_t kEnd = 0xFFFFFFFEu;
inline constexpr std::uint32_t kFatMark = 0xFFFFFFFDu;
inline constexpr std::uint32_t kDifatMark = 0xFFFFFFFCu;

struct CfbOptions {
  int version = 3;           // 3: 512-byte sectors; 4: 4096-byte sectors
  unsigned sectorShift = 0;  // 0: the version's own; 12 under version 3 occurs in the wild
  std::uint32_t minFatSectors =
      0;                          // more FAT sectors than needed; past 109 they need DIFAT sectors
  std::uint32_t freeSectors = 0;  // free sectors at the end of the file
  bool interleave = false;        // the normal streams' sectors alternate
};

struct Placement {
  int entry = 0;
  bool mini = false;
  std::vector<std::uint32_t> units;  // sectors, or mini sectors for a small stream
};

struct CfbImage {
  std::string bytes;
  std::uint32_t sectorSize = 512;
  std::vector<std::uint32_t> fatSectors, difatSectors, directorySectors, miniFatSectors,
      miniStreamSectors;
  std::vector<std::uint32_t> fat, miniFat;
  std::map<std::string, Placement> streams;  // by name

  std::uint64_t SectorOffset(std::uint32_t sector) const;
  std::uint64_t FatEntryOffset(std::uint32_t sector) const;
  std::uint64_t MiniFatEntryOffset(std::uint32_t miniSector) const;
  std::uint64_t MiniSectorOffset(std::uint32_t miniSector) const;
  std::uint64_t EntryOffset(int entry) const;
  std::uint32_t Get32(std::uint64_t offset) const;
  void Put32(std::uint64_t offset, std::uint32_t value);
};

class CfbWriter {
 public:
  explicit CfbWriter(CfbOptions options = {}) : options_(options) {}
  // Both return the new entry's index; the root is entry 0.
  int AddStorage(const std::string& name, int parent = 0);
  int AddStream(const std::string& name, std::string data, int parent = 0);
  CfbImage Build() const;

 private:
  struct Item {
    std::string name;
    int parent;
    bool storage;
    std::string data;
  };
  CfbOptions options_;
  std::vector<Item> items_;
};

// Header field offsets a test patches.
inline constexpr std::size_t kHeaderMinorVersion = 0x18;
inline constexpr std::size_t kHeaderMajorVersion = 0x1A;
inline constexpr std::size_t kHeaderByteOrder = 0x1C;
inline constexpr std::size_t kHeaderSectorShift = 0x1E;
inline constexpr std::size_t kHeaderMiniSectorShift = 0x20;
inline constexpr std::size_t kHeaderDirectorySectors = 0x28;
inline constexpr std::size_t kHeaderFatSectors = 0x2C;
inline constexpr std::size_t kHeaderTransaction = 0x34;
inline constexpr std::size_t kHeaderCutoff = 0x38;
inline constexpr std::size_t kHeaderMiniFatSectors = 0x40;
inline constexpr std::size_t kHeaderDifatSectors = 0x48;
// Directory entry field offsets.
inline constexpr std::size_t kEntryColour = 67;
inline constexpr std::size_t kEntryLeft = 68;
inline constexpr std::size_t kEntryRight = 72;
inline constexpr std::size_t kEntryChild = 76;
inline constexpr std::size_t kEntryStart = 116;
inline constexpr std::size_t kEntrySize = 120;

}  // namespace tavrin::fixture
