// Hostile documents through the program as its users run it: tavrin-cli show
// and update, each a process of its own. Every document is damaged where the
// program's reads and writes go: the property-set streams, the mini stream,
// the directory and the tables they use. Showing one ends in the window's
// failure message with its code, never a crash or a hang; an update is
// refused with the file byte for byte as it was; and however large a count
// the file claims, no run takes much memory. Hangs are caught by the test's
// time limit (tests/CMakeLists.txt), not timed here.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "storage/PropertySetFixture.h"
#include "support/CfbFixture.h"
#include "support/ExternalReaders.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

using fixture::CfbImage;

const std::string kSummary = "\x05SummaryInformation";
const std::string kDocSummary =
    "\x05"
    "DocumentSummaryInformation";
const std::string kTitle = "Hostile title";

// A run of tavrin-cli: how it ended, what it printed, and its peak memory.
struct CliRun {
  bool exited = false;  // false: it died of a signal
  int exitCode = -1;
  std::string output;
  std::string messages;  // the program's own lines on standard error
  std::string errors;    // every other line there: sanitizer reports land here
  long peakKilobytes = 0;
};

// Runs tavrin-cli under /usr/bin/time, which measures the program alone: a
// child spawned from this process would count this process's memory as its
// own until it starts the program.
CliRun Cli(const fixture::ScratchDir& dir, std::vector<std::string> args) {
  const std::string errorsPath = (dir.path() / "errors.txt").string();
  const std::string measuredPath = (dir.path() / "measured.txt").string();
  args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", measuredPath, TAVRIN_CLI});
  CliRun run;
  fixture::ProcessOptions options;
  options.errorsPath = errorsPath;
  const fixture::ProcessResult result = fixture::RunProcess(args, options);
  run.exitCode = result.exitCode;
  run.output = result.output;
  // The last line is the peak in KiB; a line before it tells of a signal.
  const std::string measured = fixture::ReadWholeFile(measuredPath);
  run.exited = measured.find("terminated by signal") == std::string::npos;
  const std::size_t last = measured.find_last_of('\n', measured.size() - 2);
  run.peakKilobytes = std::atol(measured.c_str() + (last == std::string::npos ? 0 : last + 1));
  std::istringstream lines(fixture::ReadWholeFile(errorsPath));
  for (std::string line; std::getline(lines, line);) {
    (line.find(": tavrin-cli: ") != std::string::npos ? run.messages : run.errors) += line + "\n";
  }
  return run;
}

// Far below what any count these documents claim would take if believed
// (the smallest is a 4 GB string), and some six times what a run takes with
// the sanitizers.
constexpr long kPeakKilobytesBound = 256 * 1024;

// How the document is laid out. By default both property sets live in the
// mini stream (two sectors of it) and a body stream follows in sectors of its
// own; `bigSummary` gives the Summary stream sectors of its own, after
// `fillerSectors` sectors of another stream.
struct Layout {
  bool bigSummary = false;
  bool body = true;
  int version = 3;
  std::uint32_t minFatSectors = 0;
  std::uint32_t fillerSectors = 0;
};

test::SectionFixture SummarySection(bool big) {
  test::SectionFixture section(test::kSummaryFmtid);
  section.Add(1, test::I2(932))
      .Add(2, test::Lpstr(kTitle))
      .Add(4, test::Lpstr("Author"))
      .Add(6, test::Lpstr(big ? std::string(4500, 'c') : "Comments"))
      .Add(12, test::FileTime(0x01D0000012345678ull))
      .Add(14, test::I4(3))
      .Add(17, test::ClipboardData(-1, "thumbnail bytes"));
  return section;
}

test::SectionFixture DocSummarySection() {
  test::SectionFixture section(test::kDocSummaryFmtid);
  section.Add(1, test::I2(932))
      .Add(15, test::Lpstr("Company"))
      .Add(14, test::Lpstr("Manager of " + std::string(300, 'm')))
      .Add(13, test::VectorLpstr({"Chapter one", "Chapter two"}, false))
      .Add(12, test::HeadingPairs({{"Title", 2}}, false))
      .Add(5, test::I4(40));
  return section;
}

