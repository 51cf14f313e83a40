// Planning a change to a package as one WritePlan (see the states at the top
// of Archive.cpp). Two ways, the cheaper whenever it serves:
//  - In place: a replaced member whose new content deflates to no more than
//    its old compressed size is written as a stream of exactly that size
//    (padded with empty deflate blocks inside the stream), so only its data,
//    the CRC and sizes in its local header, data descriptor and central
//    entry change: a few KiB whatever the size of the package. A stored
//    member that shrinks keeps its place and zeroes what it no longer uses.
//  - Shift: from the first member that does not fit onward, every byte is
//    written again: later members' local headers and data unchanged, moved
//    by the growth; new members after the last one; the central directory
//    with the new offsets; the end record.
// Either way every member not named keeps each byte of its local header,
// data and descriptor, and every footprint only grows, so the file never
// gets shorter and no stale tail is left after the end record.
//
// Stages: member bytes are kData, the central directory kDirectory and the
// end record kHeader. The journal makes the order matter for nothing but
// the moments a crash can stop at; this order keeps the end record (what a
// reader finds first) last.

#include <algorithm>

#include "platform/storage/Crc32.h"
#include "platform/storage/zip/Archive.h"
#include "platform/storage/zip/Deflate.h"
#include "platform/storage/zip/Records.h"

