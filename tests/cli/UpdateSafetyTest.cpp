// tavrin-cli update as a real process meets what a desktop throws at it:
// killed at any moment, or racing another update of the same document. The
// document is always byte for byte what it was or what one update made it,
// never a mix, and a journal a kill left is rolled back by the next open.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "platform/storage/CompoundFile.h"
#include "platform/storage/Journal.h"
#include "platform/storage/zip/Archive.h"
#include "storage/zip/ZipFixture.h"
#include "support/ExternalReaders.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

using Clock = std::chrono::steady_clock;
using fixture::ReadWholeFile;

// Two titles of one length, so that each update rewrites the summary in
// place and the document moves between a few states only.
const std::string kTitles[] = {"title one", "title two"};

pid_t Spawn(std::vector<std::string> args, const std::string& output);

// Starts `tavrin-cli update PATH --set summary:title=TITLE --yes` with its
// messages going to `output` (or nowhere).
pid_t StartUpdate(const std::string& path, const std::string& title,
                  const std::string& output = "/dev/null") {
  return Spawn({TAVRIN_CLI, "update", path, "--set", "summary:title=" + title, "--yes"}, output);
}

// Starts a change of a package's docProps/core.xml to `content`.
pid_t StartPackageWrite(const std::string& path, const std::string& content,
                        const std::string& output = "/dev/null") {
  return Spawn({TAVRIN_ZIP_WRITE, path, "docProps/core.xml", content}, output);
}

pid_t Spawn(std::vector<std::string> args, const std::string& output) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t child = -1;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(spawned, 0);
  return spawned == 0 ? child : -1;
}

// The exit code, or -1 for a process a signal ended.
int Wait(pid_t child) {
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class UpdateSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
    original =
        testing::TestDocument(testing::SummaryWith("title zero", "me", 4), docSummary).Bytes();
    path = dir.Put("doc.doc", original);
    journal = path + ".tavrin-journal";
  }

  using Starter = pid_t (*)(const std::string& path, const std::string& title,
                            const std::string& output);

  // What an update that runs to its end makes of `before`.
  const std::string& Updated(const std::string& before, const std::string& title,
                             Starter starter = StartUpdate) {
    auto found = updated_.find({before, title});
    if (found != updated_.end()) return found->second;
    const std::string scratch = dir.Put("clean.doc", before);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(Wait(starter(scratch, title, "/dev/null")), 0);
    longest_ = std::max(longest_, Clock::now() - start);
    return updated_[{before, title}] = ReadWholeFile(scratch);
  }

  // Opens the document as every open does, rolling back what a kill left,
  // and reads both property-set streams; tells whether it rolled back.
  void OpenAndRead(const std::string& where, bool& rolledBack) {
    const bool journalLeft = std::filesystem::exists(journal);
    std::unique_ptr<storage::CompoundFile> file;
    std::string error;
    const HRESULT opened = storage::CompoundFile::Open(path, file, &error);
    rolledBack = opened == TAVRIN_S_ROLLEDBACK;
    ASSERT_TRUE(opened == S_OK || (journalLeft && rolledBack)) << where << ": " << error;
    for (const std::u16string name : {u"\x0005SummaryInformation",
                                      u"\x0005"
                                      u"DocumentSummaryInformation"}) {
      std::string bytes;
      EXPECT_EQ(file->ReadStream(*file->FindRootStream(name), bytes), S_OK) << where;
    }
  }

  // The same for a package: its recovery, its archive and every member.
  void OpenAndReadPackage(const std::string& where, bool& rolledBack) {
    const bool journalLeft = std::filesystem::exists(journal);
    std::unique_ptr<storage::File> file;
    std::unique_ptr<storage::zip::Archive> archive;
    ASSERT_TRUE(storage::File::Open(path, file).ok()) << where;
    const storage::Status recovered = storage::RecoverDocument(*file);
    rolledBack = recovered.code() == TAVRIN_S_ROLLEDBACK;
    ASSERT_TRUE(recovered.code() == S_OK || (journalLeft && rolledBack))
        << where << ": " << recovered.text();
    const storage::Status opened = storage::zip::Archive::Open(*file, archive);
    ASSERT_TRUE(opened.ok()) << where << ": " << opened.text();
    for (const storage::zip::Member& member : archive->members()) {
      std::string content;
      EXPECT_TRUE(archive->Read(member, 1 << 20, content).ok()) << where << ": " << member.name;
    }
  }

  fixture::ScratchDir dir;
  std::string original, path, journal;
  Clock::duration longest_{};

 private:
  std::map<std::pair<std::string, std::string>, std::string> updated_;
};

