// Writes the seed corpus of every fuzz target into a folder (fuzz/corpus
// when run as the docs say). Documents come from the test fixtures, which
// lay out compound files and property sets with code of their own, so the
// seeds do not inherit a fault of the engine they are meant to find.
//
//   fuzz_seed_corpus OUTPUT_FOLDER

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/PropertySetFixture.h"
#include "support/CfbFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace tavrin;
using test::SectionFixture;

const std::string kSummaryStream = "\x05SummaryInformation";
const std::string kDocSummaryStream =
    "\x05"
    "DocumentSummaryInformation";
const std::string kDay = "\x93\xFA";  // "日" in CP932

fs::path output;

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(output / target);
  std::ofstream out(output / target / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s/%s\n", target.c_str(), name.c_str());
    std::exit(1);
  }
}

// The Summary set as a word processor writes it, every row the program shows.
SectionFixture FullSummary() {
  SectionFixture s(test::kSummaryFmtid);
  s.Add(1, test::I2(932))
      .Add(2, test::Lpstr("Budget 2024"))
      .Add(3, test::Lpstr("\x8C\x8E\x8E\x9F"))  // CP932 text
      .Add(4, test::Lpstr("Hanako"))
      .Add(5, test::Lpstr("plan; money"))
      .Add(6, test::Lpstr(""))
      .Add(7, test::Lpstr("Normal.dot"))
      .Add(8, test::Lpstr("Taro"))
      .Add(9, test::Lpstr("3"))
      .Add(10, test::FileTime(36000000000ULL))  // editing time: one hour
      .Add(11, test::FileTime(0))
      .Add(12, test::FileTime(133510000000000000ULL))
      .Add(13, test::FileTime(133520000000000000ULL))
      .Add(14, test::I4(2))
      .Add(15, test::I4(350))
      .Add(16, test::I4(1800))
      .Add(17, test::ClipboardData(-1, std::string(12, '\x01')))
      .Add(18, test::Lpstr("Microsoft Word 8.0"))
      .Add(19, test::I4(0));
  return s;
}

SectionFixture FullDocSummary() {
  SectionFixture s(test::kDocSummaryFmtid);
  s.Add(1, test::I2(932))
      .Add(2, test::Lpstr("Finance"))
      .Add(5, test::I4(40))
      .Add(6, test::I4(12))
      .Add(11, test::Bool(false))
      .Add(12, test::HeadingPairs({{"Title", 1}}, true))
      .Add(13, test::VectorLpstr({"Budget 2024"}, true))
      .Add(14, test::Lpstr("Boss"))
      .Add(15, test::Lpstr("ACME"))
      .Add(16, test::Bool(false))
      .Add(0x17, test::I4(0x000B0000));
  return s;
}

SectionFixture UserDefined() {
  SectionFixture s(test::kUserDefinedFmtid);
  s.Add(0, test::Dictionary({{2, "Checked by"}, {3, "Client"}}))
      .Add(1, test::I2(1252))
      .Add(2, test::Lpstr("Ann"))
      .Add(3, test::Lpwstr(u"Contoso"));
  return s;
}

