#pragma once
// What the benchmarks share: the documents they compare (the same property
// sets in an 8 KB, a 1 MB and a 100 MB file) and a count of what the engine
// reads and writes. A small document is read whole in one call; from 1 MB
// on, nothing a show or a change costs may grow with the size.

#include <benchmark/benchmark.h>

#include <iterator>
#include <string>

#include "platform/storage/File.h"
#include "support/TestDocument.h"

namespace tavrin::bench {

// The benchmarks' argument: 0, 1 or 2 for the three sizes.
inline constexpr std::size_t kDocumentSizes[] = {8u << 10, 1u << 20, 100u << 20};
inline constexpr const char* kSizeLabels[] = {"8 KB document", "1 MB document", "100 MB document"};

inline const std::string& Document(const benchmark::State& state) {
  static fixture::ScratchDir dir;
  static std::string paths[std::size(kDocumentSizes)];
  const auto which = static_cast<std::size_t>(state.range(0));
  std::string& path = paths[which];
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
    // The body stream makes the size; the sets are the same in all.
    writer.AddStream("WordDocument", std::string(kDocumentSizes[which], 'w'));
    path = dir.Put("document-" + std::to_string(which) + ".doc", writer.Build().bytes);
  }
  return path;
}

inline const char* SizeLabel(const benchmark::State& state) {
  return kSizeLabels[static_cast<std::size_t>(state.range(0))];
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
