#include "fuzz/FuzzSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Local time is part of what the date targets check: it must not depend on
  // the machine. Tokyo has had no summer time since 1951, so the offset is the
  // same at any moment a run happens.
  setenv("TZ", "Asia/Tokyo", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  setenv("LANG", "C.UTF-8", 1);
  tzset();
  return 0;
}

namespace tavrin::fuzz {

void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "\nfuzz check failed at %s:%d: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

std::uint8_t Input::Byte() {
  if (rest_.empty()) return 0;
  auto byte = static_cast<std::uint8_t>(rest_.front());
  rest_.remove_prefix(1);
  return byte;
}

std::uint16_t Input::U16() {
  auto low = Byte();
  return static_cast<std::uint16_t>(low | Byte() << 8);
}

std::uint32_t Input::U32() {
  std::uint32_t low = U16();
  return low | std::uint32_t{U16()} << 16;
}

std::uint64_t Input::U64() {
  std::uint64_t low = U32();
  return low | std::uint64_t{U32()} << 32;
}

std::string Input::Bytes(std::size_t count) {
  std::string_view taken = rest_.substr(0, count);
  rest_.remove_prefix(taken.size());
  return std::string(taken);
}

std::string Input::ShortText(std::size_t limit) {
  std::size_t length = Byte();
  return Bytes(length < limit ? length : limit);
}

std::string Input::Rest() {
  return Bytes(rest_.size());
}

MemoryFile::MemoryFile(std::string_view bytes) {
  path_ = ScratchFolder() + "/document-XXXXXX";
  fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
  FUZZ_CHECK(fd_ >= 0);
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t wrote = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    FUZZ_CHECK(wrote > 0);
    done += static_cast<std::size_t>(wrote);
  }
}

MemoryFile::~MemoryFile() {
  ::close(fd_);
  ::unlink(path_.c_str());
}

std::string MemoryFile::Contents() const {
  struct stat info {};
  FUZZ_CHECK(::fstat(fd_, &info) == 0);
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    FUZZ_CHECK(got > 0);
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

namespace {

struct Folder {
  Folder() {
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, error) || ::access(base.c_str(), W_OK) != 0) {
      base = std::filesystem::temp_directory_path();
    }
    std::string pattern = (base / "tavrin-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    path = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

}  // namespace

const std::string& ScratchFolder() {
  static const Folder folder;
  return folder.path;
}

}  // namespace tavrin::fuzz
