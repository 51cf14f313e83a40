// Replacing a stream must change that stream and nothing else: every other
// stream reads the same (to the engine, to olefile and to gsf), and every byte
// outside the structures the change may touch stays as it was.

#include <gtest/gtest.h>

#include "platform/storage/File.h"
#include "storage/SampleDocument.h"
#include "support/ExternalReaders.h"
#include "support/FaultySystemCalls.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

using fixture::CfbImage;

const char* const kRootStreams[] = {"\x05SummaryInformation",
                                    "\x05"
                                    "DocumentSummaryInformation",
                                    "WordDocument", "1Table", "Empty"};

// Mini FAT entries that are taken, so that the next mini sector needs a new
// mini FAT sector.
void FillMiniFat(fixture::CfbWriter& writer, std::uint32_t sectorSize) {
  std::uint32_t left = sectorSize / 4 - (7 + 11 + 5);  // the sample's small streams
  for (int i = 0; left > 0; ++i) {
    const std::uint32_t take = std::min<std::uint32_t>(left, 63);
    writer.AddStream("Filler" + std::to_string(i),
                     Pattern(take * 64, 50u + static_cast<unsigned>(i)));
    left -= take;
  }
}

// True at each byte of the original file a replacement of `target` may
// change: the header, the tables, the target's and the root's directory
// entries, the target's own sectors, and whatever was free.
std::vector<bool> MayChange(const CfbImage& image, const std::string& target) {
  std::vector<bool> mask(image.bytes.size(), false);
  const auto mark = [&mask](std::uint64_t from, std::uint64_t length) {
    for (std::uint64_t i = from; i < from + length && i < mask.size(); ++i) mask[i] = true;
  };
  const auto markSectors = [&](const std::vector<std::uint32_t>& sectors) {
    for (std::uint32_t s : sectors) mark(image.SectorOffset(s), image.sectorSize);
  };
  mark(0, 512);
  markSectors(image.fatSectors);
  markSectors(image.difatSectors);
  markSectors(image.miniFatSectors);
  const fixture::Placement& place = image.streams.at(target);
  mark(image.EntryOffset(place.entry), 128);
  mark(image.EntryOffset(0), 128);
  for (std::uint32_t unit : place.units) {
    place.mini ? mark(image.MiniSectorOffset(unit), 64)
               : mark(image.SectorOffset(unit), image.sectorSize);
  }
  const auto sectors = static_cast<std::uint32_t>(image.bytes.size() / image.sectorSize - 1);
  for (std::uint32_t s = 0; s < sectors; ++s) {
    if (image.fat[s] == fixture::kFree) mark(image.SectorOffset(s), image.sectorSize);
  }
  for (std::uint32_t m = 0; m < image.miniStreamSectors.size() * image.sectorSize / 64; ++m) {
    if (m >= image.miniFat.size() || image.miniFat[m] == fixture::kFree) {
      mark(image.MiniSectorOffset(m), 64);
    }
  }
  return mask;
}

// The first offset where a byte that should not have changed did.
std::string UnexpectedChange(const CfbImage& image, const std::string& target,
                             const std::string& after) {
  if (after.size() < image.bytes.size()) return "the file shrank";
  const std::vector<bool> mask = MayChange(image, target);
  for (std::size_t i = 0; i < image.bytes.size(); ++i) {
    if (!mask[i] && image.bytes[i] != after[i]) return "byte " + std::to_string(i) + " changed";
  }
  return "";
}

std::string ReadRoot(CompoundFile& file, const std::string& name) {
  const auto entry = file.FindRootStream(Widen(name));
  std::string bytes;
  if (!entry || file.ReadStream(*entry, bytes) != S_OK) return "<unreadable>";
  return bytes;
}

enum class Start {
  kSample,
  kSampleWithFullMiniFat,
  kOnlyLargeStreams,
  // Chains that run on past what their stream's size needs, into units
  // nothing else uses: the mini stream's into a spare sector, WordDocument's
  // and the summary's because their sizes were cut without their chains.
  kMiniStreamRunsOn,
  kStreamRunsOn,
  kSmallStreamRunsOn,
};

// Where a chain runs on past its stream's size, in sectors or mini sectors.
struct Tail {
  bool mini = false;
  std::vector<std::uint32_t> units;
};

