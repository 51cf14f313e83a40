#include "platform/storage/JournalFormat.h"

#include <algorithm>

#include "platform/storage/Crc32.h"
#include "platform/storage/Format.h"

namespace tavrin::storage {
namespace {

constexpr std::string_view kMagic = "TVRNJRNL";
constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kRegionHeaderBytes = 16;
constexpr std::size_t kCheckBytes = 4;

void AppendU32(std::string& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  StoreU32(bytes, bytes.size() - 4, value);
}

void AppendU64(std::string& bytes, std::uint64_t value) {
  bytes.resize(bytes.size() + 8);
  StoreU64(bytes, bytes.size() - 8, value);
}

// The check as it will stand once the seal is in place.
std::uint32_t SealedCheck(std::string_view unsealed) {
  const std::string seal = JournalSeal();
  std::uint32_t crc = Crc32(unsealed.substr(0, kJournalSealOffset));
  crc = Crc32(seal, crc);
  return Crc32(unsealed.substr(kJournalSealOffset + seal.size()), crc);
}

// How our journals begin: the magic and the version.
std::string Opening() {
  std::string opening(kMagic);
  AppendU32(opening, kVersion);
  return opening;
}

// The length a journal with these counts has, or false when no file could
// be that long.
bool LengthFor(std::uint64_t regions, std::uint64_t saved, std::uint64_t checks,
               std::uint64_t& length) {
  std::uint64_t regionHeaders = 0;
  std::uint64_t checkBytes = 0;
  return !__builtin_mul_overflow(regions, kRegionHeaderBytes, &regionHeaders) &&
         !__builtin_mul_overflow(checks, kCheckBytes, &checkBytes) &&
         !__builtin_add_overflow(kJournalHeaderBytes + kCheckBytes, regionHeaders, &length) &&
         !__builtin_add_overflow(length, checkBytes, &length) &&
         !__builtin_add_overflow(length, saved, &length);
}

}  // namespace

std::vector<std::size_t> BlockPieces(std::uint64_t offset, std::size_t length) {
  std::vector<std::size_t> pieces;
  for (std::size_t done = 0; done < length;) {
    const std::uint64_t toBlockEnd = kJournalBlock - (offset + done) % kJournalBlock;
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(toBlockEnd, length - done));
    pieces.push_back(piece);
    done += piece;
  }
  return pieces;
}

std::vector<std::uint32_t> BlockChecks(std::uint64_t offset, std::string_view bytes) {
  std::vector<std::uint32_t> checks;
  std::size_t at = 0;
  for (const std::size_t piece : BlockPieces(offset, bytes.size())) {
    checks.push_back(Crc32(bytes.substr(at, piece)));
    at += piece;
  }
  return checks;
}

std::string EncodeJournal(const JournalContent& content) {
  std::uint64_t saved = 0;
  std::uint64_t checks = 0;
  for (const SavedRegion& region : content.regions) {
    saved += region.bytes.size();
    checks += region.intended.size();
  }
  std::string bytes = Opening();
  AppendU32(bytes, 0);
  AppendU64(bytes, content.document.device);
  AppendU64(bytes, content.document.inode);
  AppendU64(bytes, content.document.birth);
  AppendU64(bytes, content.boot);
  AppendU64(bytes, content.originalLength);
  AppendU64(bytes, content.finalLength);
  AppendU64(bytes, content.regions.size());
  AppendU64(bytes, saved);
  AppendU64(bytes, checks);
  for (const SavedRegion& region : content.regions) {
    AppendU64(bytes, region.offset);
    AppendU64(bytes, region.bytes.size());
    for (const std::uint32_t check : region.intended) AppendU32(bytes, check);
    bytes += region.bytes;
  }
  AppendU32(bytes, SealedCheck(bytes));
  return bytes;
}

std::string JournalSeal() {
  std::string seal(4, '\0');
  StoreU32(seal, 0, kJournalSealed);
  return seal;
}

