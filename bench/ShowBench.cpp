// The show command on one form per file, as the command-line front end runs
// it: a small document against a 100 MB one, so that any cost that grows
// with the document shows as a ratio.

#include <benchmark/benchmark.h>

#include "app/TForm1.h"
#include "bench/BenchSupport.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/ScriptedDialogs.h"

namespace tavrin {
namespace {

void ShowOnAFreshForm(benchmark::State& state) {
  const std::string& path = bench::Document(state);
  HeadlessWindowHost host;
  for (auto _ : state) {
    ScriptedDialogs dialogs("tavrin-cli");
    TForm1 form(dialogs, host, "/usr/bin/tavrin-cli");
    form.FormCreate();
    form.Edit1.SetText(path);
    form.Button1Click();
    if (!dialogs.ShownBoxes().empty()) std::abort();
    benchmark::DoNotOptimize(form.ValueListEditor1.Value(0));
  }
  state.SetLabel(bench::SizeLabel(state));
}

BENCHMARK(ShowOnAFreshForm)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
