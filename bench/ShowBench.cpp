// The show command on one form per file, as the command-line front end runs
// it: a small document against a 100 MB one, so that any cost that grows
// with the document shows as a ratio.

#include <benchmark/benchmark.h>

#include "app/TForm1.h"
#include "bench/BenchSupport.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/PrivateProfile.h"
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

// The share of the above that every file pays before its document is
// touched: a form built, its settings applied and the form taken down.
void FreshFormAlone(benchmark::State& state) {
  HeadlessWindowHost host;
  ScriptedDialogs first("tavrin-cli");
  const ProfileReader settings(TForm1(first, host, "/usr/bin/tavrin-cli").SettingsPath());
  for (auto _ : state) {
    ScriptedDialogs dialogs("tavrin-cli");
    TForm1 form(dialogs, host, "/usr/bin/tavrin-cli");
    form.FormCreate(settings);
    benchmark::DoNotOptimize(form.ValueListEditor1.Value(0));
  }
}

BENCHMARK(FreshFormAlone)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
