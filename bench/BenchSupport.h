#pragma once
// What the benchmarks share: the two documents they compare (the same
// property sets in an 8 KB and in a 100 MB file) and a count of what the
// engine reads and writes.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/storage/File.h"
#include "support/TestDocument.h"

namespace tavrin::bench {

inline const std::string& Document(bool large) {
  static fixture::ScratchDir dir;
  static std::string small, big;
  std::string& path = large ? big : small;
  if (path.empty()) {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME")).Add(4, test::I4(12345));
    fixture::CfbWriter writer;
    writer.AddStream("\x05SummaryInformation",
                     test::BuildStream({testing::SummaryWith("a title", "an author", 3)}));
    writer.AddStream(
        "\x05"
        "DocumentSummaryInformation",
        test::BuildStream({docSummary}));
    // The body stream makes the size; the sets are the same in both.
    writer.AddStream("WordDocument", std::string(large ? 100u << 20 : 8u << 10, 'w'));
    path = dir.Put(large ? "large.doc" : "small.doc", writer.Build().bytes);
  }
  return path;
}

inline const char* SizeLabel(const benchmark::State& state) {
  return state.range(0) != 0 ? "100 MB document" : "8 KB document";
}

// Counts what the engine reads and writes, passing every call through.
class CountingCalls : public storage::SystemCalls {
 public:
  ssize_t ReadAt(int fd, void* buffer, std::size_t count, off_t offset) override {
    ssize_t got = SystemCalls::ReadAt(fd, buffer, count, offset);
    if (got > 0) read += static_cast<std::uint64_t>(got);
    return got;
  }
  ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) override {
    written += count;
    return SystemCalls::WriteAt(fd, buffer, count, offset);
  }

  // The bytes read and written per iteration, as counters of `state`.
  void Report(benchmark::State& state) const {
    auto perIteration = [&](std::uint64_t total) {
      return benchmark::Counter(static_cast<double>(total) /
                                static_cast<double>(state.iterations()));
    };
    state.counters["bytes_read"] = perIteration(read);
    state.counters["bytes_written"] = perIteration(written);
    state.SetLabel(SizeLabel(state));
  }

  std::uint64_t read = 0;
  std::uint64_t written = 0;
};

}  // namespace tavrin::bench
