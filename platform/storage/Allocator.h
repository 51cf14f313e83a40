#pragma once
// Where a write finds room, and what it may touch. A change reads only the
// table sectors its own chains pass through, so what it costs does not grow
// with the document: it never loads the whole FAT.
//
// What that gives up, and why it is safe: to prove that no other chain of the
// file runs through a sector the change rewrites, every chain would have to
// be walked. Instead the change claims the chains it touches (its stream, the
// directory, the mini FAT and the mini stream) and refuses when two of them
// meet, when any chain of the directory or the header starts inside one of
// them, when a table sector it rewrites is not marked as one, or when any of
// its chains contradicts the tables. New data goes only into sectors marked
// free or past the end of the file, which no valid chain can reach; a sector
// marked free where the directory or the header says a chain begins refuses
// the change. A stream that runs into a claimed chain from the middle of its
// own is not found; such a file is already cross-linked, and that stream
// already reads another stream's bytes.
//
// A chain may run on past what its stream's size needs. Those sectors are
// the stream's, and a change keeps them as they are: they stay linked after
// the stream's last sector, and are neither written, freed nor relinked. So
// whatever else may run through them reads as it did, and whether anything
// does needs no walk of the whole FAT. But a chain that starts inside another
// stream runs on to that stream's end just so, and its first sectors, which
// the change rewrites, are that stream's too. Such a chain is refused on the
// signs a change sees anyway: a claimed chain or a named start inside it, or
// another entry leading into it in the FAT sectors its walk read.
//
// A stream is read only as far as its size needs, so the entry of its last
// sector is never followed, and a writer may have left it marked free. Such
// a sector looks free, yet the stream reads through it. A sector marked free
// that the change takes is refused when an entry of any FAT sector the change
// has read leads to it, and so is a FAT or DIFAT sector it rewrites that a
// chain runs into; the FAT sector covering the sector before either, where
// the link of a chain laid out in order lies, is always among them. A link from a FAT sector the
// change has not read is not seen: finding it would take the whole FAT.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/storage/Header.h"
#include "platform/storage/Status.h"

namespace tavrin::storage {

class Directory;
class Structures;

// Owners of sectors that are not directory entries; an entry's index owns
// its stream's chain, and the root entry (0) the mini stream.
inline constexpr std::uint32_t kDifatOwner = 0xFFFFFF01u;
inline constexpr std::uint32_t kDirectoryOwner = 0xFFFFFF02u;
inline constexpr std::uint32_t kMiniFatOwner = 0xFFFFFF03u;

// "the directory", "stream "Name" (entry 3)", for messages.
std::string OwnerText(const Directory& directory, std::uint32_t owner);

// The sectors of the chains a change touches, each with its one owner.
class Claims {
 public:
  // Claims every sector of `chain` for `owner`; a sector another owner holds
  // refuses the change.
  Status Claim(std::span<const std::uint32_t> chain, std::uint32_t owner,
               std::string_view ownerText);
  bool Claimed(std::uint32_t sector) const { return owners_.count(sector) != 0; }
  // Refuses when a chain of `owner` starts at `start` inside another owner's
  // claimed chain.
  Status CheckStart(std::uint32_t start, std::uint32_t owner, std::string_view ownerText) const;

 private:
  std::unordered_map<std::uint32_t, std::uint32_t> owners_;
  std::unordered_map<std::uint32_t, std::string> names_;
};

// Where the chains the header and the directory name begin, by the owners
// Claims uses: the directory, the mini FAT, the DIFAT, the mini stream and
// every stream in normal sectors. Built once per change from the directory
// it reads whole anyway, so a lookup reads nothing.
class ChainStarts {
 public:
  struct Start {
    std::uint32_t sector;
    std::uint32_t owner;
  };

  explicit ChainStarts(const Structures& parts);

  const std::vector<Start>& all() const { return starts_; }
  // The owner of a chain that begins at `sector`.
  std::optional<std::uint32_t> OwnerAt(std::uint32_t sector) const;

 private:
  std::vector<Start> starts_;  // by sector
};

// Which small stream owns each mini sector, found by walking every small
// stream's chain through the whole mini FAT: the mini stream is bounded by
// the small streams, not by the document. Table entries no live chain
// reaches are left out, so junk some writers leave in unused entries does
// not count, while a stream that runs into another's chain makes the meeting
// point shared.
class MiniOwnership {
 public:
  static constexpr std::uint32_t kNobody = 0xFFFFFFFFu;
  static constexpr std::uint32_t kShared = 0xFFFFFFFEu;

  MiniOwnership(const std::vector<std::uint32_t>& miniFat, std::uint64_t present,
                const Directory& directory);

  // Marks the chain from `start` up to its end marker. A walk stops quietly
  // at anything it cannot follow, or at a unit already owned: that chain is
  // not ours to judge unless the change touches it, and then its own checked
  // walk has already refused it.
  void Walk(std::uint32_t start, std::uint32_t owner);
  // Refuses the chain the change rewrites unless each unit belongs to it alone.
  Status CheckOwned(const std::vector<std::uint32_t>& chain, std::uint32_t owner,
                    std::string_view ownerText) const;
  // Whether a change may take the mini sector for new data: no chain owns
  // it, and the mini FAT marks it free or it lies past the mini stream. A
  // unit marked free that a live chain reaches refuses the change, as its
  // FAT counterpart does (SectorAllocator::Take).
  Status Available(std::uint32_t unit, bool& available) const;