struct Document {
  CfbImage image;
  std::string summary;     // the two property-set streams as built
  std::string docSummary;  // (to find a field's place by its text)
};

Document Build(const Layout& layout) {
  fixture::CfbOptions options;
  options.version = layout.version;
  options.minFatSectors = layout.minFatSectors;
  fixture::CfbWriter writer(options);
  Document document;
  document.summary = test::BuildStream({SummarySection(layout.bigSummary)});
  document.docSummary = test::BuildStream({DocSummarySection()});
  if (layout.fillerSectors > 0) {
    writer.AddStream("Filler", std::string(std::size_t{layout.fillerSectors} * 512, 'f'));
  }
  writer.AddStream(kSummary, document.summary);
  writer.AddStream(kDocSummary, document.docSummary);
  if (layout.body) writer.AddStream("WordDocument", std::string(5000, 'w'));
  document.image = writer.Build();
  return document;
}

const std::vector<std::uint32_t>& UnitsOf(const CfbImage& image, const std::string& name) {
  return image.streams.at(name).units;
}

std::uint64_t EntryField(const CfbImage& image, const std::string& name, std::size_t field) {
  return image.EntryOffset(image.streams.at(name).entry) + field;
}

// Overwrites four bytes at `at` of stream `name`, wherever its units lie.
void PutInStream(CfbImage& image, const std::string& name, std::uint64_t at, std::uint32_t value) {
  const fixture::Placement& place = image.streams.at(name);
  const std::uint64_t unit = place.mini ? 64 : image.sectorSize;
  for (std::uint64_t i = 0; i < 4; ++i) {
    const std::uint32_t which = place.units[(at + i) / unit];
    const std::uint64_t base =
        place.mini ? image.MiniSectorOffset(which) : image.SectorOffset(which);
    image.bytes[base + (at + i) % unit] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

// Stream positions of fields of the one-section sets built above.
constexpr std::uint64_t kSectionCount = 24;
constexpr std::uint64_t kSectionOffset = 28 + 16;
constexpr std::uint64_t kSectionStart = 28 + 20;
constexpr std::uint64_t kSectionSize = kSectionStart;
constexpr std::uint64_t kPropertyCount = kSectionStart + 4;
constexpr std::uint64_t kTitleOffset = kSectionStart + 8 + 8 * 1 + 4;  // the second entry

// The position of the length (or count) field `before` bytes ahead of `text`.
std::uint64_t FieldBefore(const std::string& stream, const std::string& text,
                          std::uint64_t before) {
  return stream.find(text) - before;
}

enum Rows { kTitleRow = 1, kCompanyRow = 2, kBothRows = 3 };

struct Case {
  const char* what;
  Layout layout;
  std::function<void(Document&)> damage;
  Rows rows;  // what the update changes: the set the damage lies in
  // False when the program's reads are sound and only a write would do harm
  // (a chain running on past its stream, another stream starting inside
  // it): showing then shows the values.
  bool showFails = true;
};

Layout BigSummary() {
  Layout layout;
  layout.bigSummary = true;
  return layout;
}

Layout Version4() {
  Layout layout;
  layout.version = 4;
  return layout;
}

// Two DIFAT sectors, and a Summary stream whose sectors are described only
// by a FAT sector the second of them lists.
Layout FarSummary() {
  Layout layout;
  layout.bigSummary = true;
  layout.body = false;
  layout.minFatSectors = 109 + 127 + 1;
  layout.fillerSectors = 128 * 237;
  return layout;
}

void PutSummary(Document& d, std::uint64_t at, std::uint32_t value) {
  PutInStream(d.image, kSummary, at, value);
}
void PutDocSummary(Document& d, std::uint64_t at, std::uint32_t value) {
  PutInStream(d.image, kDocSummary, at, value);
}

const Case kCases[] = {
    // Cycles.
    {"a FAT cycle in the Summary stream's chain", BigSummary(),
     [](Document& d) {
       const auto& s = UnitsOf(d.image, kSummary);
       d.image.Put32(d.image.FatEntryOffset(s[2]), s[0]);
     },
     kTitleRow},
    {"a FAT cycle in the mini stream's chain",
     {},
     [](Document& d) {
       const auto& m = d.image.miniStreamSectors;
       EXPECT_GE(m.size(), 2u);  // so that a read follows the first link
       d.image.Put32(d.image.FatEntryOffset(m.front()), m.front());
     },
     kBothRows},
    {"a mini FAT cycle in the Summary stream's chain",
     {},
     [](Document& d) {
       const auto& s = UnitsOf(d.image, kSummary);
       d.image.Put32(d.image.MiniFatEntryOffset(s[2]), s[1]);
     },
     kTitleRow},
    {"a DIFAT cycle before the FAT sector of the Summary stream", FarSummary(),
     [](Document& d) {
       const std::uint32_t perSector = d.image.sectorSize / 4;
       EXPECT_GE(UnitsOf(d.image, kSummary)[0] / perSector, 109 + perSector - 1);
       const std::uint32_t first = d.image.difatSectors[0];
       d.image.Put32(d.image.SectorOffset(first) + d.image.sectorSize - 4, first);
     },
     kTitleRow},
    {"a directory chain cycle",
     {},
     [](Document& d) {
       const auto& dir = d.image.directorySectors;
       d.image.Put32(d.image.FatEntryOffset(dir[0]), dir[0]);
     },
     kBothRows},
    {"a directory tree cycle",
     {},
     [](Document& d) {
       const std::uint32_t child = d.image.Get32(d.image.EntryOffset(0) + fixture::kEntryChild);
       d.image.Put32(d.image.EntryOffset(static_cast<int>(child)) + fixture::kEntryLeft, child);
     },
     kBothRows},
    // Ids out of range.
    {"a sibling id out of range",
     {},
     [](Document& d) { d.image.Put32(EntryField(d.image, kSummary, fixture::kEntryLeft), 999); },
     kBothRows},
    {"a child id out of range",
     {},
     [](Document& d) { d.image.Put32(d.image.EntryOffset(0) + fixture::kEntryChild, 70000); },
     kBothRows},
    // Sectors shared by two streams.
    {"the body starts inside the Summary stream's chain", BigSummary(),
     [](Document& d) {
       d.image.Put32(EntryField(d.image, "WordDocument", fixture::kEntryStart),
                     UnitsOf(d.image, kSummary)[3]);
     },
     kTitleRow, false},
    {"the Document Summary stream starts inside the Summary stream",
     {},
     [](Document& d) {
       d.image.Put32(EntryField(d.image, kDocSummary, fixture::kEntryStart),
                     UnitsOf(d.image, kSummary)[1]);
     },
     kBothRows},
    {"the Summary stream's chain runs on into the body", BigSummary(),
     [](Document& d) {
       d.image.Put32(d.image.FatEntryOffset(UnitsOf(d.image, kSummary).back()),
                     UnitsOf(d.image, "WordDocument")[2]);
     },
     kTitleRow, false},
    {"the mini stream's chain runs on into the body",
     {},
     [](Document& d) {
       d.image.Put32(d.image.FatEntryOffset(d.image.miniStreamSectors.back()),
                     UnitsOf(d.image, "WordDocument")[2]);
     },
     kBothRows,
     false},
    // Streams longer than their chains.
    {"the Summary stream longer than its chain", BigSummary(),
     [](Document& d) {
       d.image.Put32(EntryField(d.image, kSummary, fixture::kEntrySize),
                     static_cast<std::uint32_t>(d.summary.size() + 2048));
     },
     kTitleRow},
    {"the small Summary stream longer than its mini chain",
     {},
     [](Document& d) { d.image.Put32(EntryField(d.image, kSummary, fixture::kEntrySize), 3000); },
     kTitleRow},
    // Counts that claim gigabytes.
    {"a billion FAT sectors",
     {},
     [](Document& d) { d.image.Put32(fixture::kHeaderFatSectors, 0x40000000); },
     kBothRows},
    {"a billion mini FAT sectors",
     {},
     [](Document& d) { d.image.Put32(fixture::kHeaderMiniFatSectors, 0x40000000); },
     kBothRows},
    {"a billion DIFAT sectors",
     {},
     [](Document& d) { d.image.Put32(fixture::kHeaderDifatSectors, 0x40000000); },
     kBothRows},
    {"a Summary stream of 4 GB",
     {},
     [](Document& d) {
       d.image.Put32(EntryField(d.image, kSummary, fixture::kEntrySize), 0xFFFFFFF0);
     },
     kTitleRow},
    {"a Summary stream of a terabyte", Version4(),
     [](Document& d) {
       d.image.Put32(EntryField(d.image, kSummary, fixture::kEntrySize) + 4, 256);
     },
     kTitleRow},
    {"a mini stream of 4 GB",
     {},
     [](Document& d) { d.image.Put32(d.image.EntryOffset(0) + fixture::kEntrySize, 0xFFFFFF00); },
     kBothRows},
    {"two billion sections",
     {},
     [](Document& d) { PutSummary(d, kSectionCount, 0x7FFFFFFF); },
     kTitleRow},
    {"a section of 4 GB holding a billion properties",
     {},
     [](Document& d) {
       PutSummary(d, kSectionSize, 0xFFFFFFF0);
       PutSummary(d, kPropertyCount, 0x20000000);
     },
     kTitleRow},
    {"a title of 4 GB",
     {},
     [](Document& d) { PutSummary(d, FieldBefore(d.summary, kTitle, 4), 0xFFFFFFF0); },
     kTitleRow},
    {"a vector of a billion document titles",
     {},
     [](Document& d) { PutDocSummary(d, FieldBefore(d.docSummary, "Chapter one", 8), 0x40000000); },
     kCompanyRow},
    {"a thumbnail of 4 GB",
     {},
     [](Document& d) { PutSummary(d, FieldBefore(d.summary, "thumbnail bytes", 8), 0xFFFFFFF0); },
     kTitleRow},
    // Offsets, sizes, lengths and counts just past the end of their section.
    {"the section starts past the end of the stream",
     {},
     [](Document& d) {
       PutSummary(d, kSectionOffset, static_cast<std::uint32_t>(d.summary.size()));
     },
     kTitleRow},
    {"a section too small for its own table",
     {},
     [](Document& d) { PutSummary(d, kSectionSize, 16); },
     kTitleRow},
    {"the title's offset past the end of the section",
     {},
     [](Document& d) {
       PutSummary(d, kTitleOffset, static_cast<std::uint32_t>(d.summary.size() - kSectionStart));
     },
     kTitleRow},
    {"the title's length past the end of the section",
     {},
     [](Document& d) {
       const std::uint64_t at = FieldBefore(d.summary, kTitle, 4);
       PutSummary(d, at, static_cast<std::uint32_t>(d.summary.size() - at - 3));
     },
     kTitleRow},
    {"the thumbnail's size past the end of the section",
     {},
     [](Document& d) {
       const std::uint64_t at = FieldBefore(d.summary, "thumbnail bytes", 8);
       PutSummary(d, at, static_cast<std::uint32_t>(d.summary.size() - at - 3));
     },
     kTitleRow},
    {"the document titles counting past the end of the section",
     {},
     [](Document& d) { PutDocSummary(d, FieldBefore(d.docSummary, "Chapter one", 8), 1000); },
     kCompanyRow},
};

std::vector<std::string> UpdateArguments(const std::string& path, Rows rows) {
  std::vector<std::string> args{"update", path, "--yes"};
  if ((rows & kTitleRow) != 0) {
    args.insert(args.end(), {"--set", "summary:title=changed"});
  }
  if ((rows & kCompanyRow) != 0) {
    args.insert(args.end(), {"--set", "docsummary:company=changed"});
  }
  return args;
}

// A run that ended as the program means to end: no signal, no sanitizer
// report, a small peak.
void ExpectOrderlyEnd(const CliRun& run, const char* command) {
  EXPECT_TRUE(run.exited) << command << " died of a signal";
  EXPECT_EQ(run.errors, "") << command;
  EXPECT_GT(run.peakKilobytes, 0) << command;
  EXPECT_LT(run.peakKilobytes, kPeakKilobytesBound)
      << command << " peaked at " << run.peakKilobytes << " KiB";
}

// A folder holding the document alone, so that whatever an update leaves
// beside it shows; what the runs print goes to the scratch folder around it.
class Workspace {
 public:
  Workspace() { std::filesystem::create_directory(documents_); }
  const fixture::ScratchDir& scratch() const { return scratch_; }
  std::string Put(const std::string& bytes) const {
    const std::string path = (documents_ / "hostile.doc").string();
    fixture::WriteWholeFile(path, bytes);
    return path;
  }
  std::size_t Files() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(documents_),
                                                  std::filesystem::directory_iterator()));
  }

 private:
  fixture::ScratchDir scratch_;
  std::filesystem::path documents_ = scratch_.path() / "documents";
};