// Odd layouts that real writers produce.
std::vector<std::pair<std::string, std::string>> OddStreams() {
  std::vector<std::pair<std::string, std::string>> streams;
  {
    SectionFixture s(test::kSummaryFmtid);
    s.Add(1, test::I2(1252)).Add(2, test::Lpstr("shared")).Share(3, 1).Add(4, test::I2(7, false));
    streams.emplace_back("shared-offsets-unpadded", test::BuildStream({s}));
  }
  {
    SectionFixture s(test::kSummaryFmtid);
    s.Add(1, test::I2(932)).Add(2, test::Lpstr("long")).sizeAdjust = 16;
    streams.emplace_back("section-past-end", test::BuildStream({s}));
  }
  {
    SectionFixture s(test::kSummaryFmtid);
    s.Add(1, test::I2(1200)).Add(2, test::Lpstr(std::string("w\0i\0d\0e\0", 8), true, true));
    s.tail = std::string(8, '\xCC');
    streams.emplace_back("unicode-set-with-tail", test::BuildStream({s}, "trailing"));
  }
  {
    SectionFixture s(test::kSummaryFmtid);
    s.Add(1, test::I2(-535)).Add(2, test::Lpstr("\xE6\x97\xA5\xE6\x9C\xAC"));  // 65001
    streams.emplace_back("utf8-set", test::BuildStream({s}));
  }
  {
    SectionFixture s(test::kDocSummaryFmtid);
    s.Add(1, test::I2(932))
        .Add(12, test::HeadingPairs({{"Title", 1}, {"Sheets", 2}}, false))
        .Add(13, test::VectorLpstr({"a", "Sheet1", "Sheet2"}, false))
        .Add(0x1000, test::Typed(0x48, std::string(16, '\x11')))  // a CLSID we only carry
        .Add(0x1001, test::Typed(0x41, test::Counted("blob")));
    streams.emplace_back("aligned-vectors-and-carried-types", test::BuildStream({s}));
  }
  {
    SectionFixture s(test::kSummaryFmtid);
    streams.emplace_back("empty-section", test::BuildStream({s}));
  }
  streams.emplace_back("no-sections", test::BuildStream({}));
  streams.emplace_back("empty-stream", "");
  return streams;
}

std::string Document(fixture::CfbOptions options, bool docSummary = true) {
  fixture::CfbWriter writer(options);
  writer.AddStream(kSummaryStream, test::BuildStream({FullSummary()}));
  if (docSummary) {
    writer.AddStream(kDocSummaryStream, test::BuildStream({FullDocSummary(), UserDefined()}));
  }
  writer.AddStream("WordDocument", std::string(5000, 'w'));
  return writer.Build().bytes;
}

void CompoundFiles() {
  const std::string t = "compound_file";
  Put(t, "both-sets-v3", Document({}));
  Put(t, "summary-only-v3", Document({}, false));
  Put(t, "both-sets-v4", Document({4}));
  Put(t, "sector-shift-12-under-v3", Document({3, 12}));
  Put(t, "free-sectors-at-end", Document({3, 0, 0, 3}));
  {
    fixture::CfbOptions options;
    options.interleave = true;
    fixture::CfbWriter writer(options);
    writer.AddStream(kSummaryStream, test::BuildStream({FullSummary()}) + std::string(5000, 's'));
    writer.AddStream(kDocSummaryStream, test::BuildStream({FullDocSummary()}));
    writer.AddStream("WordDocument", std::string(3000, 'w'));
    writer.AddStream("1Table", std::string(3000, 't'));
    Put(t, "interleaved-large-summary", writer.Build().bytes);
  }
  {
    fixture::CfbWriter writer;
    writer.AddStream("WordDocument", std::string(600, 'w'));
    const int pool = writer.AddStorage("ObjectPool");
    writer.AddStream("\x01Ole", std::string(20, 'o'), pool);
    writer.AddStream(kSummaryStream, test::BuildStream({FullSummary()}), pool);
    Put(t, "sets-only-in-a-storage", writer.Build().bytes);
  }
  {
    fixture::CfbWriter writer;
    writer.AddStream(kSummaryStream, "");
    writer.AddStream(kDocSummaryStream, test::BuildStream({}));
    Put(t, "empty-set-streams", writer.Build().bytes);
  }
  for (const auto& [name, stream] : OddStreams()) {
    fixture::CfbWriter writer;
    writer.AddStream(kSummaryStream, stream);
    writer.AddStream(kDocSummaryStream, stream);
    Put(t, "odd-" + name, writer.Build().bytes);
  }
  {
    // More FAT sectors than the header holds: the DIFAT is in use.
    fixture::CfbOptions options;
    options.minFatSectors = 110;
    Put(t, "difat", Document(options, false));
  }
  // Inputs that are taken for the document's journal too: the beginning of
  // an unfinished one, and a sealed header that names no file.
  const std::string opening("TVRNJRNL\x02\0\0\0", 12);
  Put(t, "journal-unfinished", opening + std::string(76, '\0'));
  Put(t, "journal-sealed-for-no-file", opening + "SEAL" + std::string(76, '\0'));
}

