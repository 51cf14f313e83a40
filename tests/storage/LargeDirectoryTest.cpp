// A directory of thousands of entries is read only as far as a lookup goes;
// a change still reads and checks all of it first.

#include <gtest/gtest.h>

#include <random>

#include "platform/storage/Directory.h"
#include "storage/SampleDocument.h"
#include "support/FaultySystemCalls.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

using fixture::CfbImage;

constexpr int kAttachments = 2100;
constexpr std::uint64_t kLeftAt = 68;
constexpr std::uint64_t kChildAt = 76;

// The two sets and a body at the root, and a folder of attachments whose
// entries make the directory four times the size read whole.
CfbImage LargeDirectoryDocument() {
  fixture::CfbWriter writer;
  writer.AddStream(kSummary, std::string(300, 's'));
  writer.AddStream(kDocSummary, std::string(5000, 'd'));
  writer.AddStream("Body", std::string(9000, 'b'));
  const int folder = writer.AddStorage("Attachments");
  for (int i = 0; i < kAttachments; ++i) {
    writer.AddStream("a" + std::to_string(i), std::string(70, static_cast<char>('0' + i % 10)),
                     folder);
  }
  return writer.Build();
}

class LargeDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(std::uint64_t{kAttachments} * kDirEntrySize, 4 * Directory::kWholeUpTo);
  }

  // The attachments folder's entry.
  int FolderEntry() const { return image.streams.at("a0").entry - 1; }

  std::string Read(CompoundFile& file, std::u16string_view name) {
    std::optional<std::uint32_t> entry;
    EXPECT_EQ(file.FindRootStream(name, entry), S_OK) << file.LastError();
    if (!entry) return {};
    std::string bytes;
    EXPECT_EQ(file.ReadStream(*entry, bytes), S_OK) << file.LastError();
    return bytes;
  }

  CfbImage image = LargeDirectoryDocument();
  fixture::ScratchDir dir;
};

TEST_F(LargeDirectoryTest, ReadingTheSetsReadsLittleOfTheDirectory) {
  const std::string path = dir.Put("large.msg", image.bytes);
  fixture::FaultySystemCalls counting;
  ScopedSystemCalls scoped(counting);
  Opened opened = OpenDocument(path);
  ASSERT_EQ(opened.hr, S_OK) << opened.error;
  EXPECT_EQ(Read(*opened.file, kSummary16), std::string(300, 's'));
  EXPECT_EQ(Read(*opened.file, kDocSummary16), std::string(5000, 'd'));
  std::optional<std::uint32_t> missing;
  EXPECT_EQ(opened.file->FindRootStream(u"Absent", missing), S_OK);
  EXPECT_FALSE(missing);
  EXPECT_LT(counting.bytesRead(), 2 * Directory::kWholeUpTo);

  // An entry no lookup reached is read once the whole tree is checked.
  std::string attachment;
  ASSERT_EQ(
      opened.file->ReadStream(static_cast<std::uint32_t>(image.streams.at("a7").entry), attachment),
      S_OK);
  EXPECT_EQ(attachment, std::string(70, '7'));
}

TEST_F(LargeDirectoryTest, DamageInAnotherFolderKeepsTheSetsReadableButRefusesAChange) {
  // The folder's tree runs round: its first child names itself as a sibling.
  const int first = static_cast<int>(image.Get32(image.EntryOffset(FolderEntry()) + kChildAt));
  image.Put32(image.EntryOffset(first) + kLeftAt, static_cast<std::uint32_t>(first));
  const std::string path = dir.Put("damaged.msg", image.bytes);
  Opened opened = OpenDocument(path);
  ASSERT_EQ(opened.hr, S_OK) << opened.error;
  EXPECT_EQ(Read(*opened.file, kSummary16), std::string(300, 's'));

  const std::optional<std::uint32_t> entry = opened.file->FindRootStream(kSummary16);
  ASSERT_TRUE(entry);
  EXPECT_EQ(opened.file->ReplaceStream(*entry, std::string(300, 'S')), STG_E_DOCFILECORRUPT);
  EXPECT_NE(opened.file->LastError().find("cycle"), std::string::npos) << opened.file->LastError();
  EXPECT_EQ(fixture::ReadWholeFile(path), image.bytes);
}

