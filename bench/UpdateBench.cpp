// The change command on one form per file, as the command-line front end runs
// it, changing one property: a small document against a 100 MB one, with the
// bytes each change reads from and writes to the file. Neither may grow with
// the document.

#include <benchmark/benchmark.h>

#include "app/TForm1.h"
#include "bench/BenchSupport.h"
#include "grids/RowCatalogue.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/ScriptedDialogs.h"

namespace tavrin {
namespace {

void UpdateOneProperty(benchmark::State& state) {
  const std::string& path = bench::Document(state);
  HeadlessWindowHost host;
  bench::CountingCalls calls;
  storage::ScopedSystemCalls counting(calls);
  bool flip = false;
  for (auto _ : state) {
    ScriptedDialogs dialogs("tavrin-cli");
    dialogs.SetStandingAnswer(true);
    TForm1 form(dialogs, host, "/usr/bin/tavrin-cli");
    form.FormCreate();
    for (CheckListBox* list : {&form.CheckListBox1, &form.CheckListBox2, &form.CheckListBox3}) {
      for (int i = 0; i < list->Count(); ++i) list->SetChecked(i, false);
    }
    form.Edit1.SetText(path);
    form.CheckListBox1.SetChecked(summary_row::kTitle, true);
    // The stream grows and shrinks by turns.
    flip = !flip;
    form.ValueListEditor1.SetValueAt(
        summary_row::kTitle,
        flip ? "a short title" : "a rather longer title that needs more room in the stream");
    form.Button2Click();
    if (dialogs.ShownBoxes().size() != 1) std::abort();  // the question alone
  }
  calls.Report(state);
}

BENCHMARK(UpdateOneProperty)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
