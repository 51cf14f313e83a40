#pragma once
// What every fuzz target shares: one fixed environment, files that need no
// disk, a reader that turns the input bytes into choices, and a check that
// stops the process so that the input is kept.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// libFuzzer calls this once before the first input; the replay main calls it
// too, so both see the same zone and language.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tavrin::fuzz {

// Prints what failed and aborts: libFuzzer saves the input as a crash, and
// the replay main's test fails with the file it was running.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

// Reads an input front to back as a series of choices. Past the end every
// read gives zero or nothing, so any input, however short, is a valid run.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  bool Empty() const { return rest_.empty(); }
  std::size_t Left() const { return rest_.size(); }

  std::uint8_t Byte();
  bool Bool() { return (Byte() & 1) != 0; }
  std::uint16_t U16();
  std::uint32_t U32();
  std::uint64_t U64();
  // Up to `count` bytes, fewer at the end.
  std::string Bytes(std::size_t count);
  // A byte counting the bytes that follow (at most `limit`).
  std::string ShortText(std::size_t limit = 255);
  // Everything not read yet.
  std::string Rest();

 private:
  std::string_view rest_;
};

// A file in the scratch folder (in memory where the machine has /dev/shm),
// removed when the object goes. A real folder entry, not an anonymous file:
// a document changes only with its journal beside it.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes);
  ~MemoryFile();
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const std::string& Path() const { return path_; }
  // The bytes the file holds now.
  std::string Contents() const;

 private:
  int fd_;
  std::string path_;
};

// A private folder for files that must have a real folder beside them (a
// write that goes through a temporary file and a rename). In memory when the
// machine has /dev/shm.
const std::string& ScratchFolder();

}  // namespace tavrin::fuzz

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::tavrin::fuzz::Fail(#condition, __FILE__, __LINE__))