// Makes the start's chain run on, and gives where.
Tail RunOn(CfbImage& image, Start start) {
  Tail tail;
  const auto cutSize = [&image, &tail](const std::string& name, std::uint32_t size,
                                       std::uint32_t unitSize) {
    fixture::Placement& place = image.streams.at(name);
    image.Put32(image.EntryOffset(place.entry) + fixture::kEntrySize, size);
    const std::size_t needed = (size + unitSize - 1) / unitSize;
    tail.units.assign(place.units.begin() + static_cast<std::ptrdiff_t>(needed), place.units.end());
    place.units.resize(needed);
  };
  switch (start) {
    case Start::kMiniStreamRunsOn: {
      const auto spare = static_cast<std::uint32_t>(
          std::find(image.fat.begin(), image.fat.end(), fixture::kFree) - image.fat.begin());
      image.fat[image.miniStreamSectors.back()] = spare;
      image.fat[spare] = fixture::kEnd;
      image.Put32(image.FatEntryOffset(image.miniStreamSectors.back()), spare);
      image.Put32(image.FatEntryOffset(spare), fixture::kEnd);
      tail.units = {spare};
      break;
    }
    case Start::kStreamRunsOn:
      cutSize("WordDocument", 4500, image.sectorSize);
      break;
    case Start::kSmallStreamRunsOn:
      tail.mini = true;
      cutSize(kSummary, 130, 64);
      break;
    default:
      break;
  }
  return tail;
}

// Empty when every unit of the tail still links where it did: neither freed
// nor relinked. (UnexpectedChange sees that its bytes stay as they were.)
std::string TailRelinked(const CfbImage& image, const Tail& tail, const std::string& after) {
  CfbImage now = image;
  now.bytes = after;
  for (std::uint32_t unit : tail.units) {
    const std::uint64_t link =
        tail.mini ? image.MiniFatEntryOffset(unit) : image.FatEntryOffset(unit);
    if (now.Get32(link) != image.Get32(link)) return "unit " + std::to_string(unit) + " relinked";
  }
  return "";
}

struct Change {
  const char* what;
  std::string stream;
  std::size_t size;
  Start start = Start::kSample;
};

const Change kChanges[] = {
    {"small stream grows", kSummary, 1000},
    {"small stream shrinks", kDocSummary, 130},
    {"small stream grows past the cutoff", kSummary, 6000},
    {"stream shrinks below the cutoff", "WordDocument", 300},
    {"stream grows", "1Table", 12000},
    {"stream shrinks", "WordDocument", 4096},
    {"stream grows by a whole FAT sector's reach", "1Table", 4200000},
    {"small stream becomes empty", kSummary, 0},
    {"empty stream becomes small", "Empty", 100},
    {"empty stream becomes large", "Empty", 5000},
    {"small stream needs a new mini FAT sector", kSummary, 1200, Start::kSampleWithFullMiniFat},
    {"first small stream of a document", kSummary, 300, Start::kOnlyLargeStreams},
    {"small stream grows the mini stream, whose chain runs on", kSummary, 3000,
     Start::kMiniStreamRunsOn},
    {"stream changes while the mini stream's chain runs on", "WordDocument", 12000,
     Start::kMiniStreamRunsOn},
    {"stream whose chain runs on grows", "WordDocument", 20000, Start::kStreamRunsOn},
    {"stream whose chain runs on moves into the mini stream", "WordDocument", 300,
     Start::kStreamRunsOn},
    {"small stream whose chain runs on grows", kSummary, 1000, Start::kSmallStreamRunsOn},
};

class ReplaceStreamTest : public ::testing::TestWithParam<int> {};

