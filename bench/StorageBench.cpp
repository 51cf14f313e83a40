// The cost of showing and of changing one property must not grow with the
// document: a small document and a 100 MB one are timed side by side, with
// the bytes each change writes to the file.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"
#include "platform/storage/Com.h"
#include "platform/storage/PropertySet.h"

namespace tavrin {
namespace {

constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

void ReadSet(IPropertySetStorage& sets, const FMTID& fmtid, ULONG count) {
  ComPtr<IPropertyStorage> set;
  if (FAILED(sets.Open(fmtid, kMode, set.Put()))) std::abort();
  std::vector<PROPSPEC> specs(count);
  for (ULONG i = 0; i < count; ++i) specs[i] = {PRSPEC_PROPID, i + 2};
  std::vector<PROPVARIANT> values(count);
  benchmark::DoNotOptimize(set->ReadMultiple(count, specs.data(), values.data()));
  FreePropVariantArray(count, values.data());
}

// The document's property sets; the storage lives as long as they do.
ComPtr<IPropertySetStorage> OpenSets(const std::string& path) {
  ComPtr<IStorage> storage;
  if (FAILED(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put()))) std::abort();
  ComPtr<IPropertySetStorage> sets;
  storage.As(sets);
  return sets;
}

void OpenAndReadBothSets(benchmark::State& state) {
  const std::string& path = bench::Document(state);
  bench::CountingCalls calls;
  storage::ScopedSystemCalls counting(calls);
  for (auto _ : state) {
    ComPtr<IPropertySetStorage> sets = OpenSets(path);
    ReadSet(*sets.Get(), storage::FMTID_SummaryInformation, 18);
    ReadSet(*sets.Get(), storage::FMTID_DocSummaryInformation, 15);
  }
  calls.Report(state);
}

void WriteOneProperty(benchmark::State& state) {
  const std::string& path = bench::Document(state);
  bench::CountingCalls calls;
  storage::ScopedSystemCalls counting(calls);
  PROPSPEC title{PRSPEC_PROPID, 2};
  bool flip = false;
  for (auto _ : state) {
    ComPtr<IPropertySetStorage> sets = OpenSets(path);
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
  calls.Report(state);
}

BENCHMARK(OpenAndReadBothSets)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteOneProperty)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
