// Each case builds a sound document, patches one computed value, and expects
// the exact code from the first step that reaches the bad structure: Open for
// the header, DIFAT and directory, ReadStream for a stream's own chain, and
// ReplaceStream for what only a write must check. A refused write leaves the
// file as it was.

#include <functional>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "platform/storage/File.h"
#include "storage/SampleDocument.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

using fixture::CfbImage;

enum class Step { kOpen, kRead, kReplace };

struct Case {
  const char* what;
  Step step;
  std::function<void(CfbImage&)> patch;
  std::string stream = "WordDocument";  // what kRead and kReplace act on
  fixture::CfbOptions options = {};
  std::size_t size = 20000;  // what kReplace writes
};

std::uint64_t EntryField(const CfbImage& image, const std::string& stream, std::size_t field) {
  return image.EntryOffset(image.streams.at(stream).entry) + field;
}

const std::vector<std::uint32_t>& UnitsOf(const CfbImage& image, const std::string& stream) {
  return image.streams.at(stream).units;
}

fixture::CfbOptions WithDifatSectors() {
  fixture::CfbOptions options;
  options.minFatSectors = 109 + 127 + 1;  // two DIFAT sectors
  return options;
}

fixture::CfbOptions Version4() {
  fixture::CfbOptions options;
  options.version = 4;
  return options;
}

