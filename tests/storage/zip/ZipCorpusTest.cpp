// Every package of the office corpus (TAVRIN_CORPUS with "-office"
// appended; skipped when absent): each readable one opens and reads, each
// damaged one is refused with a code and left as it was, and its properties
// member, replaced by a longer and by a shorter content, reads back through
// Python's zipfile with every other member unchanged.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "storage/zip/ZipFixture.h"
#include "support/Corpus.h"

namespace tavrin::storage::zip {
namespace {

using tavrin::fixture::ReadWholeFile;
using tavrin::fixture::ScratchDir;
namespace fs = std::filesystem;

struct Entry {
  std::string file;
  std::string kind;
};

std::vector<Entry> Manifest(fs::path& folder) {
  std::vector<Entry> entries;
  const char* corpus = std::getenv("TAVRIN_CORPUS");
  if (corpus == nullptr) return entries;
  folder = std::string(corpus) + "-office";
  std::ifstream in(folder / "MANIFEST.tsv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() >= 7) entries.push_back({fields[0], fields[6]});
  }
  return entries;
}

TEST(ZipCorpusTest, OpensReadsRefusesAndReplacesEveryPackage) {
  fs::path folder;
  const std::vector<Entry> entries = Manifest(folder);
  if (entries.empty()) GTEST_SKIP() << "no office corpus";
  // In place, of the longer and of the shorter replacements.
  std::size_t replaced = 0, inPlace[2] = {0, 0};
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.file);
    ScratchDir dir;
    const std::string path = testing::WritableCopy(folder / entry.file, dir.path() / entry.file);
    const std::string before = ReadWholeFile(path);
    auto package = fixture::Open(path);
    if (entry.kind == "badzip") {
      EXPECT_FALSE(package.status.ok());
      EXPECT_TRUE(package.status.code() == TAVRIN_E_BADPACKAGE ||
                  package.status.code() == TAVRIN_E_UNSUPPORTEDPACKAGE)
          << package.status.text();
      package = {};
      EXPECT_TRUE(ReadWholeFile(path) == before);
      continue;
    }
    ASSERT_TRUE(package.status.ok()) << package.status.text();
    for (const Member& m : package.archive->members()) {
      std::string content;
      const Status read = package.archive->Read(m, 64 << 20, content);
      EXPECT_TRUE(read.ok()) << m.name << ": " << read.text();
    }
    const Member* props = package.archive->Find("docProps/core.xml");
    if (props == nullptr) props = package.archive->Find("meta.xml");
    if (props == nullptr) continue;
    const std::string name = props->name;
    std::string content;
    ASSERT_TRUE(package.archive->Read(*props, 1 << 20, content).ok());
    package = {};
    const std::string longer = content + "<!---->";
    const std::string shorter =
        content.substr(0, content.size() - std::min<std::size_t>(content.size(), 7));
    for (int shortening = 0; shortening < 2; ++shortening) {
      const std::string& next = shortening != 0 ? shorter : longer;
      const std::string original = ReadWholeFile(path);
      auto writable = fixture::Open(path);
      ASSERT_TRUE(writable.status.ok()) << writable.status.text();
      std::map<std::string, std::string> others;
      for (const Member& m : writable.archive->members()) {
        if (m.name != name) others[m.name] = fixture::MemberBytes(original, m);
      }
      const Status written = writable.archive->Write(*writable.file, {{name, next}});
      ASSERT_TRUE(written.ok()) << written.text();
      writable = {};
      const std::string after = ReadWholeFile(path);
      ++replaced;
      inPlace[shortening] += after.size() == original.size();
      std::string read;
      EXPECT_EQ(fixture::PythonTestZip(path, name, &read), "OK");
      EXPECT_TRUE(read == next);
      auto reopened = fixture::Open(path);
      ASSERT_TRUE(reopened.status.ok()) << reopened.status.text();
      for (const Member& m : reopened.archive->members()) {
        if (m.name != name) {
          EXPECT_TRUE(fixture::MemberBytes(after, m) == others[m.name]) << m.name;
        }
      }
    }
  }
  std::cout << "packages changed: " << replaced / 2 << "; in place: " << inPlace[0]
            << " of the longer replacements, " << inPlace[1] << " of the shorter\n";
  EXPECT_EQ(inPlace[1], replaced / 2) << "a shorter content always fits";
}

}  // namespace
}  // namespace tavrin::storage::zip
