// Every way a change to a package can be cut off, as for compound files:
// each system call the change makes, in turn, fails, falls short, stops dead
// or meets a power cut. The next open leaves the package byte for byte as it
// was or as intended, and Python's zipfile reads both.

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>

#include "storage/zip/ZipFixture.h"
#include "support/FaultKinds.h"

namespace tavrin::storage::zip {
namespace {

using tavrin::fixture::Call;
using tavrin::fixture::CallName;
using tavrin::fixture::FaultKind;
using tavrin::fixture::FaultySystemCalls;
using tavrin::fixture::Loss;
using tavrin::fixture::ReadWholeFile;
using tavrin::fixture::ScratchDir;
using tavrin::fixture::WriteWholeFile;

struct Scenario {
  const char* what;
  std::vector<Archive::Change> changes;
  bool inPlace;
};

// Past 32 KiB, so that the change's reads go to the file too.
const std::string kPackage =
    "z.writestr('[Content_Types].xml', '<Types>' + 'type ' * 200 + '</Types>')\n"
    "z.writestr('docProps/core.xml', '<core>' + 'Author: Someone ' * 20 + '</core>')\n"
    "import random\n"
    "random.seed(7)\n"
    "z.writestr('word/media/image.bin', bytes(random.randrange(256) for _ in range(40000)))\n"
    "z.writestr('word/document.xml', '<doc>' + 'body ' * 2000 + '</doc>')\n";

std::vector<Scenario> Scenarios() {
  std::string grown;
  for (int i = 0; i < 3000; ++i) grown += static_cast<char>('!' + (i * 7919) % 89);
  return {
      {"a shorter core.xml, in place", {{"docProps/core.xml", "<core>Author: S</core>"}}, true},
      {"a core.xml that grows, shifting the rest", {{"docProps/core.xml", grown}}, false},
      {"a new member", {{"docProps/custom.xml", "<Properties/>"}}, false},
  };
}

class PackageFaultLoop {
 public:
  PackageFaultLoop(const Scenario& scenario, const std::string& before)
      : scenario_(scenario), before_(before) {
    std::filesystem::create_directory(dir_.path() / "intended");
    const std::string intended = (dir_.path() / "intended" / "doc.docx").string();
    WriteWholeFile(intended, before);
    FaultySystemCalls counting;
    {
      auto package = fixture::Open(intended);
      EXPECT_TRUE(package.status.ok()) << package.status.text();
      ScopedSystemCalls scoped(counting);
      const Status written = package.archive->Write(*package.file, scenario.changes);
      EXPECT_TRUE(written.ok()) << written.text();
    }
    intendedBytes_ = ReadWholeFile(intended);
    EXPECT_EQ(intendedBytes_.size() == before.size(), scenario.inPlace) << scenario.what;
    EXPECT_EQ(fixture::PythonTestZip(intended), "OK") << scenario.what;
    calls_ = counting.made();
    for (std::size_t i = 0; i < calls_.size(); ++i) {
      if (calls_[i].call == Call::kUnlink) commitPoint_ = i + 1;
    }
    EXPECT_GT(commitPoint_, 0u) << scenario.what;
  }

  const std::vector<FaultySystemCalls::Made>& calls() const { return calls_; }

  void Try(std::size_t n, const FaultKind& kind) {
    const std::string path = (dir_.path() / "doc.docx").string();
    const std::string journal = path + ".tavrin-journal";
    WriteWholeFile(path, before_);
    std::filesystem::remove(journal);
    const std::unique_ptr<FaultySystemCalls> faults = kind.make(n);
    Status written;
    bool crashed = false;
    {
      auto package = fixture::Open(path);
      ASSERT_TRUE(package.status.ok()) << package.status.text();
      ScopedSystemCalls scoped(*faults);
      try {
        written = package.archive->Write(*package.file, scenario_.changes);
        // A failure that touched the file leaves the Archive to be reopened.
        if (!written.ok() && ReadWholeFile(path) != before_) {
          std::string content;
          EXPECT_EQ(package.archive->Read(package.archive->members()[0], 1 << 20, content).code(),
                    STG_E_REVERTED);
        }
      } catch (const tavrin::fixture::SimulatedCrash&) {
        crashed = true;
      }
      crashed = crashed || faults->crashed();
    }
    const FaultySystemCalls::Made& call = calls_[n - 1];
    const std::string where = std::string(scenario_.what) + ", call " + std::to_string(n) + " (" +
                              CallName(call.call) + " " + call.file + "), " + kind.name;
    HRESULT recovered = S_OK;
    {
      SystemCalls real;
      tavrin::fixture::RestartedSystemCalls restarted;
      ScopedSystemCalls scoped(kind.restarts ? restarted : real);
      auto reopened = fixture::Open(path);
      if (reopened.recovered == TAVRIN_E_UNUSABLEJOURNAL && kind.garbles) {
        // Noise where the journal's first write went: no journal of ours,
        // and the change had not begun.
        EXPECT_EQ(ReadWholeFile(path), before_) << where;
        reopened = {};
        std::filesystem::remove(journal);
        reopened = fixture::Open(path);
      }
      ASSERT_TRUE(reopened.status.ok()) << where << ": " << reopened.status.text();
      recovered = reopened.recovered;
    }
    const std::string after = ReadWholeFile(path);
    const bool original = after == before_;
    const bool intended = after == intendedBytes_;
    ASSERT_TRUE(original || intended) << where << ": the package is neither";
    if (recovered == TAVRIN_S_ROLLEDBACK) {
      EXPECT_TRUE(original) << where;
    }
    EXPECT_FALSE(std::filesystem::exists(journal)) << where;
    if (!crashed) {
      if (written.ok()) {
        EXPECT_TRUE(intended) << where << ": succeeded but not written";
      }
      if (!written.ok() && n < commitPoint_) {
        EXPECT_TRUE(original) << where << ": failed but changed";
      }
    }
  }

 private:
  const Scenario& scenario_;
  std::string before_;
  ScratchDir dir_;
  std::string intendedBytes_;
  std::vector<FaultySystemCalls::Made> calls_;
  std::size_t commitPoint_ = 0;
};

TEST(ZipCrashSafetyTest, EveryCutOffChangeLeavesTheOriginalOrTheIntendedPackage) {
  ScratchDir dir;
  const std::string before = fixture::BuildZip(dir.Put("built.docx", ""), kPackage);
  ASSERT_GT(before.size(), File::kReadWholeUpTo);
  for (const Scenario& scenario : Scenarios()) {
    PackageFaultLoop loop(scenario, before);
    std::size_t tried = 0;
    for (std::size_t n = 1; n <= loop.calls().size(); ++n) {
      for (const FaultKind& kind : tavrin::fixture::FaultKinds()) {
        if (!kind.appliesTo(loop.calls()[n - 1].call)) continue;
        loop.Try(n, kind);
        ++tried;
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
    std::cout << scenario.what << ": " << loop.calls().size()
              << " calls, fault points tried: " << tried << "\n";
  }
}

}  // namespace
}  // namespace tavrin::storage::zip