TEST_F(UpdateSafetyTest, AKilledUpdateNeverLeavesADamagedDocument) {
  struct Case {
    const char* what;
    std::string name;      // of the document
    std::string original;  // its bytes
    // The two changes the kills alternate between.
    std::vector<std::string> titles;
    Starter start;
    bool package;  // read back as a package, else as a compound document
    int kills;
    std::chrono::seconds budget;
  };
  std::string noise;
  for (int i = 0; i < 3000; ++i) noise += static_cast<char>('!' + (i * 7919) % 89);
  const std::string package = storage::zip::fixture::BuildZip(
      dir.Put("built.docx", ""),
      "z.writestr('[Content_Types].xml', '<Types>' + 'type ' * 200 + '</Types>')\n"
      "z.writestr('docProps/core.xml', '<core>' + 'Author: Someone ' * 20 + '</core>')\n"
      "z.writestr('word/document.xml', '<doc>' + 'body ' * 20000 + '</doc>')\n");
  const std::vector<Case> cases = {
      {"compound document, tavrin-cli update", "doc.doc", original,
       std::vector<std::string>(std::begin(kTitles), std::end(kTitles)), StartUpdate, false, 300,
       std::chrono::seconds(35)},
      // The first change grows the member and shifts what follows it; the
      // ones after it fit in place.
      {"package, docProps/core.xml",
       "doc.docx",
       package,
       {"<core>" + noise + "</core>", "<core>short</core>"},
       StartPackageWrite,
       true,
       200,
       std::chrono::seconds(20)},
  };
  for (const Case& c : cases) {
    path = dir.Put(c.name, c.original);
    journal = path + ".tavrin-journal";
    longest_ = {};
    for (const std::string& title : c.titles) Updated(c.original, title, c.start);
    // Delays from nothing to a little more than the longest whole update.
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(longest_ * 5 / 4);
    std::mt19937 random(20240917);
    std::uniform_int_distribution<std::int64_t> delay(0, span.count());
    int kills = 0, finished = 0, journalsLeft = 0, changed = 0;
    const Clock::time_point start = Clock::now();
    for (; kills < c.kills && Clock::now() - start < c.budget; ++kills) {
      const std::string& title = c.titles[static_cast<std::size_t>(kills) % 2];
      const std::string before = ReadWholeFile(path);
      const std::string& after = Updated(before, title, c.start);
      const pid_t child = c.start(path, title, "/dev/null");
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
      kill(child, SIGKILL);
      if (Wait(child) == 0) ++finished;
      const std::string where = std::string(c.what) + ", kill " + std::to_string(kills);
      if (std::filesystem::exists(journal)) ++journalsLeft;
      bool rolledBack = false;
      if (c.package) {
        OpenAndReadPackage(where, rolledBack);
      } else {
        OpenAndRead(where, rolledBack);
      }
      if (HasFatalFailure()) return;
      const std::string now = ReadWholeFile(path);
      ASSERT_TRUE(now == before || now == after) << where << ": the document is neither";
      if (rolledBack) {
        EXPECT_TRUE(now == before) << where;
      }
      EXPECT_FALSE(std::filesystem::exists(journal)) << where;
      if (now == after) ++changed;
    }
    const std::chrono::duration<double> seconds = Clock::now() - start;
    std::cout << c.what << ": kills tried: " << kills << " in " << seconds.count()
              << " s (one update takes "
              << std::chrono::duration_cast<std::chrono::milliseconds>(longest_).count()
              << " ms); ran to the end: " << finished << "; changed: " << changed
              << "; journals left and rolled back: " << journalsLeft << "\n";
    EXPECT_GE(kills, 50) << c.what;
  }
}

TEST_F(UpdateSafetyTest, TwoUpdatesAtOnceLeaveOneResultNeverAMix) {
  const std::string one = Updated(original, kTitles[0]);
  const std::string two = Updated(original, kTitles[1]);
  // Either alone, both one after the other, or neither, when each found the
  // document held by the other at the moment it wrote.
  const std::set<std::string> results{one, two, Updated(one, kTitles[1]), Updated(two, kTitles[0]),
                                      original};
  // What a refused update prints: the document, and the file times it
  // tried to read and set, were held by the other.
  const std::set<std::string> refusals{
      path + ": tavrin-cli: Error StgOpenStorage / HResult = $80030020",
      path + ": tavrin-cli: Error CreateFile / HResult = $80070020"};
  const std::string outputs[] = {(dir.path() / "one.out").string(),
                                 (dir.path() / "two.out").string()};
  constexpr int kRuns = 30;
  std::map<std::string, int> endedAs;
  int refused = 0;
  for (int run = 0; run < kRuns; ++run) {
    fixture::WriteWholeFile(path, original);
    const pid_t first = StartUpdate(path, kTitles[0], outputs[0]);
    const pid_t second = StartUpdate(path, kTitles[1], outputs[1]);
    const int codes[] = {Wait(first), Wait(second)};
    const std::string where = "run " + std::to_string(run);
    for (int i = 0; i < 2; ++i) {
      const std::string printed = ReadWholeFile(outputs[i]);
      const bool quiet = printed.empty();
      EXPECT_EQ(codes[i], quiet ? 0 : 1) << where;
      if (!quiet) ++refused;
      // Every message it printed is a refusal.
      std::istringstream lines(printed);
      for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(refusals.count(line), 1u) << where << ": " << line;
      }
    }
    const std::string now = ReadWholeFile(path);
    ASSERT_EQ(results.count(now), 1u) << where << ": not the result of either";
    ++endedAs[now == original ? "unchanged"
              : now == one    ? "first title"
              : now == two    ? "second title"
                              : "both, one after the other"];
    EXPECT_FALSE(std::filesystem::exists(journal)) << where;
  }
  std::cout << "two-process runs: " << kRuns
            << "; processes refused the document at some step: " << refused << "; ended as:";
  for (const auto& [name, count] : endedAs) std::cout << " " << name << " " << count << ";";
  std::cout << "\n";
}

}  // namespace
}  // namespace tavrin