const Case kCases[] = {
    {"FAT chain loops back", Step::kRead,
     [](CfbImage& i) {
       const auto& s = UnitsOf(i, "WordDocument");
       i.Put32(i.FatEntryOffset(s[1]), s[0]);
     }},
    {"FAT chain loops back after the stream's last sector", Step::kReplace,
     [](CfbImage& i) {
       const auto& s = UnitsOf(i, "WordDocument");
       i.Put32(i.FatEntryOffset(s.back()), s[0]);
     }},
    {"mini FAT chain loops back", Step::kRead,
     [](CfbImage& i) {
       const auto& m = UnitsOf(i, kSummary);
       i.Put32(i.MiniFatEntryOffset(m[2]), m[1]);
     },
     kSummary},
    {"directory chain loops back", Step::kOpen,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(i.directorySectors[0]), i.directorySectors[0]); }},
    {"directory starts past the end", Step::kOpen, [](CfbImage& i) { i.Put32(0x30, 100000); }},
    {"sibling id out of range", Step::kOpen,
     [](CfbImage& i) { i.Put32(EntryField(i, "WordDocument", fixture::kEntryLeft), 999); }},
    {"child id names an unused entry", Step::kOpen,
     [](CfbImage& i) { i.Put32(i.EntryOffset(0) + fixture::kEntryChild, 12); }},
    {"directory tree cycle", Step::kOpen,
     [](CfbImage& i) {
       i.Put32(EntryField(i, "Empty", fixture::kEntryRight), i.Get32(i.EntryOffset(0) + 76));
     }},
    {"cycle inside a storage's own tree", Step::kOpen,
     [](CfbImage& i) {
       const int ole = i.streams.at("\x01Ole").entry;
       i.Put32(EntryField(i, "\x01Ole", fixture::kEntryLeft), static_cast<std::uint32_t>(ole));
     }},
    {"sibling id out of range inside a storage", Step::kOpen,
     [](CfbImage& i) { i.Put32(EntryField(i, "Contents", fixture::kEntryRight), 4096); }},
    {"root entry of the wrong type", Step::kOpen,
     [](CfbImage& i) { i.bytes[i.EntryOffset(0) + 66] = 1; }},
    {"two streams share a sector (write the first)", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(EntryField(i, "1Table", fixture::kEntryStart), UnitsOf(i, "WordDocument")[3]);
     }},
    {"two streams share a sector (write the second)", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(EntryField(i, "1Table", fixture::kEntryStart), UnitsOf(i, "WordDocument")[3]);
     },
     "1Table"},
    {"two small streams share a mini sector", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(EntryField(i, kDocSummary, fixture::kEntryStart), UnitsOf(i, kSummary)[2]);
     },
     kSummary},
    {"the mini stream starts at a FAT sector the change rewrites", Step::kReplace,
     [](CfbImage& i) { i.Put32(i.EntryOffset(0) + fixture::kEntryStart, i.fatSectors[0]); }},
    {"the mini stream's chain runs on into another stream", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(i.miniStreamSectors.back()), UnitsOf(i, "WordDocument")[2]);
     },
     kSummary},
    {"the mini stream's chain runs on into the changed stream", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(i.miniStreamSectors.back()), UnitsOf(i, "WordDocument")[2]);
     }},
    {"the changed stream's chain runs on into another stream", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(UnitsOf(i, "1Table").back()), UnitsOf(i, "WordDocument")[5]);
     },
     "1Table"},
    {"the changed stream's chain runs on into where another stream starts", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(UnitsOf(i, "1Table").back()), UnitsOf(i, "WordDocument")[0]);
     },
     "1Table"},
    {"the changed stream's chain runs on into the mini FAT", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(UnitsOf(i, "1Table").back()), i.miniFatSectors[0]);
     },
     "1Table"},
    // New data would go into the lowest sector marked free; one on a chain
    // the change walks is met by the walk first.
    {"a sector of the mini stream's chain is marked free", Step::kReplace,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(i.miniStreamSectors[1]), fixture::kFree); },
     "1Table"},
    {"a sector marked free is where another stream starts", Step::kReplace,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(UnitsOf(i, "WordDocument")[0]), fixture::kFree); },
     "1Table"},
    {"a sector marked free is where the mini FAT starts", Step::kReplace,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(i.miniFatSectors[0]), fixture::kFree); }, "1Table"},
    {"a mini sector marked free is where another small stream starts",
     Step::kReplace,
     [](CfbImage& i) { i.Put32(i.MiniFatEntryOffset(UnitsOf(i, kDocSummary)[0]), fixture::kFree); },
     kSummary,
     {},
     1000},
    // A read never follows the entry of a stream's last sector, so a stream
    // whose last sector is marked free reads whole; new data must not go there.
    {"the last sector of another stream is marked free", Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(UnitsOf(i, "WordDocument").back()), fixture::kFree);
     },
     "1Table"},
    {"the mini stream grows into the free-marked last sector of another stream",
     Step::kReplace,
     [](CfbImage& i) {
       i.Put32(i.FatEntryOffset(UnitsOf(i, "WordDocument").back()), fixture::kFree);
     },
     kSummary,
     {},
     3000},
    {"another stream reads a FAT sector the change rewrites as its last", Step::kReplace,
     [](CfbImage& i) {
       const auto& s = UnitsOf(i, "WordDocument");
       i.Put32(i.FatEntryOffset(s[s.size() - 2]), i.fatSectors[0]);
     },
     "1Table"},
    {"a stream runs into a FAT sector", Step::kReplace,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(UnitsOf(i, "1Table").back()), i.fatSectors[0]); },
     "1Table"},
    {"stream longer than its chain", Step::kRead,
     [](CfbImage& i) {
       i.Put32(EntryField(i, "WordDocument", fixture::kEntrySize), 10000 + 2048);
     }},
    {"small stream longer than its chain", Step::kRead,
     [](CfbImage& i) { i.Put32(EntryField(i, kSummary, fixture::kEntrySize), 3000); }, kSummary},
    {"chain runs into a free sector", Step::kRead,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(UnitsOf(i, "WordDocument")[0]), fixture::kFree); }},
    {"chain points past the end", Step::kRead,
     [](CfbImage& i) { i.Put32(i.FatEntryOffset(UnitsOf(i, "WordDocument")[0]), 50000); }},
    {"mini chain points past the mini stream", Step::kRead,
     [](CfbImage& i) { i.Put32(i.MiniFatEntryOffset(UnitsOf(i, kSummary)[0]), 5000); }, kSummary},
    {"DIFAT count does not match the FAT count", Step::kOpen,
     [](CfbImage& i) { i.Put32(fixture::kHeaderDifatSectors, 1); }},
    {"DIFAT count too small for the FAT count", Step::kOpen,
     [](CfbImage& i) { i.Put32(fixture::kHeaderDifatSectors, 1); }, "WordDocument",
     WithDifatSectors()},
    {"header FAT sector past the end", Step::kOpen, [](CfbImage& i) { i.Put32(0x4C, 99999); }},
    {"no FAT sectors", Step::kOpen, [](CfbImage& i) { i.Put32(fixture::kHeaderFatSectors, 0); }},
    {"a billion FAT sectors", Step::kOpen,
     [](CfbImage& i) { i.Put32(fixture::kHeaderFatSectors, 0x40000000); }},
    {"a billion mini FAT sectors", Step::kOpen,
     [](CfbImage& i) { i.Put32(fixture::kHeaderMiniFatSectors, 0x40000000); }},
    {"mini stream of 4 GB", Step::kOpen,
     [](CfbImage& i) { i.Put32(i.EntryOffset(0) + fixture::kEntrySize, 0xFFFFFF00); }},
    {"version 3 stream of 4 GB", Step::kRead,
     [](CfbImage& i) { i.Put32(EntryField(i, "WordDocument", fixture::kEntrySize), 0xFFFFFFF0); }},
    {"version 4 stream of a terabyte", Step::kRead,
     [](CfbImage& i) { i.Put32(EntryField(i, "WordDocument", fixture::kEntrySize) + 4, 256); },
     "WordDocument", Version4()},
};

