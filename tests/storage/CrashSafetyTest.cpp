// Every way a change can be cut off: each call it makes on the system, in
// turn, fails with EIO or ENOSPC, falls short, stops dead as in a crash, or
// meets a power cut that loses, garbles or keeps half of what was not yet
// flushed. Whatever happened, the next open leaves the document byte for
// byte as it was or as intended, readable, and python3-olefile agrees.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>

#include "platform/storage/File.h"
#include "platform/storage/Format.h"
#include "storage/SampleDocument.h"
#include "support/ExternalReaders.h"
#include "support/FaultKinds.h"
#include "support/FaultySystemCalls.h"
#include "support/PowerCutSystemCalls.h"
#include "support/TestDocument.h"

namespace tavrin::storage {
namespace {

using fixture::FaultySystemCalls;
using fixture::PowerCutSystemCalls;
using fixture::ReadWholeFile;
using Call = FaultySystemCalls::Call;
using Fault = FaultySystemCalls::Fault;
using Loss = PowerCutSystemCalls::Loss;
using fixture::CallName;
using fixture::FaultKind;
using fixture::FaultKinds;

const std::vector<std::string> kRootStreams = {kSummary, kDocSummary, "WordDocument", "1Table"};

std::map<std::string, std::string> RootStreams(const std::string& path) {
  std::map<std::string, std::string> streams;
  Opened opened = OpenDocument(path);
  EXPECT_EQ(opened.hr, S_OK) << opened.error;
  if (opened.hr != S_OK) return streams;
  for (const std::string& name : kRootStreams) {
    std::string& bytes = streams[name];
    EXPECT_EQ(opened.file->ReadStream(*opened.file->FindRootStream(Widen(name)), bytes), S_OK)
        << path << ": " << name;
  }
  return streams;
}

// Opens the document at `path` again with the real calls, in a new boot
// after a power cut. Noise that a power cut left where the journal's first
// write went is no journal of ours: that open refuses it and names it, with
// the document untouched (the change had not begun), and once it is
// removed, as the message asks, the document opens as it was.
Opened OpenAgain(const FaultKind& kind, const std::string& path, const std::string& before,
                 const std::string& where) {
  SystemCalls real;
  fixture::RestartedSystemCalls restarted;
  ScopedSystemCalls scoped(kind.restarts ? restarted : real);
  Opened reopened = OpenDocument(path);
  if (reopened.hr == TAVRIN_E_UNUSABLEJOURNAL && kind.garbles) {
    EXPECT_EQ(ReadWholeFile(path), before) << where << ": refused, and the document was touched";
    std::filesystem::remove(path + ".tavrin-journal");
    reopened = OpenDocument(path);
  }
  return reopened;
}

struct Scenario {
  const char* what;
  std::string before;
  std::string content;  // the summary stream's new content
};

// The document and the two states it may be left in.
class FaultLoop {
 public:
  explicit FaultLoop(const Scenario& scenario) : scenario_(scenario) {
    original_ = dir_.Put("original.doc", scenario.before);
    FaultySystemCalls counting;
    // Named as the document the faults will meet, so that the calls read
    // the same.
    std::filesystem::create_directory(dir_.path() / "intended");
    const std::string path = (dir_.path() / "intended" / "doc.doc").string();
    fixture::WriteWholeFile(path, scenario.before);
    {
      Opened opened = OpenDocument(path);
      ScopedSystemCalls scoped(counting);
      EXPECT_EQ(Summary(opened).file->ReplaceStream(entry_, scenario.content), S_OK);
    }
    intended_ = path;
    intendedBytes_ = ReadWholeFile(path);
    calls_ = counting.made();
    for (std::size_t i = 0; i < calls_.size(); ++i) {
      if (calls_[i].call == Call::kUnlink) commitPoint_ = i + 1;
    }
    EXPECT_GT(commitPoint_, 0u) << scenario.what;
    expected_[Outcome::kOriginal] = RootStreams(original_);
    expected_[Outcome::kIntended] = RootStreams(intended_);
  }