template <std::size_t N>
std::string Raw(const char (&bytes)[N]) {
  return std::string(bytes, N - 1);
}

// The property-set target's input: changes, then the stream.
std::string Changes(std::initializer_list<std::string> changes) {
  std::string out(1, static_cast<char>(changes.size()));
  for (const std::string& change : changes) out += change;
  return out;
}
std::string Change(std::uint8_t section, std::uint8_t property, std::uint8_t kind,
                   const std::string& value) {
  std::string out{static_cast<char>(section), static_cast<char>(property), static_cast<char>(kind),
                  static_cast<char>(value.size())};
  return out + value;
}

void PropertySets() {
  const std::string t = "property_set";
  const std::string summary = test::BuildStream({FullSummary()});
  const std::string docSummary = test::BuildStream({FullDocSummary(), UserDefined()});
  Put(t, "summary-read-back", Changes({}) + summary);
  Put(t, "docsummary-read-back", Changes({}) + docSummary);
  // kind: low three bits pick I2, UI2, I4, UI4, BOOL, FILETIME, LPSTR,
  // LPWSTR; the top bit keeps the stored type.
  Put(t, "summary-new-title", Changes({Change(0, 1, 6, "A longer title than before")}) + summary);
  Put(t, "summary-shorter-author", Changes({Change(0, 3, 0x86, "x")}) + summary);
  Put(t, "summary-dates-and-counts",
      Changes({Change(0, 11, 0x85, Raw("\x01\x02\x03\x04\x05\x06\x07\x08")),
               Change(0, 13, 0x82, Raw("\x10\x00\x00\x00")), Change(0, 9, 5, "\xFF\xFF")}) +
          summary);
  Put(t, "docsummary-type-change",
      Changes({Change(0, 1, 2, Raw("\x05\x00")), Change(0, 7, 7, Raw("w\0i\0d\0e\0"))}) +
          docSummary);
  Put(t, "user-defined-strings",
      Changes({Change(1, 2, 0x86, "Bob"), Change(1, 3, 0x87, Raw("C\0o\0"))}) + docSummary);
  for (const auto& [name, stream] : OddStreams()) {
    Put(t, name, Changes({}) + stream);
    Put(t, name + "-changed",
        Changes({Change(0, 1, 6, "changed"), Change(0, 2, 2, "\x7F")}) + stream);
  }
}

// The INI target's input: section, key and default to look up, section,
// key and value to write, then the file.
std::string Profile(std::initializer_list<std::string> names, const std::string& file) {
  std::string out;
  for (const std::string& name : names) out += static_cast<char>(name.size()) + name;
  return out + file;
}

void Profiles() {
  const std::string t = "profile";
  const std::string settings =
      "[Setting]\r\nfilename=report.doc\r\nfolder=/home/hanako/docs\r\n\r\n"
      "[SummaryInfo]\r\n\x83\x5E\x83\x43\x83\x67\x83\x8B=1\r\nAuthor = \"quoted value\" \r\n";
  Put(t, "settings-lookup",
      Profile({"Setting", "FOLDER", "none", "Setting", "folder", "/tmp"}, settings));
  Put(t, "new-section", Profile({"summaryinfo", "author", "", "Extra", "key", "value"}, settings));
  Put(t, "new-key-in-section",
      Profile({"SummaryInfo", "missing", "default  ", "summaryinfo", "Added", "v"}, settings));
  Put(t, "lone-cr-lf-and-no-last-end",
      Profile({"a", "k", "d", "b", "k", "'x'"}, "[a]\rk=1\n[b]\r\n k = 2 \r\n[a]\nk=3"));
  Put(t, "duplicate-sections-and-keys",
      Profile({"A", "k", "", "a", "K", "new"}, "[A]\r\nk=first\r\nk=second\r\n[A]\r\nk=third"));
  Put(t, "long-value",
      Profile({"s", "k", "", "s", "k", std::string(200, 'v')},
              "[s]\r\nk=" + std::string(3000, 'x') + "\r\n"));
  Put(t, "empty-file", Profile({"", "", "", "", "", ""}, ""));
  Put(t, "no-section", Profile({"", "k", "", "", "k", "1"}, "k=orphan\r\n=empty key\r\n"));
}

