#pragma once
// The real documents tests read when they are present (TAVRIN_CORPUS), and
// the writable copies a test makes of them: showing a document opens it for
// writing, and the originals are never changed.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tavrin::testing {

// Every document of the corpus, sorted; empty when there is no corpus.
inline std::vector<std::filesystem::path> CorpusDocuments() {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  const char* corpus = std::getenv("TAVRIN_CORPUS");
  if (corpus == nullptr || !fs::is_directory(corpus)) return files;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    std::string ext = entry.path().extension().string();
    if (ext != ".md" && ext != ".json" && ext != ".tsv") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline std::string WritableCopy(const std::filesystem::path& original,
                                const std::filesystem::path& copy) {
  namespace fs = std::filesystem;
  fs::copy_file(original, copy, fs::copy_options::overwrite_existing);
  fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
  return copy.string();
}

}  // namespace tavrin::testing