 private:
  const std::vector<std::uint32_t>& table_;
  const Directory& directory_;
  std::uint64_t present_;
  std::vector<std::uint32_t> owners_;
};

// The FAT side of a change: a working copy of the FAT sectors it reads, the
// DIFAT when the FAT grows past the header's slots, and the header fields
// that count them.
class SectorAllocator {
 public:
  // One FAT sector as the change found it and as it leaves it.
  struct Block {
    std::uint32_t location = 0;
    std::vector<std::uint32_t> original;
    std::vector<std::uint32_t> entries;
    bool fresh = false;  // made by this change
  };

  SectorAllocator(Structures& parts, const Claims& claims, const ChainStarts& starts,
                  Header& header);

  // The entry of `sector` as the change has it.
  Status Get(std::uint32_t sector, std::uint32_t& value);
  // The entry of `sector` as the file has it.
  Status Original(std::uint32_t sector, std::uint32_t& value);
  Status Set(std::uint32_t sector, std::uint32_t value);
  // A sector for new data: one the file marks free, else past its end; the
  // FAT grows to cover it. A sector marked free where a named chain begins
  // refuses the change: that chain has lost its link there, and the rest of
  // it, which may be marked free as wrongly, cannot be told from free
  // sectors, so passing over the one sector would not keep the stream whole.
  Status Take(std::uint32_t& sector);
  // Refuses when an entry of a FAT sector the change has read leads to a
  // sector Take handed out or to a FAT or DIFAT sector the change rewrites:
  // a chain runs through it whose stream reads it as data (a last sector's
  // entry is never followed, so it may be marked free, or be a table's).
  Status CheckNothingLeadsInto();

  const std::map<std::uint32_t, Block>& blocks() const { return blocks_; }
  bool difatLoaded() const { return difatLoaded_; }
  const std::vector<std::uint32_t>& difatChain() const { return difatChain_; }
  const std::vector<std::vector<std::uint32_t>>& difatContents() const { return difatContents_; }
  std::size_t originalDifatSectors() const { return originalDifatSectors_; }

 private:
  Status BlockOf(std::uint32_t sector, Block*& block);
  Status NextFree(std::uint32_t& sector);
  Status AddFatSector();
  Status LoadDifat();
  // Where the file's FAT and DIFAT sectors are, before any sector marked
  // free is handed out.
  Status LoadTableLocations();

  Structures& parts_;
  const Claims& claims_;
  const ChainStarts& starts_;
  Header& header_;
  const std::uint32_t perSector_;
  std::map<std::uint32_t, Block> blocks_;
  // Sectors inside the file that loaded blocks mark free, lowest first.
  std::set<std::uint32_t> free_;
  // Those of them handed out for new data.
  std::set<std::uint32_t> takenFree_;
  std::uint64_t pastEnd_;
  bool difatLoaded_ = false;
  std::vector<std::uint32_t> difatChain_;
  std::vector<std::vector<std::uint32_t>> difatContents_;
  std::size_t originalDifatSectors_ = 0;
  std::set<std::uint32_t> tableLocations_;
  bool tableLocationsLoaded_ = false;
  // FAT entries of new FAT and DIFAT sectors, set once the FAT reaches them.
  std::map<std::uint32_t, std::uint32_t> pendingMarks_;
};

// The mini side of a change: a working copy of the mini FAT, the sectors
// that hold it, and the mini stream's chain and size. `streamSectors` are
// the ones the mini stream's size needs; a chain that runs on past them goes
// on at `streamTail`, and sectors the mini stream grows by go in before it.
class MiniAllocator {
 public:
  MiniAllocator(std::vector<std::uint32_t> miniFat, const MiniOwnership& ownership,
                std::vector<std::uint32_t> tableSectors, std::vector<std::uint32_t> streamSectors,
                std::uint32_t streamTail, std::uint32_t streamStart, std::uint64_t streamSize,
                SectorAllocator& sectors, Header& header, std::uint32_t sectorSize);

  // A mini sector that was free before the change, with the mini FAT and the
  // mini stream grown to hold it.
  Status Take(std::uint32_t& miniSector);
  void Set(std::uint32_t miniSector, std::uint32_t value) { miniFat_[miniSector] = value; }

  const std::vector<std::uint32_t>& miniFat() const { return miniFat_; }
  const std::vector<std::uint32_t>& tableSectors() const { return tableSectors_; }
  const std::vector<std::uint32_t>& streamSectors() const { return streamSectors_; }
  std::uint32_t streamStart() const { return streamStart_; }
  std::uint64_t streamSize() const { return streamSize_; }

 private:
  const MiniOwnership& ownership_;
  std::vector<std::uint32_t> miniFat_;
  std::vector<std::uint32_t> tableSectors_;
  std::vector<std::uint32_t> streamSectors_;
  std::uint32_t streamTail_;
  std::uint32_t streamStart_;
  std::uint64_t streamSize_;
  SectorAllocator& sectors_;
  Header& header_;
  std::uint32_t sectorSize_;
  std::uint64_t cursor_ = 0;
};

}  // namespace tavrin::storage