void DefaultsFiles() {
  const std::string t = "defaults_file";
  std::string full;
  for (int i = 0; i < 36; ++i) full += "value " + std::to_string(i) + "\r\n";
  Put(t, "thirty-six-lines", full);
  std::string dates;
  for (int i = 0; i < 36; ++i) dates += i % 3 == 0 ? "2024/01/31 09:05:00\r\n" : "\r\n";
  Put(t, "dates-and-empty-lines", dates);
  Put(t, "short-file", "one\r\ntwo\nthree\rfour");
  Put(t, "nul-ends-the-text", full.substr(0, 200) + std::string(1, '\0') + full.substr(200));
  Put(t, "mixed-line-ends",
      std::string(20, '\n') + std::string(10, '\r') + "x\r\ny\r\n" + "\x93\xFA\x96\x7B\r\n" +
          std::string(5, '\n'));
  Put(t, "no-last-line-end", full + "extra");
  Put(t, "empty", "");
}

void DateTimes() {
  const std::string t = "date_time";
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"grid-form", "2004/01/31 09:05:00"},
      {"zero", "0000/00/00 00:00:00"},
      {"dashes-short-time", "2004-01-31 9:5"},
      {"date-alone", "2004/1/31"},
      {"last-second", "9999/12/31 23:59:59"},
      {"first-second", "1601/01/01 09:00:01"},
      {"before-filetimes", "1601/01/01 08:59:59"},
      {"leap-day", "2000/02/29 12:00:00"},
      {"not-a-leap-day", "1900/02/29 12:00:00"},
      {"automation-number", "38000.5"},
      {"automation-negative", "-109205.375005787"},
      {"automation-sign-dot", "+.5"},
      {"time-of-day", "23:59:59"},
      {"duration", "12:34:56 & 0012" + kDay},
      {"duration-five-digit-days", "00:00:01 & 12345" + kDay},
      {"zero-duration", "00:00:00 & 0000" + kDay},
      {"double-byte-blank", "2004/01/31\x81@09:05:00"},
      {"ticks-beyond-range", std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x7F", 8)},
  };
  for (const auto& [name, text] : texts) Put(t, name, text);
}

// The edit-mask target's input: template choice (an own template follows
// as counted bytes), cell text, then operations.
std::string Mask(std::uint8_t choice, const std::string& text, const std::string& operations,
                 const std::string& ownTemplate = {}) {
  std::string out(1, static_cast<char>(choice));
  if (!ownTemplate.empty()) out += static_cast<char>(ownTemplate.size()) + ownTemplate;
  return out + static_cast<char>(text.size()) + text + operations;
}

// Operations, one per byte (taken modulo 13): 0 types the character that
// follows, 2 backspace, 3 delete, 4 left, 5 right, 6 home, 7 end, 8 places
// the cursor at the byte that follows, 9 pastes the counted text that
// follows, 10 selects all, 11 commits, 12 reverts; 0x80 extends the
// selection.
enum Op : char {
  kType = 0,
  kBackspace = 2,
  kDelete = 3,
  kLeft = 4,
  kRight = 5,
  kHome = 6,
  kEnd = 7,
  kPlace = 8,
  kPaste = 9,
  kSelectAll = 10,
  kCommit = 11,
  kRevert = 12,
  kExtend = static_cast<char>(0x80),
};