TEST(CorruptionTest, EachContradictionGivesDocfileCorruptAtTheStepThatMeetsIt) {
  fixture::ScratchDir dir;
  for (const Case& c : kCases) {
    CfbImage image = SampleDocument(c.options).Build();
    c.patch(image);
    const std::string path = dir.Put("bad.doc", image.bytes);
    Opened opened = OpenDocument(path);
    HRESULT hr = opened.hr;
    std::string error = opened.error;
    if (c.step != Step::kOpen && opened.file) {
      const auto entry = opened.file->FindRootStream(Widen(c.stream));
      ASSERT_TRUE(entry) << c.what;
      std::string bytes;
      hr = c.step == Step::kRead ? opened.file->ReadStream(*entry, bytes)
                                 : opened.file->ReplaceStream(*entry, Pattern(c.size, 9));
      error = opened.file->LastError();
    }
    EXPECT_EQ(hr, STG_E_DOCFILECORRUPT) << c.what << ": " << error;
    EXPECT_FALSE(error.empty()) << c.what;
    // A stream's own contradiction is told with the stream's name.
    if (c.step == Step::kRead) {
      EXPECT_NE(error.find(c.stream.substr(c.stream[0] == '\x05' ? 1 : 0)), std::string::npos)
          << c.what << ": " << error;
    }
    opened.file.reset();
    EXPECT_EQ(fixture::ReadWholeFile(path), image.bytes) << c.what;
  }
}

// A change reads the DIFAT only when it needs a FAT sector listed there, as
// when the FAT must grow; a DIFAT that loops is met then, and refuses the
// change before a byte is written.
TEST(CorruptionTest, ADifatThatLoopsRefusesTheChangeThatNeedsIt) {
  fixture::CfbOptions options = WithDifatSectors();
  const std::size_t used = SampleDocument(options).Build().bytes.size() / 512 - 1;
  fixture::CfbWriter writer = SampleDocument(options);
  // The filler takes the FAT's reach but 4 sectors; the change needs 16.
  writer.AddStream("Filler",
                   std::string((std::size_t{options.minFatSectors} * 128 - used - 4) * 512, 'f'));
  CfbImage image = writer.Build();
  image.Put32(image.SectorOffset(image.difatSectors[0]) + image.sectorSize - 4,
              image.difatSectors[0]);
  fixture::ScratchDir dir;
  const std::string path = dir.Put("loop.doc", image.bytes);
  {
    Opened opened = OpenDocument(path);
    ASSERT_EQ(opened.hr, S_OK) << opened.error;
    EXPECT_EQ(opened.file->ReplaceStream(*opened.file->FindRootStream(u"1Table"),
                                         Pattern(5000 + 16 * 512, 5)),
              STG_E_DOCFILECORRUPT);
    EXPECT_NE(opened.file->LastError().find("cycle"), std::string::npos)
        << opened.file->LastError();
  }
  EXPECT_EQ(fixture::ReadWholeFile(path), image.bytes);
}

