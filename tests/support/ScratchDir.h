#pragma once
// A fresh folder under the system's temporary folder, removed with all it
// holds when the test ends, and whole-file helpers for tests.

#include <filesystem>
#include <string>

namespace tavrin::fixture {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to a file called `name` in the folder and gives its path.
  std::string Put(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace tavrin::fixture
