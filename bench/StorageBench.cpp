// The cost of showing and of changing one property must not grow with the
// document: a small document and a 100 MB one are timed side by side, with
// the bytes each change writes to the file.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "platform/storage/Com.h"
#include "platform/storage/File.h"
#include "platform/storage/PropertySet.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

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
  std::uint64_t read = 0;
  std::uint64_t written = 0;
};

void Report(benchmark::State& state, const CountingCalls& calls) {
  auto perIteration = [&](std::uint64_t total) {
    return benchmark::Counter(static_cast<double>(total) / static_cast<double>(state.iterations()));
  };
  state.counters["bytes_read"] = perIteration(calls.read);
  state.counters["bytes_written"] = perIteration(calls.written);
  state.SetLabel(state.range(0) != 0 ? "100 MB document" : "8 KB document");
}

const std::string& Document(bool large) {
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
    writer.AddStream("WordDocument", std::string(large ? 100u << 20 : 8u << 10, 'w'));
    path = dir.Put(large ? "large.doc" : "small.doc", writer.Build().bytes);
  }
  return path;
}

void ReadSet(IPropertySetStorage& sets, const FMTID& fmtid, ULONG count) {
  ComPtr<IPropertyStorage> set;
  if (FAILED(sets.Open(fmtid, kMode, set.Put()))) std::abort();
  std::vector<PROPSPEC> specs(count);
  for (ULONG i = 0; i < count; ++i) specs[i] = {PRSPEC_PROPID, i + 2};
  std::vector<PROPVARIANT> values(count);
  benchmark::DoNotOptimize(set->ReadMultiple(count, specs.data(), values.data()));
  FreePropVariantArray(count, values.data());
}

void OpenAndReadBothSets(benchmark::State& state) {
  const std::string& path = Document(state.range(0) != 0);
  CountingCalls calls;
  storage::ScopedSystemCalls counting(calls);
  for (auto _ : state) {
    ComPtr<IStorage> storage;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put())))
      std::abort();
    ComPtr<IPropertySetStorage> sets;
    storage.As(sets);
    ReadSet(*sets.Get(), storage::FMTID_SummaryInformation, 18);
    ReadSet(*sets.Get(), storage::FMTID_DocSummaryInformation, 15);
  }
  Report(state, calls);
}

void WriteOneProperty(benchmark::State& state) {
  const std::string& path = Document(state.range(0) != 0);
  CountingCalls calls;
  storage::ScopedSystemCalls counting(calls);
  PROPSPEC title{PRSPEC_PROPID, 2};
  bool flip = false;
  for (auto _ : state) {
    ComPtr<IStorage> storage;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put())))
      std::abort();
    ComPtr<IPropertySetStorage> sets;
    storage.As(sets);
    ComPtr<IPropertyStorage> set;
    sets->Open(storage::FMTID_SummaryInformation, kMode, set.Put());
    PROPVARIANT value;
    set->ReadMultiple(1, &title, &value);
    flip = !flip;
    // The stream grows and shrinks by turns.
    value.pszVal =
        flip ? "a short title" : "a rather longer title that needs more room in the stream";
    if (FAILED(set->WriteMultiple(1, &title, &value, 2))) std::abort();
    PropVariantClear(&value);
  }
  Report(state, calls);
}

BENCHMARK(OpenAndReadBothSets)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteOneProperty)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
