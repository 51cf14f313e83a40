// The ZIP package engine.
//
// Invariants of an open Archive, checked by Open before anything trusts them:
//  1. One end record, the last thing in the file but its comment; one disk;
//     no ZIP64 record or field.
//  2. The central directory ends exactly where the end record begins, and
//     holds exactly the number of entries the end record gives.
//  3. Every entry's local header has the entry's signature, name, method and
//     encryption and descriptor flags; sizes and CRC agree with the entry, in
//     the header or, for a member with a data descriptor, in the descriptor.
//  4. Members do not overlap each other or the central directory, and no two
//     share a name. Bytes before the first member (a self-extracting
//     prefix), between members and in the comment are nobody's and stay.
//
// A write (ArchiveWrite.cpp) goes through CommitPlan and nothing else:
//   planned  --Write: members fit-->    in place: the changed members' data,
//                                        local header, descriptor and entry
//   planned  --a member grows-->        shift: from that member on, every
//                                        byte moved, central directory rebuilt
//   either   --CommitPlan-->            committed (this Archive reread) or
//                                        rolled back (this Archive refuses use)

#include "platform/storage/zip/Archive.h"

#include <algorithm>

#include "platform/storage/Crc32.h"
#include "platform/storage/zip/Deflate.h"
#include "platform/storage/zip/Records.h"

namespace tavrin::storage::zip {

namespace {

Status Bad(std::string text) {
  return {TAVRIN_E_BADPACKAGE, std::move(text)};
}
Status Unsupported(std::string text) {
  return {TAVRIN_E_UNSUPPORTEDPACKAGE, std::move(text)};
}

std::string Hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 0xFu]);
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

std::string Quoted(const Member& member) {
  return "member \"" + member.name + "\"";
}

// Finds the end record: the last signature whose comment length reaches
// exactly to the end of the file, so that a signature inside a comment is
// never taken for it.
bool FindEndRecord(std::string_view tail, std::size_t& at) {
  if (tail.size() < kEndFixed) return false;
  for (std::size_t i = tail.size() - kEndFixed + 1; i-- > 0;) {
    if (LoadU32(tail, i) == kEndSignature &&
        i + kEndFixed + LoadU16(tail, i + end::kCommentLength) == tail.size()) {
      at = i;
      return true;
    }
  }
  return false;
}

}  // namespace

Status Archive::ReadAll(std::uint64_t offset, std::size_t count, std::string& bytes) const {
  bytes.resize(count);
  std::size_t got = 0;
  if (Status read = file_->ReadAt(offset, bytes.data(), count, got); !read.ok()) return read;
  if (got != count) {
    return Bad("the file ends at offset " + std::to_string(offset + got) + ", inside a record at " +
               std::to_string(offset));
  }
  return {};
}