  const std::vector<FaultySystemCalls::Made>& calls() const { return calls_; }

  // Breaks call `n` of the change as `kind` says, then opens the document
  // again with the real calls and checks what it holds.
  void Try(std::size_t n, const FaultKind& kind) {
    const std::string path = (dir_.path() / "doc.doc").string();
    const std::string journal = path + ".tavrin-journal";
    fixture::WriteWholeFile(path, scenario_.before);
    std::filesystem::remove(journal);
    const std::unique_ptr<FaultySystemCalls> faults = kind.make(n);
    HRESULT hr = E_FAIL;
    bool crashed = false;
    {
      Opened opened = OpenDocument(path);
      ASSERT_EQ(opened.hr, S_OK) << opened.error;
      ScopedSystemCalls scoped(*faults);
      try {
        hr = Summary(opened).file->ReplaceStream(entry_, scenario_.content);
      } catch (const fixture::SimulatedCrash&) {
        crashed = true;
      }
      crashed = crashed || faults->crashed();
    }
    const FaultySystemCalls::Made& call = calls_[n - 1];
    const std::string where = std::string(scenario_.what) + ", call " + std::to_string(n) + " (" +
                              CallName(call.call) + " " + call.file + "), " + kind.name;
    Opened reopened = OpenAgain(kind, path, scenario_.before, where);
    ASSERT_TRUE(SUCCEEDED(reopened.hr)) << where << ": " << reopened.error;
    reopened.file.reset();
    const std::string after = ReadWholeFile(path);
    const bool original = after == scenario_.before;
    const bool intended = after == intendedBytes_;
    ASSERT_TRUE(original || intended) << where << ": the document is neither";
    if (reopened.hr == TAVRIN_S_ROLLEDBACK) {
      EXPECT_TRUE(original) << where << ": rolled back to something else";
    }
    EXPECT_FALSE(std::filesystem::exists(journal)) << where;
    if (!crashed) {
      // The result says what became of the document; only a failure to
      // flush the folder after the commit point leaves it changed.
      if (hr == S_OK) {
        EXPECT_TRUE(intended) << where << ": succeeded but not written";
      }
      if (FAILED(hr) && n < commitPoint_) {
        EXPECT_TRUE(original) << where << ": failed but changed";
      }
      if (FAILED(hr) && call.call == Call::kWriteAt && kind.name == std::string("ENOSPC")) {
        EXPECT_EQ(hr, STG_E_MEDIUMFULL) << where;
      }
    }
    const Outcome outcome = original ? Outcome::kOriginal : Outcome::kIntended;
    EXPECT_EQ(RootStreams(path), expected_[outcome]) << where;
    seen_[outcome] = true;
  }

  // A change that succeeded is on disk for good: a power cut right after it
  // takes nothing back.
  void TryPowerCutAfterSuccess(Loss loss) {
    const std::string path = (dir_.path() / "doc.doc").string();
    fixture::WriteWholeFile(path, scenario_.before);
    PowerCutSystemCalls faults(loss);
    {
      Opened opened = OpenDocument(path);
      ScopedSystemCalls scoped(faults);
      ASSERT_EQ(Summary(opened).file->ReplaceStream(entry_, scenario_.content), S_OK);
      faults.CrashNow();
    }
    ASSERT_EQ(OpenDocument(path).hr, S_OK);
    EXPECT_TRUE(ReadWholeFile(path) == intendedBytes_) << scenario_.what;
  }

  // python3-olefile reads each state the document was left in as the
  // original with only the summary changed, or not at all.
  void CheckWithOlefile() {
    if (!fixture::ExternalReadersPresent()) return;
    std::vector<fixture::ChangedCopy> copies;
    if (seen_[Outcome::kOriginal]) {
      copies.push_back({dir_.Put("left-original.doc", scenario_.before),
                        expected_[Outcome::kOriginal][kSummary]});
    }
    if (seen_[Outcome::kIntended]) copies.push_back({intended_, scenario_.content});
    EXPECT_EQ(fixture::CompareWithOlefile(original_, kSummary, copies), "OK") << scenario_.what;
  }

