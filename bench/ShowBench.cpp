// The show command on one form per file, as the command-line front end runs
// it: a small document against a 100 MB one, so that any cost that grows
// with the document shows as a ratio.

#include <benchmark/benchmark.h>

#include "app/TForm1.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/ScriptedDialogs.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

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

void ShowOnAFreshForm(benchmark::State& state) {
  const std::string& path = Document(state.range(0) != 0);
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
  state.SetLabel(state.range(0) != 0 ? "100 MB document" : "8 KB document");
}

BENCHMARK(ShowOnAFreshForm)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