// Showing tells of the damage with the window's message and a failure code
// (or, where only a write would do harm, shows the values); an update is
// refused with a message, and the file stays byte for byte as it was.
void ExpectShownAndRefused(const Workspace& work, const std::string& bytes, Rows rows,
                           bool showFails) {
  const std::string path = work.Put(bytes);
  const CliRun shown = Cli(work.scratch(), {"show", path});
  ExpectOrderlyEnd(shown, "show");
  if (showFails) {
    EXPECT_EQ(shown.exitCode, 1) << shown.messages;
    EXPECT_NE(shown.messages.find(path + ": tavrin-cli: Error "), std::string::npos)
        << shown.messages;
    EXPECT_NE(shown.messages.find("HResult = $8003"), std::string::npos) << shown.messages;
  } else {
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_NE(shown.output.find(kTitle), std::string::npos) << shown.output;
  }

  const CliRun updated = Cli(work.scratch(), UpdateArguments(path, rows));
  ExpectOrderlyEnd(updated, "update");
  EXPECT_EQ(updated.exitCode, 1) << updated.messages;
  EXPECT_NE(updated.messages.find(path + ": tavrin-cli: "), std::string::npos) << updated.messages;
  EXPECT_TRUE(fixture::ReadWholeFile(path) == bytes) << "the update changed the file";
  EXPECT_EQ(work.Files(), 1u) << "the update left a file beside the document";
}