TEST_F(LargeDirectoryTest, DamageOnTheWayToASetIsReportedNotMistakenForAbsence) {
  for (const std::uint32_t bad : {std::uint32_t{0}, std::uint32_t{kAttachments * 4}}) {
    CfbImage damaged = image;
    const auto top = damaged.Get32(damaged.EntryOffset(0) + kChildAt);
    damaged.Put32(damaged.EntryOffset(static_cast<int>(top)) + kLeftAt, bad);
    Opened opened = OpenDocument(dir.Put("root.msg", damaged.bytes));
    ASSERT_EQ(opened.hr, S_OK) << opened.error;
    std::optional<std::uint32_t> entry;
    EXPECT_EQ(opened.file->FindRootStream(u"Absent", entry), STG_E_DOCFILECORRUPT) << bad;
    EXPECT_FALSE(entry);
  }
}

TEST_F(LargeDirectoryTest, AChangeReadsTheRestAndLandsWhereTheLookupFoundIt) {
  const std::string path = dir.Put("change.msg", image.bytes);
  {
    Opened opened = OpenDocument(path);
    ASSERT_EQ(opened.hr, S_OK) << opened.error;
    ASSERT_EQ(Read(*opened.file, kSummary16), std::string(300, 's'));
    const std::optional<std::uint32_t> entry = opened.file->FindRootStream(kSummary16);
    ASSERT_TRUE(entry);
    ASSERT_EQ(opened.file->ReplaceStream(*entry, std::string(6000, 'S')), S_OK)
        << opened.file->LastError();
    EXPECT_EQ(Read(*opened.file, kSummary16), std::string(6000, 'S'));
  }
  Opened reopened = OpenDocument(path);
  ASSERT_EQ(reopened.hr, S_OK) << reopened.error;
  EXPECT_EQ(Read(*reopened.file, kSummary16), std::string(6000, 'S'));
  EXPECT_EQ(Read(*reopened.file, kDocSummary16), std::string(5000, 'd'));
  std::string attachment;
  ASSERT_EQ(reopened.file->ReadStream(static_cast<std::uint32_t>(image.streams.at("a2099").entry),
                                      attachment),
            S_OK);
  EXPECT_EQ(attachment, std::string(70, '9'));
}

// Damage to the directory and the FAT, where a lookup reads part of the
// directory: every call ends with a known code, a refused change leaves the
// file as it was, and one that succeeds reads back.
TEST_F(LargeDirectoryTest, RandomDamageEndsInAKnownCodeAndNeverSpreads) {
  std::mt19937 random(20261208);
  std::vector<std::uint32_t> structure = image.directorySectors;
  structure.insert(structure.end(), image.fatSectors.begin(), image.fatSectors.end());
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    CfbImage damaged = image;
    for (int damage = 1 + static_cast<int>(random() % 3); damage > 0; --damage) {
      // Mostly the first directory sectors, where the root's entries are.
      const std::size_t pick = random() % 2 == 0 ? random() % 8 : random() % structure.size();
      const std::uint64_t at =
          damaged.SectorOffset(structure[pick]) + (random() % damaged.sectorSize & ~3u);
      damaged.Put32(at, random() % 2 == 0 ? static_cast<std::uint32_t>(random() % 4096)
                                          : static_cast<std::uint32_t>(random()));
    }
    const std::string path = dir.Put("damaged.msg", damaged.bytes);
    Opened opened = OpenDocument(path);
    if (opened.hr != S_OK) {
      EXPECT_EQ(opened.hr, STG_E_DOCFILECORRUPT) << opened.error;
      continue;
    }
    std::optional<std::uint32_t> entry;
    const HRESULT found = opened.file->FindRootStream(kSummary16, entry);
    EXPECT_TRUE(found == S_OK || found == STG_E_DOCFILECORRUPT) << opened.file->LastError();
    if (!entry) continue;
    std::string bytes;
    const HRESULT read = opened.file->ReadStream(*entry, bytes);
    EXPECT_TRUE(read == S_OK || read == STG_E_DOCFILECORRUPT) << opened.file->LastError();
    const HRESULT changed = opened.file->ReplaceStream(*entry, std::string(300, 'S'));
    EXPECT_TRUE(changed == S_OK || changed == STG_E_DOCFILECORRUPT) << opened.file->LastError();
    if (changed != S_OK) {
      EXPECT_EQ(fixture::ReadWholeFile(path), damaged.bytes);
      continue;
    }
    opened.file.reset();
    Opened reopened = OpenDocument(path);
    ASSERT_EQ(reopened.hr, S_OK) << reopened.error;
    EXPECT_EQ(Read(*reopened.file, kSummary16), std::string(300, 'S'));
  }
}

}  // namespace
}  // namespace tavrin::storage