// A change reads only the chains it touches. A stream whose chain runs on
// past its own end into the mini stream still reads as it did when the mini
// stream changes: what lies past its end is not its content.
TEST(CorruptionTest, AChainThatRunsOnPastItsStreamIntoTheMiniStreamIsNotDisturbed) {
  CfbImage image = SampleDocument().Build();
  image.Put32(image.FatEntryOffset(UnitsOf(image, "WordDocument").back()),
              image.miniStreamSectors[0]);
  fixture::ScratchDir dir;
  const std::string path = dir.Put("runs-on.doc", image.bytes);
  {
    Opened opened = OpenDocument(path);
    ASSERT_EQ(opened.hr, S_OK);
    ASSERT_EQ(
        opened.file->ReplaceStream(*opened.file->FindRootStream(Widen(kSummary)), Pattern(300, 7)),
        S_OK)
        << opened.file->LastError();
  }
  Opened reopened = OpenDocument(path);
  std::string word;
  ASSERT_EQ(reopened.file->ReadStream(*reopened.file->FindRootStream(u"WordDocument"), word), S_OK);
  EXPECT_EQ(word, Pattern(10000, 3));
  std::string summary;
  ASSERT_EQ(reopened.file->ReadStream(*reopened.file->FindRootStream(Widen(kSummary)), summary),
            S_OK);
  EXPECT_EQ(summary, Pattern(300, 7));
}

// Puts the units of stream `name` into chain order `order` (a permutation of
// its units), moving their data along, so the stream still holds what it did.
void Relink(CfbImage& image, const std::string& name, const std::vector<std::uint32_t>& order) {
  fixture::Placement& place = image.streams.at(name);
  const std::size_t unitSize = place.mini ? 64 : image.sectorSize;
  const auto dataAt = [&](std::uint32_t unit) {
    return place.mini ? image.MiniSectorOffset(unit) : image.SectorOffset(unit);
  };
  const auto linkAt = [&](std::uint32_t unit) {
    return place.mini ? image.MiniFatEntryOffset(unit) : image.FatEntryOffset(unit);
  };
  std::vector<std::string> data;
  for (std::uint32_t unit : place.units) data.push_back(image.bytes.substr(dataAt(unit), unitSize));
  for (std::size_t i = 0; i < order.size(); ++i) {
    image.bytes.replace(dataAt(order[i]), unitSize, data[i]);
    image.Put32(linkAt(order[i]), i + 1 < order.size() ? order[i + 1] : fixture::kEnd);
  }
  image.Put32(EntryField(image, name, fixture::kEntryStart), order.front());
  place.units = order;
}