Status Archive::Open(const File& file, std::unique_ptr<Archive>& out) {
  std::unique_ptr<Archive> archive(new Archive(file));
  Archive& a = *archive;
  const std::uint64_t size = file.size();
  if (size < kEndFixed) return Bad("the file has " + std::to_string(size) + " bytes, too few");

  // 1. The end record. Most packages have no comment: a short read finds
  // it, and only a long comment costs the longest read.
  std::uint64_t tailStart = 0;
  std::string tail;
  std::size_t at = 0;
  bool found = false;
  for (const std::uint64_t reach : {std::uint64_t{4096}, std::uint64_t{kEndFixed + kMaxComment}}) {
    tailStart = size - std::min<std::uint64_t>(size, reach);
    if (Status read = a.ReadAll(tailStart, static_cast<std::size_t>(size - tailStart), tail);
        !read.ok()) {
      return read;
    }
    found = FindEndRecord(tail, at);
    if (found || tailStart == 0) break;
  }
  if (!found) return Bad("no end-of-central-directory record");
  a.endRecordOffset_ = tailStart + at;
  a.endRecord_ = tail.substr(at);
  const std::string_view record = a.endRecord_;
  if (LoadU16(record, end::kDisk) != 0 || LoadU16(record, end::kCentralDisk) != 0 ||
      LoadU16(record, end::kEntriesHere) != LoadU16(record, end::kEntries)) {
    if (LoadU16(record, end::kDisk) == 0xFFFF) return Unsupported("ZIP64 archive");
    return Unsupported("an archive spanning several disks");
  }
  const std::uint16_t count = LoadU16(record, end::kEntries);
  a.centralSize_ = LoadU32(record, end::kCentralSize);
  a.centralOffset_ = LoadU32(record, end::kCentralOffset);
  if (count == 0xFFFF || a.centralSize_ == 0xFFFFFFFFu || a.centralOffset_ == 0xFFFFFFFFu ||
      (at >= kZip64LocatorSize &&
       LoadU32(tail, at - kZip64LocatorSize) == kZip64LocatorSignature)) {
    return Unsupported("ZIP64 archive");
  }
  // 2. The central directory, right before the end record.
  if (a.centralOffset_ + a.centralSize_ != a.endRecordOffset_) {
    return Bad("the central directory at " + std::to_string(a.centralOffset_) + ", " +
               std::to_string(a.centralSize_) + " bytes long, does not end at the end record at " +
               std::to_string(a.endRecordOffset_));
  }
  std::string central;
  if (Status read = a.ReadAll(a.centralOffset_, static_cast<std::size_t>(a.centralSize_), central);
      !read.ok()) {
    return read;
  }
  std::size_t pos = 0;
  a.members_.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (central.size() - pos < kCentralFixed || LoadU32(central, pos) != kCentralSignature) {
      return Bad("central-directory entry " + std::to_string(i) + " of " + std::to_string(count) +
                 " at " + std::to_string(a.centralOffset_ + pos) + " is missing or damaged");
    }
    const std::string_view entry(central.data() + pos, central.size() - pos);
    const std::size_t nameLength = LoadU16(entry, central::kNameLength);
    const std::size_t length = kCentralFixed + nameLength + LoadU16(entry, central::kExtraLength) +
                               LoadU16(entry, central::kCommentLength);
    if (length > entry.size()) {
      return Bad("central-directory entry " + std::to_string(i) + " runs past the directory");
    }
    Member m;
    m.name.assign(entry.substr(kCentralFixed, nameLength));
    m.flags = LoadU16(entry, central::kFlags);
    m.method = LoadU16(entry, central::kMethod);
    m.crc32 = LoadU32(entry, central::kCrc);
    m.compressedSize = LoadU32(entry, central::kCompressed);
    m.uncompressedSize = LoadU32(entry, central::kUncompressed);
    m.localHeaderOffset = LoadU32(entry, central::kLocalOffset);
    m.centralEntryOffset = a.centralOffset_ + pos;
    m.centralEntrySize = static_cast<std::uint32_t>(length);
    if (m.compressedSize == 0xFFFFFFFFu || m.uncompressedSize == 0xFFFFFFFFu ||
        m.localHeaderOffset == 0xFFFFFFFFu) {
      return Unsupported(Quoted(m) + " has ZIP64 sizes or offset");
    }
    if (LoadU16(entry, central::kDiskStart) != 0) {
      return Unsupported(Quoted(m) + " starts on another disk");
    }
    if ((m.flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeader)) != 0) {
      return Unsupported(Quoted(m) + " is encrypted");
    }
    if (!a.index_.emplace(m.name, a.members_.size()).second) {
      return Bad("two members are named \"" + m.name + "\"");
    }
    a.members_.push_back(std::move(m));
    pos += length;
  }
  if (pos != central.size()) {
    return Bad("the central directory has " + std::to_string(central.size() - pos) +
               " bytes after its " + std::to_string(count) + " entries");
  }

  // 3. Every local header agrees with its entry.
  for (Member& m : a.members_) {
    std::string header;
    if (m.localHeaderOffset + kLocalFixed > a.centralOffset_) {
      return Bad(Quoted(m) + " has its local header at " + std::to_string(m.localHeaderOffset) +
                 ", inside the central directory at " + std::to_string(a.centralOffset_));
    }
    if (Status read = a.ReadAll(m.localHeaderOffset, kLocalFixed, header); !read.ok()) return read;
    if (LoadU32(header, 0) != kLocalSignature) {
      return Bad(Quoted(m) + ": no local header at " + std::to_string(m.localHeaderOffset));
    }
    const std::size_t nameLength = LoadU16(header, local::kNameLength);
    const std::uint16_t flags = LoadU16(header, local::kFlags);
    constexpr std::uint16_t kMustAgree = kFlagEncrypted | kFlagDescriptor | kFlagStrongEncryption;
    if (LoadU16(header, local::kMethod) != m.method ||
        (flags & kMustAgree) != (m.flags & kMustAgree)) {
      return Bad(Quoted(m) + ": its local header gives method " +
                 std::to_string(LoadU16(header, local::kMethod)) + " and flags " + Hex(flags) +
                 ", the central directory method " + std::to_string(m.method) + " and flags " +
                 Hex(m.flags));
    }
    m.dataOffset =
        m.localHeaderOffset + kLocalFixed + nameLength + LoadU16(header, local::kExtraLength);
    std::string name;
    if (Status read = a.ReadAll(m.localHeaderOffset + kLocalFixed, nameLength, name); !read.ok()) {
      return read;
    }
    if (name != m.name) {
      return Bad(Quoted(m) + ": its local header names \"" + name + "\"");
    }
    const std::uint32_t crc = LoadU32(header, local::kCrc);
    const std::uint32_t compressed = LoadU32(header, local::kCompressed);
    const std::uint32_t uncompressed = LoadU32(header, local::kUncompressed);
    if (compressed == 0xFFFFFFFFu || uncompressed == 0xFFFFFFFFu) {
      return Unsupported(Quoted(m) + " has ZIP64 sizes in its local header");
    }
    // With a descriptor, a writer that streams leaves a field it did not
    // know yet 0 in the header.
    const bool deferred = (m.flags & kFlagDescriptor) != 0;
    const auto agrees = [deferred](std::uint64_t here, std::uint64_t there) {
      return here == there || (deferred && here == 0);
    };
    if (!agrees(crc, m.crc32) || !agrees(compressed, m.compressedSize) ||
        !agrees(uncompressed, m.uncompressedSize)) {
      return Bad(Quoted(m) + ": its local header gives CRC " + Hex(crc) + " and sizes " +
                 std::to_string(compressed) + "/" + std::to_string(uncompressed) +
                 ", the central directory " + Hex(m.crc32) + " and " +
                 std::to_string(m.compressedSize) + "/" + std::to_string(m.uncompressedSize));
    }
    if (m.dataOffset + m.compressedSize > a.centralOffset_) {
      return Bad(Quoted(m) + ": its data runs into the central directory at " +
                 std::to_string(a.centralOffset_));
    }
    if (deferred) {
      std::string descriptor;
      const std::uint64_t place = m.dataOffset + m.compressedSize;
      const std::size_t room =
          static_cast<std::size_t>(std::min<std::uint64_t>(16, a.centralOffset_ - place));
      if (Status read = a.ReadAll(place, room, descriptor); !read.ok()) return read;
      auto matches = [&](std::size_t from) {
        return descriptor.size() >= from + 12 && LoadU32(descriptor, from) == m.crc32 &&
               LoadU32(descriptor, from + 4) == m.compressedSize &&
               LoadU32(descriptor, from + 8) == m.uncompressedSize;
      };
      if (descriptor.size() >= 4 && LoadU32(descriptor, 0) == kDescriptorSignature && matches(4)) {
        m.descriptorSize = 16;
      } else if (matches(0)) {
        m.descriptorSize = 12;
      } else {
        return Bad(Quoted(m) + ": no data descriptor at " + std::to_string(place) +
                   " agrees with the central directory");
      }
    }
  }

  // 4. No overlaps.
  std::vector<const Member*> inOrder;
  inOrder.reserve(a.members_.size());
  for (const Member& m : a.members_) inOrder.push_back(&m);
  std::sort(inOrder.begin(), inOrder.end(), [](const Member* x, const Member* y) {
    return x->localHeaderOffset < y->localHeaderOffset;
  });
  for (std::size_t i = 0; i + 1 < inOrder.size(); ++i) {
    if (inOrder[i]->endOffset() > inOrder[i + 1]->localHeaderOffset) {
      return Bad(Quoted(*inOrder[i]) + ", ending at " + std::to_string(inOrder[i]->endOffset()) +
                 ", overlaps " + Quoted(*inOrder[i + 1]) + " at " +
                 std::to_string(inOrder[i + 1]->localHeaderOffset));
    }
  }
  out = std::move(archive);
  return {};
}