TEST_P(ReplaceStreamTest, OnlyTheStreamChangesAndEveryReaderAgrees) {
  const bool external = fixture::ExternalReadersPresent();
  for (const Change& change : kChanges) {
    fixture::CfbOptions options;
    options.version = GetParam();
    options.freeSectors = change.start == Start::kMiniStreamRunsOn ? 1 : 0;
    fixture::CfbWriter writer = SampleDocument(options);
    if (change.start == Start::kSampleWithFullMiniFat) {
      FillMiniFat(writer, options.version == 4 ? 4096 : 512);
    }
    if (change.start == Start::kOnlyLargeStreams) {
      writer = fixture::CfbWriter(options);
      for (const char* name : kRootStreams) writer.AddStream(name, Pattern(5000, 60));
    }
    CfbImage image = writer.Build();
    const Tail tail = RunOn(image, change.start);
    fixture::ScratchDir dir;
    const std::string original = dir.Put("original.doc", image.bytes);
    const std::string path = dir.Put("changed.doc", image.bytes);
    const std::string content = Pattern(change.size, 77);
    {
      Opened opened = OpenDocument(path);
      ASSERT_EQ(opened.hr, S_OK) << change.what << ": " << opened.error;
      const auto entry = opened.file->FindRootStream(Widen(change.stream));
      ASSERT_TRUE(entry);
      ASSERT_EQ(opened.file->ReplaceStream(*entry, content), S_OK)
          << change.what << ": " << opened.file->LastError();
      // The object goes on working on the file as it now is: it reads the
      // new content, and finds nothing to write when given it again.
      EXPECT_EQ(ReadRoot(*opened.file, change.stream), content) << change.what;
      fixture::FaultySystemCalls counting;
      ScopedSystemCalls scoped(counting);
      EXPECT_EQ(opened.file->ReplaceStream(*entry, content), S_OK) << change.what;
      EXPECT_EQ(counting.writesAndSyncs(), 0u) << change.what;
    }
    Opened reopened = OpenDocument(path);
    ASSERT_EQ(reopened.hr, S_OK) << change.what << ": " << reopened.error;
    Opened before = OpenDocument(original);
    for (const char* name : kRootStreams) {
      const std::string expected = name == change.stream ? content : ReadRoot(*before.file, name);
      EXPECT_EQ(ReadRoot(*reopened.file, name), expected) << change.what << ": " << name;
    }
    const std::string after = fixture::ReadWholeFile(path);
    EXPECT_EQ(UnexpectedChange(image, change.stream, after), "") << change.what;
    EXPECT_EQ(TailRelinked(image, tail, after), "") << change.what;
    if (external) {
      const std::vector<fixture::ChangedCopy> copies{{path, content}};
      EXPECT_EQ(fixture::CompareWithOlefile(original, change.stream, copies, true), "OK")
          << change.what;
      EXPECT_EQ(fixture::CompareWithGsf(original, change.stream, copies), "OK") << change.what;
    }
  }
}

TEST_P(ReplaceStreamTest, WritingBackWhatWasReadWritesNothing) {
  fixture::CfbOptions options;
  options.version = GetParam();
  const CfbImage image = SampleDocument(options).Build();
  fixture::ScratchDir dir;
  const std::string path = dir.Put("same.doc", image.bytes);
  fixture::FaultySystemCalls counting;
  {
    ScopedSystemCalls scoped(counting);
    Opened opened = OpenDocument(path);
    ASSERT_EQ(opened.hr, S_OK);
    for (const char* name : kRootStreams) {
      const auto entry = opened.file->FindRootStream(Widen(name));
      std::string bytes;
      ASSERT_EQ(opened.file->ReadStream(*entry, bytes), S_OK);
      EXPECT_EQ(opened.file->ReplaceStream(*entry, bytes), S_OK) << name;
    }
  }
  EXPECT_EQ(counting.writesAndSyncs(), 0u);
  EXPECT_EQ(fixture::ReadWholeFile(path), image.bytes);
}