// Chains mostly run forward, and the cycle check leans on that. Chains that
// run backwards, zigzag or restart lower must read all the same, and a link
// back into any part of them, before or after a step back, is a cycle.
TEST(CorruptionTest, ChainsInAnyOrderReadAndLinksBackAreCycles) {
  const std::string big = Pattern(100 * 512, 11);  // 100 sectors
  const std::string small = Pattern(60 * 64, 12);  // 60 mini sectors
  fixture::CfbWriter writer;
  writer.AddStream("Big", big);
  writer.AddStream("Small", small);
  const CfbImage sound = writer.Build();
  fixture::ScratchDir dir;
  for (const std::string name : {"Big", "Small"}) {
    const std::vector<std::uint32_t>& units = sound.streams.at(name).units;
    const std::size_t n = units.size();
    std::vector<std::uint32_t> reversed(units.rbegin(), units.rend());
    std::vector<std::uint32_t> restarted(units.begin() + 40, units.end());
    restarted.insert(restarted.end(), units.begin(), units.begin() + 40);
    std::vector<std::uint32_t> zigzag;
    for (std::size_t i = 0; i < n; i += 2) zigzag.push_back(units[i]);
    for (std::size_t i = n - 1 - n % 2; i < n; i -= 2) zigzag.push_back(units[i]);
    const struct {
      const char* what;
      std::vector<std::uint32_t> order;
      std::size_t loopFrom, loopTo;  // the link at loopFrom goes back to loopTo; n: none
    } cases[] = {
        {"backwards", reversed, n, n},
        {"restarting lower", restarted, n, n},
        {"zigzag", zigzag, n, n},
        // The last unit's own link is never followed by a read.
        {"backwards, looping", reversed, n - 2, 30},
        {"restarting lower, looping into the first run", restarted, n - 5, 3},
        {"zigzag, looping into the rising half", zigzag, n - 10, 7},
        {"zigzag, looping into the falling half", zigzag, n - 10, n - 12},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(name + ", " + c.what);
      CfbImage image = sound;
      Relink(image, name, c.order);
      const bool loops = c.loopFrom < n;
      if (loops) {
        const fixture::Placement& place = image.streams.at(name);
        const std::uint32_t from = c.order[c.loopFrom];
        image.Put32(place.mini ? image.MiniFatEntryOffset(from) : image.FatEntryOffset(from),
                    c.order[c.loopTo]);
      }
      Opened opened = OpenDocument(dir.Put("order.doc", image.bytes));
      ASSERT_EQ(opened.hr, S_OK) << opened.error;
      std::string bytes;
      const HRESULT hr = opened.file->ReadStream(*opened.file->FindRootStream(Widen(name)), bytes);
      if (loops) {
        EXPECT_EQ(hr, STG_E_DOCFILECORRUPT);
        EXPECT_NE(opened.file->LastError().find("cycle"), std::string::npos)
            << opened.file->LastError();
      } else {
        ASSERT_EQ(hr, S_OK) << opened.file->LastError();
        EXPECT_EQ(bytes, name == "Big" ? big : small);
      }
    }
  }
}

// A file cut short at any sector boundary either fails with
// STG_E_DOCFILECORRUPT at some step or, when only unused sectors went, still
// reads every stream as it was.
TEST(CorruptionTest, FilesCutShortNeverReadWrongly) {
  for (int version : {3, 4}) {
    fixture::CfbOptions options;
    options.version = version;
    options.freeSectors = 2;
    const CfbImage image = SampleDocument(options).Build();
    const std::pair<std::string, std::string> streams[] = {
        {"WordDocument", Pattern(10000, 3)},
        {"1Table", Pattern(5000, 4)},
        {kSummary, Pattern(400, 1)},
        {kDocSummary, Pattern(700, 2)},
    };
    fixture::ScratchDir dir;
    for (std::size_t cut = image.sectorSize; cut < image.bytes.size(); cut += image.sectorSize) {
      const std::string path = dir.Put("cut.doc", image.bytes.substr(0, cut));
      Opened opened = OpenDocument(path);
      if (opened.hr != S_OK) {
        EXPECT_EQ(opened.hr, STG_E_DOCFILECORRUPT) << "cut at " << cut << ": " << opened.error;
        continue;
      }
      for (const auto& [name, content] : streams) {
        const auto entry = opened.file->FindRootStream(Widen(name));
        ASSERT_TRUE(entry);
        std::string bytes;
        const HRESULT hr = opened.file->ReadStream(*entry, bytes);
        if (hr == S_OK) {
          EXPECT_EQ(bytes, content) << "cut at " << cut << ": " << name;
        } else {
          EXPECT_EQ(hr, STG_E_DOCFILECORRUPT) << "cut at " << cut << ": " << name;
        }
      }
    }
  }
}

// A file cut short where one stream starts refuses a change to any other,
// even one whose own chains are whole: a file that has lost part of itself
// is not written to.
TEST(CorruptionTest, AFileCutShortRefusesEveryChange) {
  fixture::CfbWriter writer;
  writer.AddStream(kDocSummary, Pattern(300, 2));
  writer.AddStream(kSummary, Pattern(4600, 1));  // normal sectors, after the mini stream
  const CfbImage image = writer.Build();
  const std::uint64_t cut = image.SectorOffset(UnitsOf(image, kSummary).front());
  fixture::ScratchDir dir;
  const std::string path = dir.Put("cut.doc", image.bytes.substr(0, cut));
  {
    Opened opened = OpenDocument(path);
    ASSERT_EQ(opened.hr, S_OK) << opened.error;
    const auto docSummary = opened.file->FindRootStream(Widen(kDocSummary));
    std::string bytes;
    ASSERT_EQ(opened.file->ReadStream(*docSummary, bytes), S_OK);
    EXPECT_EQ(opened.file->ReplaceStream(*docSummary, Pattern(320, 5)), STG_E_DOCFILECORRUPT);
    EXPECT_NE(opened.file->LastError().find("cut short"), std::string::npos)
        << opened.file->LastError();
  }
  EXPECT_EQ(fixture::ReadWholeFile(path), image.bytes.substr(0, cut));
}