const Member* Archive::Find(std::string_view name) const {
  const auto found = index_.find(std::string(name));
  return found == index_.end() ? nullptr : &members_[found->second];
}

Status Archive::Read(const Member& member, std::size_t limit, std::string& content) const {
  content.clear();
  if (broken_) return {STG_E_REVERTED, "a failed change left this package to be reopened"};
  if (member.method != kStored && member.method != kDeflated) {
    return Unsupported(Quoted(member) + " uses compression method " +
                       std::to_string(member.method));
  }
  if (member.uncompressedSize > limit) {
    return {TAVRIN_E_MEMBERTOOLARGE,
            Quoted(member) + " holds " + std::to_string(member.uncompressedSize) +
                " bytes, more than the " + std::to_string(limit) + " allowed"};
  }
  const std::size_t expected = static_cast<std::size_t>(member.uncompressedSize);
  if (member.method == kStored && member.compressedSize != member.uncompressedSize) {
    return Bad(Quoted(member) + " is stored, but its sizes differ");
  }
  constexpr std::size_t kPiece = 64 << 10;
  Inflater inflater;
  bool ended = false;
  std::string piece;
  for (std::uint64_t done = 0; done < member.compressedSize;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, member.compressedSize - done));
    if (Status read = ReadAll(member.dataOffset + done, n, piece); !read.ok()) return read;
    done += n;
    if (member.method == kStored) {
      content += piece;
      continue;
    }
    if (ended) {
      return Bad(Quoted(member) + ": its deflate stream ends before its compressed size");
    }
    std::size_t unread = 0;
    if (Status fed = inflater.Feed(piece, expected, content, ended, unread); !fed.ok()) {
      if (fed.code() == TAVRIN_E_MEMBERTOOLARGE) {
        return Bad(Quoted(member) + " inflates to more than the " + std::to_string(expected) +
                   " bytes it gives");
      }
      return {fed.code(), Quoted(member) + ": " + fed.text()};
    }
    if (unread != 0) {
      return Bad(Quoted(member) + ": its deflate stream ends before its compressed size");
    }
  }
  if (member.method == kDeflated && !ended) {
    return Bad(Quoted(member) + ": its deflate stream is cut short");
  }
  if (content.size() != expected) {
    return Bad(Quoted(member) + " inflates to " + std::to_string(content.size()) +
               " bytes, not the " + std::to_string(expected) + " it gives");
  }
  if (const std::uint32_t crc = Crc32(content); crc != member.crc32) {
    return Bad(Quoted(member) + " has CRC " + Hex(crc) + ", not the " + Hex(member.crc32) +
               " it gives");
  }
  return {};
}

}  // namespace tavrin::storage::zip