namespace tavrin::storage::zip {

namespace {

constexpr int kNewMemberLevel = 9;
// MS-DOS date 1980-01-01, time 00:00: what Office itself gives every member.
constexpr std::uint16_t kDosDate = 0x0021;
constexpr std::uint16_t kVersion20 = 20;

// A replaced member's new form.
struct Encoded {
  std::size_t index = 0;  // into members()
  std::string data;       // the compressed bytes
  std::uint32_t crc = 0;
  std::uint64_t size = 0;  // uncompressed
  // Fits the old footprint: `data` is no longer than the old compressed
  // size, and exactly as long for deflate.
  bool fits = false;
};

std::string Descriptor(const Member& member, const Encoded& encoded) {
  std::string bytes(member.descriptorSize, '\0');
  std::size_t at = 0;
  if (member.descriptorSize == 16) {
    StoreU32(bytes, 0, kDescriptorSignature);
    at = 4;
  }
  StoreU32(bytes, at, encoded.crc);
  StoreU32(bytes, at + 4, static_cast<std::uint32_t>(encoded.data.size()));
  StoreU32(bytes, at + 8, static_cast<std::uint32_t>(encoded.size));
  return bytes;
}

// The fixed part of a local header with the new CRC and sizes, but for any
// field its writer deferred to the descriptor (left 0 in the header).
void PatchLocal(std::string& header, const Member& member, const Encoded& encoded) {
  const bool deferred = (member.flags & kFlagDescriptor) != 0;
  const auto patch = [&](std::size_t at, std::uint64_t value) {
    if (!deferred || LoadU32(header, at) != 0)
      StoreU32(header, at, static_cast<std::uint32_t>(value));
  };
  patch(local::kCrc, encoded.crc);
  patch(local::kCompressed, encoded.data.size());
  patch(local::kUncompressed, encoded.size);
}

void PatchCentral(std::string& entry, std::size_t at, const Encoded& encoded) {
  StoreU32(entry, at + central::kCrc, encoded.crc);
  StoreU32(entry, at + central::kCompressed, static_cast<std::uint32_t>(encoded.data.size()));
  StoreU32(entry, at + central::kUncompressed, static_cast<std::uint32_t>(encoded.size));
}

// A new member's local header and data, and its central entry but for the
// offset.
void NewMember(const Archive::Change& change, std::string& local, std::string& entry) {
  const std::string data = Deflate(change.content, kNewMemberLevel);
  const std::uint32_t crc = Crc32(change.content);
  const auto nameLength = static_cast<std::uint16_t>(change.name.size());
  local.assign(kLocalFixed, '\0');
  StoreU32(local, 0, kLocalSignature);
  StoreU16(local, 4, kVersion20);
  StoreU16(local, local::kMethod, kDeflated);
  StoreU16(local, 12, kDosDate);
  StoreU32(local, local::kCrc, crc);
  StoreU32(local, local::kCompressed, static_cast<std::uint32_t>(data.size()));
  StoreU32(local, local::kUncompressed, static_cast<std::uint32_t>(change.content.size()));
  StoreU16(local, local::kNameLength, nameLength);
  local += change.name;
  local += data;
  entry.assign(kCentralFixed, '\0');
  StoreU32(entry, 0, kCentralSignature);
  StoreU16(entry, 4, kVersion20);
  StoreU16(entry, 6, kVersion20);
  StoreU16(entry, central::kMethod, kDeflated);
  StoreU16(entry, 14, kDosDate);
  StoreU32(entry, central::kCrc, crc);
  StoreU32(entry, central::kCompressed, static_cast<std::uint32_t>(data.size()));
  StoreU32(entry, central::kUncompressed, static_cast<std::uint32_t>(change.content.size()));
  StoreU16(entry, central::kNameLength, nameLength);
  entry += change.name;
}

constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;

}  // namespace

Status Archive::Write(File& file, const std::vector<Change>& changes) {
  if (broken_) return {STG_E_REVERTED, "a failed change left this package to be reopened"};
  if (&file != file_) return {STG_E_INVALIDPARAMETER, "the file is not the one this package reads"};

  // What really changes: replacements of other content, and new members.
  std::vector<Encoded> replaced;
  std::vector<const Change*> added;
  std::unordered_map<std::string_view, bool> named;
  for (const Change& change : changes) {
    if (change.name.empty() || change.name.size() > 0xFFFF) {
      return {STG_E_INVALIDNAME, "a member name must have 1 to 65535 bytes"};
    }
    if (!named.emplace(change.name, true).second) {
      return {STG_E_INVALIDPARAMETER, "member \"" + change.name + "\" is changed twice"};
    }
    if (change.content.size() >= kMax32) {
      return {TAVRIN_E_MEMBERTOOLARGE, "member \"" + change.name + "\" would need ZIP64"};
    }
    const Member* member = Find(change.name);
    if (member == nullptr) {
      added.push_back(&change);
      continue;
    }
    if (member->method != kStored && member->method != kDeflated) {
      return {TAVRIN_E_UNSUPPORTEDPACKAGE, "member \"" + member->name +
                                               "\" uses compression method " +
                                               std::to_string(member->method)};
    }
    if (member->uncompressedSize == change.content.size()) {
      std::string present;
      if (Read(*member, change.content.size(), present).ok() && present == change.content) {
        continue;
      }
    }
    Encoded encoded;
    encoded.index = static_cast<std::size_t>(member - members_.data());
    encoded.crc = Crc32(change.content);
    encoded.size = change.content.size();
    const auto room = static_cast<std::size_t>(member->compressedSize);
    if (member->method == kStored) {
      encoded.data = change.content;
      encoded.fits = encoded.data.size() <= room;
    } else {
      encoded.fits = DeflateToSize(change.content, room, encoded.data);
      if (!encoded.fits) {
        // Should no padded stream come out exact, a smaller one still fits,
        // with what it no longer uses zeroed: a gap between members.
        encoded.data = Deflate(change.content, kNewMemberLevel);
        encoded.fits = encoded.data.size() <= room;
      }
    }
    replaced.push_back(std::move(encoded));
  }
  if (replaced.empty() && added.empty()) return {};
  if (members_.size() + added.size() > 0xFFFF) {
    return {TAVRIN_E_UNSUPPORTEDPACKAGE, "more than 65535 members would need ZIP64"};
  }

  // Where the shift begins, if anything moves.
  std::vector<const Encoded*> byMember(members_.size(), nullptr);
  std::uint64_t shiftFrom = added.empty() ? kMax32 + 1 : centralOffset_;
  for (const Encoded& encoded : replaced) {
    byMember[encoded.index] = &encoded;
    if (!encoded.fits) {
      shiftFrom = std::min(shiftFrom, members_[encoded.index].localHeaderOffset);
    }
  }

  WritePlan plan(file.size());
  // 1. Members in front of the shift: in place.
  for (const Encoded& encoded : replaced) {
    const Member& m = members_[encoded.index];
    if (m.localHeaderOffset >= shiftFrom) continue;
    std::string header;
    if (Status read = ReadAll(m.localHeaderOffset, kLocalFixed, header); !read.ok()) return read;
    PatchLocal(header, m, encoded);
    plan.Add(WriteStage::kData, m.localHeaderOffset, std::move(header));
    std::string body = encoded.data + Descriptor(m, encoded);
    // A stored member that shrank: what it held beyond its new end goes.
    body.resize(static_cast<std::size_t>(m.endOffset() - m.dataOffset), '\0');
    plan.Add(WriteStage::kData, m.dataOffset, std::move(body));
  }
  std::string directory;
  if (Status read = ReadAll(centralOffset_, static_cast<std::size_t>(centralSize_), directory);
      !read.ok()) {
    return read;
  }
  if (shiftFrom > kMax32) {
    for (const Encoded& encoded : replaced) {
      const Member& m = members_[encoded.index];
      std::string entry = directory.substr(
          static_cast<std::size_t>(m.centralEntryOffset - centralOffset_), kCentralFixed);
      PatchCentral(entry, 0, encoded);
      plan.Add(WriteStage::kDirectory, m.centralEntryOffset, std::move(entry));
    }
  } else {
    // 2. The shift: everything from `shiftFrom` to the central directory,
    // member by member in file order, gaps kept.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (members_[i].localHeaderOffset >= shiftFrom) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
      return members_[x].localHeaderOffset < members_[y].localHeaderOffset;
    });
    std::vector<std::uint64_t> newOffset(members_.size());
    for (std::size_t i = 0; i < members_.size(); ++i) newOffset[i] = members_[i].localHeaderOffset;
    std::string region;
    std::uint64_t cursor = shiftFrom;  // in the old file
    std::string piece;
    for (std::size_t i : order) {
      const Member& m = members_[i];
      const Encoded* encoded = byMember[i];
      const std::uint64_t copyTo = encoded != nullptr ? m.dataOffset : m.endOffset();
      if (Status read = ReadAll(cursor, static_cast<std::size_t>(copyTo - cursor), piece);
          !read.ok()) {
        return read;
      }
      const std::uint64_t at = shiftFrom + region.size() + (m.localHeaderOffset - cursor);
      region += piece;
      newOffset[i] = at;
      cursor = m.endOffset();
      if (encoded == nullptr) continue;
      // The local header just copied, patched in the region.
      std::string header = region.substr(static_cast<std::size_t>(at - shiftFrom), kLocalFixed);
      PatchLocal(header, m, *encoded);
      region.replace(static_cast<std::size_t>(at - shiftFrom), kLocalFixed, header);
      region += encoded->data;
      region += Descriptor(m, *encoded);
      if (encoded->fits)
        region.resize(region.size() + (m.endOffset() - m.dataOffset) - encoded->data.size() -
                          m.descriptorSize,
                      '\0');
    }
    if (Status read = ReadAll(cursor, static_cast<std::size_t>(centralOffset_ - cursor), piece);
        !read.ok()) {
      return read;
    }
    region += piece;
    // 3. New members, then the central directory and the end record.
    std::string newEntries;
    for (const Change* change : added) {
      std::string local, entry;
      NewMember(*change, local, entry);
      StoreU32(entry, central::kLocalOffset, static_cast<std::uint32_t>(shiftFrom + region.size()));
      region += local;
      newEntries += entry;
    }
    for (std::size_t i = 0; i < members_.size(); ++i) {
      const auto at = static_cast<std::size_t>(members_[i].centralEntryOffset - centralOffset_);
      if (newOffset[i] > kMax32) {
        return {TAVRIN_E_UNSUPPORTEDPACKAGE, "the package would grow past 4 GiB, needing ZIP64"};
      }
      StoreU32(directory, at + central::kLocalOffset, static_cast<std::uint32_t>(newOffset[i]));
      if (byMember[i] != nullptr) PatchCentral(directory, at, *byMember[i]);
    }
    directory += newEntries;
    const std::uint64_t newCentral = shiftFrom + region.size();
    if (newCentral + directory.size() > kMax32) {
      return {TAVRIN_E_UNSUPPORTEDPACKAGE, "the package would grow past 4 GiB, needing ZIP64"};
    }
    std::string record = endRecord_;
    const auto count = static_cast<std::uint16_t>(members_.size() + added.size());
    StoreU16(record, end::kEntriesHere, count);
    StoreU16(record, end::kEntries, count);
    StoreU32(record, end::kCentralSize, static_cast<std::uint32_t>(directory.size()));
    StoreU32(record, end::kCentralOffset, static_cast<std::uint32_t>(newCentral));
    const std::uint64_t newEnd = newCentral + directory.size();
    // Every footprint only grows, so nothing of the old file is left past
    // the new end record.
    if (newEnd + record.size() < file.size()) {
      return {STG_E_UNKNOWN, "the planned package is shorter than the present one"};
    }
    plan.Add(WriteStage::kData, shiftFrom, std::move(region));
    plan.Add(WriteStage::kDirectory, newCentral, std::move(directory));
    plan.Add(WriteStage::kHeader, newEnd, std::move(record));
  }

  const CommitResult result = CommitPlan(file, plan);
  if (!result.status.ok()) {
    broken_ = result.documentTouched;
    return result.status;
  }
  // Read back what was written, so this Archive describes the new file, and
  // so our own output passes the checks any package must.
  std::unique_ptr<Archive> fresh;
  if (Status reread = Open(file, fresh); !reread.ok()) {
    broken_ = true;
    return {reread.code(), "the changed package does not read back: " + reread.text()};
  }
  members_ = std::move(fresh->members_);
  index_ = std::move(fresh->index_);
  centralOffset_ = fresh->centralOffset_;
  centralSize_ = fresh->centralSize_;
  endRecordOffset_ = fresh->endRecordOffset_;
  endRecord_ = std::move(fresh->endRecord_);
  return {};
}

}  // namespace tavrin::storage::zip