 private:
  enum class Outcome { kOriginal, kIntended };

  Opened& Summary(Opened& opened) {
    EXPECT_EQ(opened.hr, S_OK) << opened.error;
    entry_ = *opened.file->FindRootStream(kSummary16);
    return opened;
  }

  const Scenario& scenario_;
  fixture::ScratchDir dir_;
  std::string original_, intended_, intendedBytes_;
  std::uint32_t entry_ = 0;
  std::vector<FaultySystemCalls::Made> calls_;
  std::size_t commitPoint_ = 0;
  std::map<Outcome, std::map<std::string, std::string>> expected_;
  std::map<Outcome, bool> seen_;
};

// Past 32 KiB with `wordSize` 40000: read in pieces, not whole at the
// first read, so that reads come into the change too.
fixture::CfbWriter DocumentWithSummary(std::string summary, std::size_t wordSize = 10000) {
  fixture::CfbWriter writer;
  writer.AddStream(kSummary, std::move(summary));
  writer.AddStream(kDocSummary, Pattern(700, 2));
  writer.AddStream("WordDocument", Pattern(wordSize, 3));
  writer.AddStream("1Table", Pattern(5000, 4));
  const int pool = writer.AddStorage("ObjectPool");
  writer.AddStream("\x01Ole", Pattern(300, 5), pool);
  return writer;
}

std::string ChangedBy(const std::string& before, const std::string& content) {
  fixture::ScratchDir dir;
  const std::string path = dir.Put("step.doc", before);
  Opened opened = OpenDocument(path);
  EXPECT_EQ(opened.file->ReplaceStream(*opened.file->FindRootStream(kSummary16), content), S_OK);
  opened.file.reset();
  return ReadWholeFile(path);
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> scenarios;
  const auto title = [](const char* text) {
    return test::BuildStream({testing::SummaryWith(text, "author", 7)});
  };
  scenarios.push_back({"a title change in the mini stream",
                       DocumentWithSummary(title("the first title")).Build().bytes,
                       title("another, longer title")});
  const std::string small = DocumentWithSummary(Pattern(4000, 10)).Build().bytes;
  scenarios.push_back({"4000 bytes grown past the mini stream's cutoff", small, Pattern(5000, 11)});
  scenarios.push_back({"5000 bytes shrunk back into the mini stream",
                       ChangedBy(small, Pattern(5000, 11)), Pattern(4000, 12)});
  // 120 sectors, which one FAT sector covers; 80000 more bytes need another.
  scenarios.push_back({"a change that needs a new FAT sector",
                       DocumentWithSummary(Pattern(4000, 10), 40000).Build().bytes,
                       Pattern(80000, 13)});
  return scenarios;
}

std::uint32_t FatSectors(const std::string& document) {
  return LoadU32(document, fixture::kHeaderFatSectors);
}

// What a crash in the middle of writing the document leaves: the document
// part written, and its journal.
std::string LeftByACrash(const std::string& path, const Scenario& scenario) {
  FaultySystemCalls crash;
  crash.Break({.n = 2, .fault = Fault::kCrash, .call = Call::kWriteAt, .file = "/doc.doc"});
  fixture::WriteWholeFile(path, scenario.before);
  Opened opened = OpenDocument(path);
  ScopedSystemCalls scoped(crash);
  EXPECT_THROW(
      opened.file->ReplaceStream(*opened.file->FindRootStream(kSummary16), scenario.content),
      fixture::SimulatedCrash);
  return ReadWholeFile(path);
}

TEST(CrashSafetyTest, TheScenariosDoWhatTheySay) {
  const std::vector<Scenario> scenarios = Scenarios();
  const auto summarySize = [](const std::string& document) {
    fixture::ScratchDir dir;
    Opened opened = OpenDocument(dir.Put("d.doc", document));
    std::string bytes;
    EXPECT_EQ(opened.file->ReadStream(*opened.file->FindRootStream(kSummary16), bytes), S_OK);
    return bytes.size();
  };
  EXPECT_LT(summarySize(scenarios[1].before), kMiniStreamCutoff);
  EXPECT_GE(summarySize(scenarios[2].before), kMiniStreamCutoff);
  EXPECT_GT(scenarios[3].before.size(), File::kReadWholeUpTo);
  const std::string grown = ChangedBy(scenarios[3].before, scenarios[3].content);
  EXPECT_GT(FatSectors(grown), FatSectors(scenarios[3].before));
}

class EveryCutOffChange : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EveryCutOffChange, LeavesTheOriginalOrTheIntendedDocument) {
  const Scenario scenario = Scenarios()[GetParam()];
  FaultLoop loop(scenario);
  std::map<std::string, std::size_t> tried;
  std::size_t all = 0;
  for (std::size_t n = 1; n <= loop.calls().size(); ++n) {
    for (const FaultKind& kind : FaultKinds()) {
      if (!kind.appliesTo(loop.calls()[n - 1].call)) continue;
      loop.Try(n, kind);
      ++tried[kind.name];
      ++all;
      if (HasFatalFailure()) return;
    }
  }
  for (const Loss loss : {Loss::kLost, Loss::kGarbled, Loss::kPartlyKept}) {
    loop.TryPowerCutAfterSuccess(loss);
  }
  loop.CheckWithOlefile();
  std::cout << scenario.what << ": " << loop.calls().size() << " calls, fault points tried: " << all
            << " (";
  for (const auto& [name, count] : tried) std::cout << name << " " << count << "; ";
  std::cout << ")\n";
}

INSTANTIATE_TEST_SUITE_P(CrashSafetyTest, EveryCutOffChange, ::testing::Range<std::size_t>(0, 4));

// Rolling back can itself be cut off, at any call: the journal stays until
// the document is back and flushed, so the next open finishes the job.
TEST(CrashSafetyTest, EveryCutOffRollbackIsFinishedByTheNextOpen) {
  const Scenario scenario = Scenarios()[3];
  fixture::ScratchDir dir;
  const std::string path = (dir.path() / "doc.doc").string();
  const std::string journal = path + ".tavrin-journal";
  const std::string left = LeftByACrash(path, scenario);
  FaultySystemCalls counting;
  {
    ScopedSystemCalls scoped(counting);
    ASSERT_EQ(OpenDocument(path).hr, TAVRIN_S_ROLLEDBACK);
  }
  ASSERT_EQ(ReadWholeFile(path), scenario.before);
  const std::vector<FaultySystemCalls::Made> calls = counting.made();
  std::size_t tried = 0;
  for (std::size_t n = 1; n <= calls.size(); ++n) {
    for (const FaultKind& kind : FaultKinds()) {
      if (!kind.appliesTo(calls[n - 1].call)) continue;
      const std::string where = "call " + std::to_string(n) + " (" + CallName(calls[n - 1].call) +
                                " " + calls[n - 1].file + "), " + kind.name;
      ASSERT_EQ(LeftByACrash(path, scenario), left) << where;
      const std::unique_ptr<FaultySystemCalls> faults = kind.make(n);
      {
        ScopedSystemCalls scoped(*faults);
        try {
          static_cast<void>(OpenDocument(path));
        } catch (const fixture::SimulatedCrash&) {
        }
      }
      Opened reopened = OpenAgain(kind, path, left, where);
      ASSERT_TRUE(SUCCEEDED(reopened.hr)) << where << ": " << reopened.error;
      EXPECT_EQ(ReadWholeFile(path), scenario.before) << where;
      EXPECT_FALSE(std::filesystem::exists(journal)) << where;
      ++tried;
    }
  }
  std::cout << "rollback on open: " << calls.size() << " calls, fault points tried: " << tried
            << "\n";
}

}  // namespace
}  // namespace tavrin::storage