// Sectors a change frees serve the next change before the file grows, and a
// series of changes on one open object leaves a file every reader agrees on.
TEST_P(ReplaceStreamTest, FreedSectorsAreReusedBeforeTheFileGrows) {
  fixture::CfbOptions options;
  options.version = GetParam();
  const CfbImage image = SampleDocument(options).Build();
  fixture::ScratchDir dir;
  const std::string path = dir.Put("reuse.doc", image.bytes);
  const std::size_t sector = image.sectorSize;
  Opened opened = OpenDocument(path);
  ASSERT_EQ(opened.hr, S_OK);
  const auto word = opened.file->FindRootStream(u"WordDocument");
  const auto table = opened.file->FindRootStream(u"1Table");
  const auto summary = opened.file->FindRootStream(kSummary16);
  // WordDocument gives back all but one of its sectors, then 1Table takes as
  // many; the summary moves out of the mini stream into what is left and back.
  const std::size_t wordSectors = (10000 + sector - 1) / sector;
  ASSERT_EQ(opened.file->ReplaceStream(*word, Pattern(4096, 20)), S_OK);
  const std::size_t freed = wordSectors - 4096 / sector;
  ASSERT_GE(freed, 1u);
  const std::size_t tableSize = ((5000 + sector - 1) / sector + freed) * sector;
  ASSERT_EQ(opened.file->ReplaceStream(*table, Pattern(tableSize, 21)), S_OK);
  EXPECT_EQ(std::filesystem::file_size(path), image.bytes.size());
  ASSERT_EQ(opened.file->ReplaceStream(*summary, Pattern(5000, 22)), S_OK);
  ASSERT_EQ(opened.file->ReplaceStream(*summary, Pattern(200, 23)), S_OK);
  ASSERT_EQ(opened.file->ReplaceStream(*word, Pattern(9000, 24)), S_OK);
  opened.file.reset();

  Opened reopened = OpenDocument(path);
  ASSERT_EQ(reopened.hr, S_OK);
  EXPECT_EQ(ReadRoot(*reopened.file, "1Table"), Pattern(tableSize, 21));
  EXPECT_EQ(ReadRoot(*reopened.file, kSummary), Pattern(200, 23));
  EXPECT_EQ(ReadRoot(*reopened.file, "WordDocument"), Pattern(9000, 24));
  EXPECT_EQ(ReadRoot(*reopened.file, kDocSummary), Pattern(700, 2));
}

INSTANTIATE_TEST_SUITE_P(Versions, ReplaceStreamTest, ::testing::Values(3, 4),
                         [](const auto& version) {
                           return "Version" + std::to_string(version.param);
                         });

// A FAT past 109 sectors lists the rest in DIFAT sectors, which the engine
// must create and chain. Each case starts with a FAT whose reach the
// document fills, so the change needs one more FAT sector.
TEST(ReplaceStreamGrowth, FatGrowsIntoNewDifatSectors) {
  struct Case {
    const char* what;
    std::uint32_t fatSectors;
  } cases[] = {
      {"the first DIFAT sector", 109},
      {"a second DIFAT sector, linked from the full first one", 109 + 127},
  };
  for (const Case& c : cases) {
    // The filler takes the FAT's reach but 4 sectors; the change needs 16.
    fixture::CfbOptions options;
    options.minFatSectors = c.fatSectors;
    const std::size_t used = SampleDocument(options).Build().bytes.size() / 512 - 1;
    const std::size_t fillerSectors = std::size_t{c.fatSectors} * 128 - used - 4;
    fixture::CfbWriter writer = SampleDocument(options);
    writer.AddStream("Filler", Pattern(fillerSectors * 512, 61));
    const CfbImage image = writer.Build();
    ASSERT_EQ(image.fatSectors.size(), c.fatSectors) << c.what;
    fixture::ScratchDir dir;
    const std::string original = dir.Put("original.doc", image.bytes);
    const std::string path = dir.Put("big.doc", image.bytes);
    const std::string content = Pattern(5000 + 16 * 512, 31);
    {
      Opened opened = OpenDocument(path);
      ASSERT_EQ(opened.hr, S_OK) << c.what << ": " << opened.error;
      const auto entry = opened.file->FindRootStream(u"1Table");
      ASSERT_EQ(opened.file->ReplaceStream(*entry, content), S_OK)
          << c.what << ": " << opened.file->LastError();
    }
    const std::string after = fixture::ReadWholeFile(path);
    fixture::CfbImage written;
    written.bytes = after;
    EXPECT_EQ(written.Get32(fixture::kHeaderFatSectors), c.fatSectors + 1) << c.what;
    EXPECT_EQ(written.Get32(fixture::kHeaderDifatSectors), image.difatSectors.size() + 1) << c.what;
    EXPECT_EQ(UnexpectedChange(image, "1Table", after), "") << c.what;
    Opened reopened = OpenDocument(path);
    ASSERT_EQ(reopened.hr, S_OK) << c.what << ": " << reopened.error;
    EXPECT_EQ(ReadRoot(*reopened.file, "1Table"), content) << c.what;
    EXPECT_EQ(ReadRoot(*reopened.file, "WordDocument"), Pattern(10000, 3)) << c.what;
    if (fixture::ExternalReadersPresent()) {
      EXPECT_EQ(fixture::CompareWithOlefile(original, "1Table", {{path, content}}, true), "OK")
          << c.what;
    }
  }
}

}  // namespace
}  // namespace tavrin::storage
