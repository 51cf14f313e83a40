#include "support/PowerCutSystemCalls.h"

#include <filesystem>

#include "support/ScratchDir.h"

namespace tavrin::fixture {
namespace {

std::string Key(const std::string& path) {
  return std::filesystem::weakly_canonical(path).string();
}

}  // namespace

PowerCutSystemCalls::Tracked& PowerCutSystemCalls::Track(const std::string& path) {
  const auto found = files_.find(path);
  if (found != files_.end()) return found->second;
  Tracked& tracked = files_[path];
  if (std::filesystem::exists(path)) tracked.flushed = ReadWholeFile(path);
  return tracked;
}

int PowerCutSystemCalls::Open(const char* path, int flags, mode_t mode) {
  const std::string key = Key(path);
  const bool made = (flags & O_CREAT) != 0 && !std::filesystem::exists(key);
  const int fd = FaultySystemCalls::Open(path, flags, mode);
  if (fd >= 0 && made) files_[key] = Tracked{{}, false, {}};
  return fd;
}

ssize_t PowerCutSystemCalls::WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) {
  const std::string path = PathOfDescriptor(fd);
  if (!crashed()) Track(path);
  const ssize_t n = FaultySystemCalls::WriteAt(fd, buffer, count, offset);
  if (n > 0 && !crashed()) {
    files_[path].unflushed.push_back(
        {false, static_cast<std::uint64_t>(offset),
         std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(n))});
  }
  return n;
}

int PowerCutSystemCalls::Truncate(int fd, off_t length) {
  const std::string path = PathOfDescriptor(fd);
  if (!crashed()) Track(path);
  const int result = FaultySystemCalls::Truncate(fd, length);
  if (result == 0 && !crashed()) {
    files_[path].unflushed.push_back({true, static_cast<std::uint64_t>(length), {}});
  }
  return result;
}

int PowerCutSystemCalls::Sync(int fd) {
  const std::string path = PathOfDescriptor(fd);
  const int result = FaultySystemCalls::Sync(fd);
  if (result != 0 || crashed()) return result;
  if (std::filesystem::is_directory(path)) {
    for (auto& [file, tracked] : files_) {
      if (std::filesystem::path(file).parent_path() == path) {
        tracked.inFolder = std::filesystem::exists(file);
      }
    }
  } else {
    Tracked& tracked = Track(path);
    tracked.flushed = ReadWholeFile(path);
    tracked.unflushed.clear();
  }
  return result;
}

int PowerCutSystemCalls::Unlink(const char* path) {
  const std::string key = Key(path);
  if (!crashed()) Track(key);
  return FaultySystemCalls::Unlink(path);
}

void PowerCutSystemCalls::OnCrash() {
  std::uniform_int_distribution<int> noise(0, 255);
  for (auto& [path, tracked] : files_) {
    const bool there = std::filesystem::exists(path);
    const bool stays = there == tracked.inFolder ? there : (Keep() ? there : tracked.inFolder);
    if (!stays) {
      std::filesystem::remove(path);
      continue;
    }
    std::string content = tracked.flushed;
    for (const Unflushed& change : tracked.unflushed) {
      if (!Keep()) continue;
      if (change.cut) {
        content.resize(change.offset);
        continue;
      }
      std::string bytes = change.bytes;
      if (loss_ == Loss::kGarbled) {
        for (char& byte : bytes) byte = static_cast<char>(noise(random_));
      }
      if (content.size() < change.offset + bytes.size())
        content.resize(change.offset + bytes.size());
      content.replace(change.offset, bytes.size(), bytes);
    }
    WriteWholeFile(path, content);
  }
}

}  // namespace tavrin::fixture
