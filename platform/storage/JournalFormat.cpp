#include "platform/storage/JournalFormat.h"

#include "platform/storage/Crc32.h"
#include "platform/storage/Format.h"

namespace tavrin::storage {
namespace {

constexpr std::string_view kMagic = "TVRNJRNL";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 32;
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

}  // namespace

std::string EncodeJournal(const JournalContent& content) {
  std::string bytes(kMagic);
  AppendU32(bytes, kVersion);
  AppendU32(bytes, 0);
  AppendU64(bytes, content.originalLength);
  AppendU64(bytes, content.regions.size());
  for (const SavedRegion& region : content.regions) {
    AppendU64(bytes, region.offset);
    AppendU64(bytes, region.bytes.size());
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

JournalState DecodeJournal(std::string_view bytes, JournalContent& content, std::string& problem) {
  content = {};
  problem.clear();
  if (bytes.size() < kJournalSealOffset + 4 ||
      LoadU32(bytes, kJournalSealOffset) != kJournalSealed) {
    return JournalState::kUnsealed;
  }
  const auto damaged = [&problem](std::string why) {
    problem = std::move(why);
    return JournalState::kDamaged;
  };
  if (bytes.substr(0, kMagic.size()) != kMagic)
    return damaged("it is not a journal of this program");
  if (const std::uint32_t version = LoadU32(bytes, kMagic.size()); version != kVersion) {
    return damaged("its format version is " + std::to_string(version));
  }
  if (bytes.size() < kHeaderBytes + kCheckBytes) return damaged("it is cut short");
  const std::string_view body = bytes.substr(0, bytes.size() - kCheckBytes);
  if (Crc32(body) != LoadU32(bytes, body.size())) return damaged("its checksum does not match");

  // The check passed, so what follows is what this program wrote; the
  // bounds are still checked, as they cost nothing.
  content.originalLength = LoadU64(bytes, 16);
  const std::uint64_t count = LoadU64(bytes, 24);
  std::size_t at = kHeaderBytes;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (body.size() - at < kRegionHeaderBytes)
      return damaged("region " + std::to_string(i) + " is cut short");
    SavedRegion region;
    region.offset = LoadU64(bytes, at);
    const std::uint64_t length = LoadU64(bytes, at + 8);
    at += kRegionHeaderBytes;
    if (length > body.size() - at) return damaged("region " + std::to_string(i) + " is cut short");
    if (region.offset > content.originalLength || length > content.originalLength - region.offset) {
      return damaged("region " + std::to_string(i) + " lies past the document's original length");
    }
    region.bytes.assign(body.substr(at, static_cast<std::size_t>(length)));
    at += static_cast<std::size_t>(length);
    content.regions.push_back(std::move(region));
  }
  if (at != body.size()) return damaged("it holds more than its regions");
  return JournalState::kSound;
}

}  // namespace tavrin::storage