TEST(HostileFiles, EachDamageIsShownAndRefusesTheUpdate) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/time")) << "peaks are measured by the time package";
  const Workspace work;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    Document document = Build(c.layout);
    c.damage(document);
    ExpectShownAndRefused(work, document.image.bytes, c.rows, c.showFails);
  }
}

// A cut at any sector boundary takes something the update needs: some of
// what lies last in the file (the mini stream holding both sets, or the
// Summary stream in sectors of its own), and maybe the tables, the directory
// and the mini stream before it.
TEST(HostileFiles, AFileCutShortAtAnySectorIsShownAndRefusesTheUpdate) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/time")) << "peaks are measured by the time package";
  Layout small;
  small.body = false;
  Layout big = BigSummary();
  big.body = false;
  const struct {
    const char* what;
    Layout layout;
    bool summaryLast;
    Rows rows;
  } cases[] = {
      {"both sets in the mini stream", small, false, kBothRows},
      {"the Summary stream in sectors of its own", big, true, kBothRows},
  };
  const Workspace work;
  for (const auto& c : cases) {
    const Document document = Build(c.layout);
    const CfbImage& image = document.image;
    const std::string& bytes = image.bytes;
    const std::uint32_t last =
        c.summaryLast ? UnitsOf(image, kSummary).back() : image.miniStreamSectors.back();
    ASSERT_EQ(image.SectorOffset(last), (bytes.size() - 1) / 512 * 512) << c.what;
    for (std::size_t cut = 512; cut < bytes.size(); cut += 512) {
      SCOPED_TRACE(std::string(c.what) + ", cut at " + std::to_string(cut) + " of " +
                   std::to_string(bytes.size()));
      ExpectShownAndRefused(work, bytes.substr(0, cut), c.rows, true);
    }
  }
}

}  // namespace
}  // namespace tavrin
