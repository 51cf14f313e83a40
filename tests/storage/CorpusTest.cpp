// Every compound file of the shared corpus of real documents (when it is
// present) opens; writing its Summary Information stream back unchanged
// leaves it byte for byte the same, and a longer and a shorter stream change
// that stream alone, as olefile reads it (gsf's view is checked on the
// fixture documents, where it costs less).

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "storage/SampleDocument.h"
#include "support/ExternalReaders.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

std::vector<std::filesystem::path> CorpusFiles() {
  const char* folder = std::getenv("TAVRIN_CORPUS");
  std::vector<std::filesystem::path> files;
  if (!folder || !std::filesystem::is_directory(folder)) return files;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    const std::string extension = item.path().extension().string();
    if (item.is_regular_file() && extension != ".md" && extension != ".json" &&
        extension != ".tsv") {
      files.push_back(item.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Replaces the summary stream of a fresh copy of `original` with `content`
// and gives the copy's path, or an empty path after reporting a failure.
std::string Replaced(const fixture::ScratchDir& dir, const std::string& original,
                     const std::string& name, const std::string& content) {
  const std::string path = dir.Put(name, fixture::ReadWholeFile(original));
  Opened opened = OpenDocument(path);
  const auto entry = opened.file->FindRootStream(kSummary16);
  const HRESULT hr = opened.file->ReplaceStream(*entry, content);
  EXPECT_EQ(hr, S_OK) << name << ": " << opened.file->LastError();
  return hr == S_OK ? path : "";
}

TEST(CorpusTest, RealDocumentsOpenAndChangeOnlyTheirSummary) {
  const std::vector<std::filesystem::path> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus at TAVRIN_CORPUS";
  const bool external = fixture::ExternalReadersPresent();
  int withSummary = 0;
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    fixture::ScratchDir dir;
    const std::string original = dir.Put("original", fixture::ReadWholeFile(file.string()));
    const std::string before = fixture::ReadWholeFile(original);
    std::string summary;
    {
      Opened opened = OpenDocument(original);
      // Every file in the corpus is a sound compound file, checked one by
      // one against the format; none may be refused.
      ASSERT_EQ(opened.hr, S_OK) << opened.error;
      const auto entry = opened.file->FindRootStream(kSummary16);
      if (!entry) continue;
      ++withSummary;
      ASSERT_EQ(opened.file->ReadStream(*entry, summary), S_OK) << opened.file->LastError();
      ASSERT_EQ(opened.file->ReplaceStream(*entry, summary), S_OK) << opened.file->LastError();
    }
    EXPECT_EQ(fixture::ReadWholeFile(original), before) << "writing back the same content";

    const std::string longer = summary + Pattern(173, 5);
    const std::string shorter =
        summary.substr(0, summary.size() - std::min<std::size_t>(summary.size(), 60));
    std::vector<fixture::ChangedCopy> copies;
    for (const auto& [name, content] :
         {std::pair{"longer", longer}, std::pair{"shorter", shorter}}) {
      const std::string path = Replaced(dir, original, name, content);
      if (path.empty()) continue;
      Opened reopened = OpenDocument(path);
      ASSERT_EQ(reopened.hr, S_OK) << name << ": " << reopened.error;
      std::string read;
      EXPECT_EQ(reopened.file->ReadStream(*reopened.file->FindRootStream(kSummary16), read), S_OK);
      EXPECT_EQ(read, content) << name;
      copies.push_back({path, content});
    }
    if (external) {
      EXPECT_EQ(fixture::CompareWithOlefile(original, kSummary, copies), "OK");
    }
  }
  EXPECT_GT(withSummary, 0);
}

}  // namespace
}  // namespace tavrin::storage