JournalState CheckJournalHeader(std::string_view head, std::uint64_t size, JournalHeader& header,
                                std::string& problem) {
  header = {};
  problem.clear();
  const auto unusable = [&problem](std::string why) {
    problem = std::move(why);
    return JournalState::kUnusable;
  };
  const std::string opening = Opening();
  const std::size_t compared = std::min(head.size(), opening.size());
  if (head.substr(0, compared) != std::string_view(opening).substr(0, compared)) {
    if (compared == opening.size() && head.substr(0, kMagic.size()) == kMagic) {
      return unusable("its format version is " + std::to_string(LoadU32(head, kMagic.size())) +
                      ", not " + std::to_string(kVersion));
    }
    return unusable("it is not a journal of this program");
  }
  // Cut short before its seal: a crash while it was being made.
  if (head.size() < kJournalSealOffset + 4) return JournalState::kUnsealed;
  const bool sealed = LoadU32(head, kJournalSealOffset) == kJournalSealed;
  if (head.size() < kJournalHeaderBytes) {
    // Sealed only once all of it was on disk.
    return sealed ? unusable("it is cut short") : JournalState::kUnsealed;
  }

  JournalContent& content = header.content;
  content.document = {LoadU64(head, 16), LoadU64(head, 24), LoadU64(head, 32)};
  content.boot = LoadU64(head, 40);
  content.originalLength = LoadU64(head, 48);
  content.finalLength = LoadU64(head, 56);
  const std::uint64_t regions = header.regions = LoadU64(head, 64);
  const std::uint64_t saved = header.saved = LoadU64(head, 72);
  const std::uint64_t checks = header.checks = LoadU64(head, 80);
  // Regions lie inside the original length and save a byte at least; each
  // touches at most two blocks more than its length fills. So the journal
  // is never longer than the document's length and its own bookkeeping.
  if (content.finalLength < content.originalLength) {
    return unusable("its change would have cut the document short");
  }
  if (saved > content.originalLength || regions > saved ||
      checks > saved / kJournalBlock + 2 * regions ||
      !LengthFor(regions, saved, checks, header.length)) {
    return unusable("its header does not add up: " + std::to_string(regions) + " regions of " +
                    std::to_string(saved) + " bytes with " + std::to_string(checks) +
                    " block checks, in a document of " + std::to_string(content.originalLength) +
                    " bytes");
  }
  if (!sealed) {
    // A journal is written front to back, so one that was never finished
    // is at most as long as its header says.
    if (size > header.length) return unusable("it is longer than its header says");
    return JournalState::kUnsealed;
  }
  if (size != header.length) {
    return unusable("it is " + std::to_string(size) + " bytes long where its header says " +
                    std::to_string(header.length));
  }
  return JournalState::kSealed;
}

JournalState DecodeJournal(std::string_view bytes, JournalContent& content, std::string& problem) {
  content = {};
  JournalHeader header;
  const JournalState state =
      CheckJournalHeader(bytes.substr(0, kJournalHeaderBytes), bytes.size(), header, problem);
  if (state != JournalState::kSealed) return state;
  const auto unusable = [&problem](std::string why) {
    problem = std::move(why);
    return JournalState::kUnusable;
  };
  const std::string_view body = bytes.substr(0, bytes.size() - kCheckBytes);
  if (Crc32(body) != LoadU32(bytes, body.size())) return unusable("its checksum does not match");

  // The check passed, so what follows is what this program wrote; the
  // bounds are still checked, as they cost nothing.
  content = std::move(header.content);
  std::uint64_t saved = 0;
  std::size_t at = kJournalHeaderBytes;
  for (std::uint64_t i = 0; i < header.regions; ++i) {
    const std::string where = "region " + std::to_string(i);
    if (body.size() - at < kRegionHeaderBytes) return unusable(where + " is cut short");
    SavedRegion region;
    region.offset = LoadU64(bytes, at);
    const std::uint64_t length = LoadU64(bytes, at + 8);
    at += kRegionHeaderBytes;
    if (length == 0) return unusable(where + " is empty");
    if (region.offset > content.originalLength || length > content.originalLength - region.offset) {
      return unusable(where + " lies past the document's original length");
    }
    // Measured against what is there before anything is made of it.
    if (length > body.size() - at) return unusable(where + " is cut short");
    const std::vector<std::size_t> pieces =
        BlockPieces(region.offset, static_cast<std::size_t>(length));
    if (pieces.size() * kCheckBytes > body.size() - at - length) {
      return unusable(where + " is cut short");
    }
    for (std::size_t piece = 0; piece < pieces.size(); ++piece, at += kCheckBytes) {
      region.intended.push_back(LoadU32(bytes, at));
    }
    region.bytes.assign(body.substr(at, static_cast<std::size_t>(length)));
    at += static_cast<std::size_t>(length);
    saved += length;
    content.regions.push_back(std::move(region));
  }
  if (at != body.size() || saved != header.saved) {
    return unusable("its regions do not add up to its header");
  }
  return JournalState::kSound;
}

}  // namespace tavrin::storage