std::string Ops(std::initializer_list<std::string> steps) {
  std::string out;
  for (const std::string& step : steps) out += step;
  return out;
}
std::string Do(Op op) {
  return std::string(1, op);
}
std::string Type(char c) {
  return std::string{kType, c};
}
std::string Extend(Op op) {
  return std::string(1, static_cast<char>(op | kExtend));
}
std::string Place(std::uint8_t offset) {
  return std::string{kPlace, static_cast<char>(offset)};
}
std::string Paste(const std::string& text) {
  return std::string{kPaste, static_cast<char>(text.size())} + text;
}

void EditMasks() {
  const std::string t = "edit_mask";
  Put(t, "date-retype-year",
      Mask(0, "2004/01/31 09:05:00",
           Ops({Type('1'), Type('9'), Type('9'), Type('9'), Do(kCommit)})));
  Put(t, "date-empty-then-commit", Mask(0, "", Ops({Type('2'), Do(kCommit), Do(kRevert)})));
  Put(t, "date-paste-whole",
      Mask(0, "", Ops({Do(kSelectAll), Paste("2024/02/29 23:59:59"), Do(kCommit)})));
  Put(t, "date-select-and-erase",
      Mask(0, "2004-1-31",
           Ops({Extend(kRight), Extend(kRight), Extend(kRight), Do(kBackspace), Do(kCommit),
                Do(kRevert)})));
  Put(t, "duration-edit",
      Mask(1, "01:02:03 & 0004" + kDay,
           Ops({Do(kEnd), Do(kBackspace), Do(kBackspace), Type('7'), Place(5), Do(kDelete),
                Do(kCommit)})));
  Put(t, "optional-digit",
      Mask(2, "8", Ops({Do(kBackspace), Do(kCommit), Type('4'), Do(kCommit)})));
  Put(t, "optional-pair", Mask(3, "1/2", Ops({Place(3), Do(kDelete), Type('5'), Do(kCommit)})));
  Put(t, "double-byte-literal", Mask(4, "1\x82\x30", Ops({Type('3'), Do(kRight), Do(kCommit)})));
  Put(t, "own-template",
      Mask(0xF0, "12-3",
           Ops({Type('4'), Type('5'), Paste("6)7"), Do(kHome), Extend(kEnd), Do(kDelete),
                Do(kCommit)}),
           "00-99 (0)"));
}

// Element choice, attribute choice, counted text choices, then the part.
std::string Splice(char element, char attribute, const std::string& choices,
                   const std::string& part) {
  return std::string{element, attribute, static_cast<char>(choices.size())} + choices + part;
}

void XmlSplices() {
  const std::string t = "xml_splice";
  const std::string core =
      "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\r\n"
      "<cp:coreProperties xmlns:cp='http://schemas.openxmlformats.org/package/2006/metadata/"
      "core-properties' xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\r\n"
      "  <dc:title>Old &amp; title</dc:title><!-- c -->\r\n  <cp:keywords/>\r\n"
      "  <dc:creator><![CDATA[a<b]]></dc:creator>\r\n</cp:coreProperties>";
  Put(t, "core-title", Splice(1, 0, "\x01\x02\x06\x08", core));
  Put(t, "core-self-closing", Splice(2, 0, "\x00\x0D\x0E", core));
  Put(t, "core-cdata", Splice(3, 0, "\x0B\x04", core));
  Put(t, "meta-attribute",
      Splice(
          2, 1, "\x04\x07\x09",
          "<office:document-meta xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
          " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\"><office:meta>"
          "<meta:document-statistic meta:page-count='2' meta:word-count=\"5\"/>"
          "<meta:keyword>k</meta:keyword></office:meta></office:document-meta>"));
  Put(t, "default-namespace",
      Splice(1, 0, "\x0F\x0C",
             "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "extended-properties\"><Company>A&#x42;C</Company></Properties>"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  output = argv[1];
  CompoundFiles();
  PropertySets();
  Profiles();
  DefaultsFiles();
  DateTimes();
  EditMasks();
  XmlSplices();
  return 0;
}
