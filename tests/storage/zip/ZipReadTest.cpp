// Reading packages that Python's zipfile built, and refusing every kind of
// archive the engine cannot change safely, with a code and nothing changed.

#include <gtest/gtest.h>

#include <functional>

#include "platform/storage/zip/Records.h"
#include "storage/zip/ZipFixture.h"

namespace tavrin::storage::zip {
namespace {

using tavrin::fixture::ReadWholeFile;
using tavrin::fixture::ScratchDir;
using tavrin::fixture::WriteWholeFile;

const std::string kThreeMembers =
    "z.writestr(zipfile.ZipInfo('mimetype'), 'application/x-test', zipfile.ZIP_STORED)\n"
    "z.writestr('docProps/core.xml', '<core>' + 'x' * 3000 + '</core>')\n"
    "z.writestr('word/document.xml', '<doc>' + 'body ' * 500 + '</doc>')\n";

TEST(ZipReadTest, ReadsEveryLayoutPythonWrites) {
  struct Case {
    const char* name;
    std::string prefix;  // bytes before the archive
    std::string body;
    bool streamed;
    std::size_t descriptors;
  };
  const std::vector<Case> cases = {
      {"plain", "", kThreeMembers, false, 0},
      {"with data descriptors", "", kThreeMembers, true, 3},
      {"with a comment", "", kThreeMembers + "z.comment = b'a package comment'\n", false, 0},
      {"after a self-extracting prefix", std::string(1000, '\x7f'), kThreeMembers, false, 0},
      {"empty member", "", "z.writestr('empty', '')\n", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string path = dir.Put("a.zip", c.prefix);
    const std::string before = fixture::BuildZip(path, c.body, c.streamed);
    auto package = fixture::Open(path);
    ASSERT_TRUE(package.status.ok()) << package.status.text();
    std::size_t descriptors = 0;
    for (const Member& member : package.archive->members()) {
      std::string content;
      ASSERT_TRUE(package.archive->Read(member, 1 << 20, content).ok()) << member.name;
      EXPECT_TRUE(content == fixture::PythonRead(path, member.name)) << member.name;
      EXPECT_EQ(package.archive->Find(member.name), &member);
      descriptors += member.descriptorSize != 0;
    }
    EXPECT_EQ(descriptors, c.descriptors);
    EXPECT_EQ(package.archive->Find("docProps/core"), nullptr);
    EXPECT_EQ(ReadWholeFile(path), before);
  }
}

// Patches one little-endian field of the archive.
void Put32At(std::string& bytes, std::size_t at, std::uint32_t value) {
  StoreU32(bytes, at, value);
}
void Put16At(std::string& bytes, std::size_t at, std::uint16_t value) {
  StoreU16(bytes, at, value);
}

std::size_t EndRecord(const std::string& bytes) {
  return bytes.rfind("PK\x05\x06");
}
std::size_t CentralEntry(const std::string& bytes, int n) {
  std::size_t at = bytes.find("PK\x01\x02");
  while (n-- > 0) at = bytes.find("PK\x01\x02", at + 1);
  return at;
}
std::size_t LocalHeader(const std::string& bytes, int n) {
  std::size_t at = bytes.find("PK\x03\x04");
  while (n-- > 0) at = bytes.find("PK\x03\x04", at + 1);
  return at;
}

TEST(ZipReadTest, RefusesWhatItCannotChangeSafelyAndChangesNothing) {
  struct Case {
    const char* name;
    HRESULT code;
    std::function<void(std::string&)> patch;
    std::string body = kThreeMembers;
  };
  const std::vector<Case> cases = {
      {"not an archive", TAVRIN_E_BADPACKAGE, [](std::string& b) { b.resize(b.size() - 22); }},
      {"trailing bytes after the end record", TAVRIN_E_BADPACKAGE,
       [](std::string& b) { b += "junk"; }},
      {"several disks", TAVRIN_E_UNSUPPORTEDPACKAGE,
       [](std::string& b) { Put16At(b, EndRecord(b) + end::kDisk, 1); }},
      {"ZIP64 end record offset", TAVRIN_E_UNSUPPORTEDPACKAGE,
       [](std::string& b) { Put32At(b, EndRecord(b) + end::kCentralOffset, 0xFFFFFFFFu); }},
      {"ZIP64 member sizes", TAVRIN_E_UNSUPPORTEDPACKAGE,
       [](std::string& b) { Put32At(b, CentralEntry(b, 1) + central::kCompressed, 0xFFFFFFFFu); }},
      {"an encrypted member", TAVRIN_E_UNSUPPORTEDPACKAGE,
       [](std::string& b) {
         Put16At(b, CentralEntry(b, 1) + central::kFlags, kFlagEncrypted);
         Put16At(b, LocalHeader(b, 1) + local::kFlags, kFlagEncrypted);
       }},
      {"a central directory that misses the end record", TAVRIN_E_BADPACKAGE,
       [](std::string& b) {
         const std::size_t e = EndRecord(b);
         Put32At(b, e + end::kCentralOffset, LoadU32(b, e + end::kCentralOffset) - 1);
       }},
      {"fewer entries than the end record counts", TAVRIN_E_BADPACKAGE,
       [](std::string& b) {
         Put16At(b, EndRecord(b) + end::kEntries, 4);
         Put16At(b, EndRecord(b) + end::kEntriesHere, 4);
       }},
      {"a local header of another method", TAVRIN_E_BADPACKAGE,
       [](std::string& b) { Put16At(b, LocalHeader(b, 1) + local::kMethod, 0); }},
      {"a local header of another name", TAVRIN_E_BADPACKAGE,
       [](std::string& b) { b[LocalHeader(b, 1) + kLocalFixed] = 'D'; }},
      {"a local header of another CRC", TAVRIN_E_BADPACKAGE,
       [](std::string& b) { b[LocalHeader(b, 1) + local::kCrc] ^= 1; }},
      {"an entry that points at no local header", TAVRIN_E_BADPACKAGE,
       [](std::string& b) { Put32At(b, CentralEntry(b, 2) + central::kLocalOffset, 7); }},
      {"overlapping members", TAVRIN_E_BADPACKAGE,
       [](std::string& b) {
         // The second member claims the first's data as well.
         const std::uint32_t first = LoadU32(b, CentralEntry(b, 1) + central::kLocalOffset);
         Put32At(b, CentralEntry(b, 2) + central::kLocalOffset, first);
         Put32At(b, CentralEntry(b, 1) + central::kLocalOffset, 0);
       }},
      {"duplicate names", TAVRIN_E_BADPACKAGE, [](std::string&) {},
       "import warnings\nwarnings.simplefilter('ignore')\n"
       "z.writestr('a.xml', 'one')\nz.writestr('a.xml', 'two')\n"},
      {"a data descriptor that disagrees", TAVRIN_E_BADPACKAGE,
       [](std::string& b) {
         const std::size_t d = b.find("PK\x07\x08");
         b[d + 4] ^= 1;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string path = dir.Put("a.zip", "");
    std::string bytes = fixture::BuildZip(
        path, c.body, std::string(c.name).find("descriptor") != std::string::npos);
    c.patch(bytes);
    WriteWholeFile(path, bytes);
    auto package = fixture::Open(path);
    EXPECT_EQ(package.status.code(), c.code) << package.status.text();
    EXPECT_FALSE(package.status.text().empty());
    EXPECT_EQ(ReadWholeFile(path), bytes);
  }
}

TEST(ZipReadTest, ReadRefusesBombsLiesAndDamage) {
  struct Case {
    const char* name;
    std::size_t limit;
    HRESULT code;
    std::function<void(std::string&)> patch;
  };
  // Ten MiB of zeros deflate to about ten KiB.
  const std::string body = "z.writestr('bomb', b'\\0' * (10 << 20))\n";
  const std::vector<Case> cases = {
      {"past the limit", 1 << 20, TAVRIN_E_MEMBERTOOLARGE, [](std::string&) {}},
      {"a size that lies", 20 << 20, TAVRIN_E_BADPACKAGE,
       [](std::string& b) {
         Put32At(b, CentralEntry(b, 0) + central::kUncompressed, 1000);
         Put32At(b, LocalHeader(b, 0) + local::kUncompressed, 1000);
       }},
      {"a wrong CRC", 20 << 20, TAVRIN_E_BADPACKAGE,
       [](std::string& b) {
         b[CentralEntry(b, 0) + central::kCrc] ^= 1;
         b[LocalHeader(b, 0) + local::kCrc] ^= 1;
       }},
      {"damaged data", 20 << 20, TAVRIN_E_BADPACKAGE,
       [](std::string& b) { b[LocalHeader(b, 0) + kLocalFixed + 4] = '\xff'; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string path = dir.Put("a.zip", "");
    std::string bytes = fixture::BuildZip(path, body);
    c.patch(bytes);
    WriteWholeFile(path, bytes);
    auto package = fixture::Open(path);
    ASSERT_TRUE(package.status.ok()) << package.status.text();
    std::string content;
    const Status read = package.archive->Read(package.archive->members()[0], c.limit, content);
    EXPECT_EQ(read.code(), c.code) << read.text();
  }
}

}  // namespace
}  // namespace tavrin::storage::zip
