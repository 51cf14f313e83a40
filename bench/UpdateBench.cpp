// The change command on one form per file, as the command-line front end runs
// it, changing one property: a small document against a 100 MB one, with the
// bytes each change reads from and writes to the file. Neither may grow with
// the document.

#include <benchmark/benchmark.h>

#include "app/TForm1.h"
#include "grids/RowCatalogue.h"
#include "platform/HeadlessWindowHost.h"
#include "platform/ScriptedDialogs.h"
#include "platform/storage/File.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

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
    // The body stream makes the size; the sets are the same in both.
    writer.AddStream("WordDocument", std::string(large ? 100u << 20 : 8u << 10, 'w'));
    path = dir.Put(large ? "large.doc" : "small.doc", writer.Build().bytes);
  }
  return path;
}

void UpdateOneProperty(benchmark::State& state) {
  const std::string& path = Document(state.range(0) != 0);
  HeadlessWindowHost host;
  CountingCalls calls;
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
  auto perIteration = [&](std::uint64_t total) {
    return benchmark::Counter(static_cast<double>(total) / static_cast<double>(state.iterations()));
  };
  state.counters["bytes_read"] = perIteration(calls.read);
  state.counters["bytes_written"] = perIteration(calls.written);
  state.SetLabel(state.range(0) != 0 ? "100 MB document" : "8 KB document");
}

BENCHMARK(UpdateOneProperty)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