// Random damage to the header, FAT, mini FAT, DIFAT and directory: every
// step ends with a known code, never a crash or a hang; a write that succeeds
// reads back, and leaves every other stream that could be read before as it
// was.
TEST(CorruptionTest, RandomDamageNeverCrashesNorSpreads) {
  struct NoFlush : SystemCalls {
    int Sync(int) override { return 0; }  // the disk's durability is not what is tested here
  } noFlush;
  ScopedSystemCalls scoped(noFlush);
  const std::string names[] = {kSummary, kDocSummary, "WordDocument", "1Table", "Empty"};
  std::mt19937 random(20240917);
  fixture::ScratchDir dir;
  for (int round = 0; round < 400; ++round) {
    fixture::CfbOptions options;
    options.version = round % 2 == 0 ? 3 : 4;
    options.interleave = round % 3 == 0;
    if (round % 8 == 0) options.minFatSectors = 240;  // with DIFAT sectors
    CfbImage image = SampleDocument(options).Build();
    std::vector<std::uint32_t> structure = image.fatSectors;
    for (const auto* more : {&image.difatSectors, &image.directorySectors, &image.miniFatSectors}) {
      structure.insert(structure.end(), more->begin(), more->end());
    }
    for (int damage = 1 + static_cast<int>(random() % 4); damage > 0; --damage) {
      const std::size_t pick = random() % (structure.size() + 1);
      const std::uint64_t base = pick == structure.size() ? 0 : image.SectorOffset(structure[pick]);
      const std::uint64_t at =
          base + (random() % (pick == structure.size() ? 512 : image.sectorSize));
      if (random() % 2 == 0) {
        image.bytes[at] = static_cast<char>(random());
      } else {
        image.Put32(at & ~std::uint64_t{3},
                    static_cast<std::uint32_t>(random() % 64));  // a likely sector number
      }
    }
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string path = dir.Put("damaged.doc", image.bytes);
    Opened opened = OpenDocument(path);
    if (opened.hr != S_OK) {
      EXPECT_TRUE(opened.hr == STG_E_DOCFILECORRUPT || opened.hr == STG_E_FILEALREADYEXISTS ||
                  opened.hr == STG_E_OLDFORMAT)
          << opened.error;
      continue;
    }
    std::map<std::string, std::string> readable;
    for (const std::string& name : names) {
      const auto entry = opened.file->FindRootStream(Widen(name));
      std::string bytes;
      if (!entry) continue;
      const HRESULT hr = opened.file->ReadStream(*entry, bytes);
      EXPECT_TRUE(hr == S_OK || hr == STG_E_DOCFILECORRUPT) << opened.file->LastError();
      if (hr == S_OK) readable[name] = bytes;
    }
    const std::string& target = names[round % 5];
    const auto entry = opened.file->FindRootStream(Widen(target));
    if (!entry) continue;
    const std::string content = Pattern(random() % 9000, static_cast<unsigned>(round));
    const HRESULT hr = opened.file->ReplaceStream(*entry, content);
    EXPECT_TRUE(hr == S_OK || hr == STG_E_DOCFILECORRUPT) << opened.file->LastError();
    opened.file.reset();
    if (hr != S_OK) continue;
    Opened reopened = OpenDocument(path);
    ASSERT_EQ(reopened.hr, S_OK) << reopened.error;
    readable[target] = content;
    for (const auto& [name, bytes] : readable) {
      std::string now;
      EXPECT_EQ(reopened.file->ReadStream(*reopened.file->FindRootStream(Widen(name)), now), S_OK)
          << name;
      EXPECT_EQ(now, bytes) << name;
    }
  }
}

}  // namespace
}  // namespace tavrin::storage
