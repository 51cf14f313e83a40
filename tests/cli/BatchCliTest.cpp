// tavrin-cli batch as scripts run it.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <thread>

#include "platform/CodePage.h"
#include "support/ExternalReaders.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

fixture::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), TAVRIN_CLI);
  fixture::ProcessOptions options;
  options.collectErrors = true;
  return fixture::RunProcess(args, options);
}

class BatchCliTest : public ::testing::Test {
 protected:
  std::string Document(const std::string& name) {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
    return testing::TestDocument(testing::SummaryWith("t", "someone", 1), docSummary)
        .WriteTo(dir, name);
  }
  std::string Shown(const std::string& path) { return Cli({"show", path}).output; }

  fixture::ScratchDir dir;
};

TEST_F(BatchCliTest, DefaultsFromTheFileAndTheCommandLineReachEveryFile) {
  std::string a = Document("a.doc"), b = Document("b.doc");
  // Line 3 holds "作成者", line 32 "会社名".
  std::string lines;
  for (int i = 1; i <= 36; ++i) {
    lines += i == 3 ? codepage::Cp932("既定の作成者") : i == 32 ? "Initech" : "";
    lines += "\r\n";
  }
  std::string defaults = dir.Put("tavrin.dat", lines);
  fixture::ProcessResult run =
      Cli({"batch", "--yes", "--wait", "0", "--defaults", defaults, "--select", "summary:author",
           "--set", "docsummary:company=Globex", a, b});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  for (const std::string& path : {a, b}) {
    std::string shown = Shown(path);
    EXPECT_NE(shown.find("作成者 = 既定の作成者\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("会社名 = Globex\n"), std::string::npos) << shown;
  }
}

TEST_F(BatchCliTest, AShortDefaultsFileIsReportedAndNothingIsWritten) {
  std::string a = Document("a.doc");
  std::string before = fixture::ReadWholeFile(a);
  std::string defaults = dir.Put("short.dat", "x\r\ny\r\n");
  fixture::ProcessResult run = Cli(
      {"batch", "--yes", "--wait", "0", "--defaults", defaults, "--select", "summary:title", a});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(
      run.errors.find("tavrin-cli: tavrin-cli: リストのインデックスが範囲を超えています (2)\n"),
      std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find(a + ": not processed\n"), std::string::npos) << run.errors;
  EXPECT_EQ(fixture::ReadWholeFile(a), before);
  EXPECT_EQ(Cli({"batch", "--wait", "soon", "--yes", a}).exitCode, 2);
  EXPECT_EQ(Cli({"batch", "--yes"}).exitCode, 2);
}

// A folder ends the window's batch there; the files after it are named as
// not processed, or with --keep-going are done all the same.
TEST_F(BatchCliTest, NothingIsSkippedInSilence) {
  std::string a = Document("a.doc"), b = Document("b.doc"), c = Document("c.doc");
  const std::string before = fixture::ReadWholeFile(b);
  const std::string folder = dir.path().string();
  const std::vector<std::string> args{"batch", "--yes",           "--wait", "0",
                                      "--set", "summary:title=x", a};
  std::vector<std::string> stopping = args;
  stopping.insert(stopping.end(), {folder, b, c});
  fixture::ProcessResult stopped = Cli(stopping);
  EXPECT_EQ(stopped.exitCode, 1);
  EXPECT_EQ(stopped.errors.rfind(folder + ": tavrin-cli: ", 0), 0u) << stopped.errors;
  EXPECT_NE(stopped.errors.find("\n" + b + ": not processed\n" + c + ": not processed\n"),
            std::string::npos)
      << stopped.errors;
  EXPECT_NE(Shown(a).find("タイトル = x\n"), std::string::npos);
  EXPECT_EQ(fixture::ReadWholeFile(b), before);

  // The same run in JSON: one entry for each file, with its status.
  std::vector<std::string> json = stopping;
  json.insert(json.begin() + 1, "--json");
  EXPECT_EQ(fixture::PythonOver(Cli(json).output,
                                "import json,sys\n"
                                "for f in json.load(open(sys.argv[1]))['files']:\n"
                                "  print(f['status'], [r['reason'] for r in f['rows'] if not "
                                "r['stored']])\n"),
            "unchanged ['same']\nfailed ['set-failed']\nnot-processed []\nnot-processed []\n");

  std::vector<std::string> going = stopping;
  going.insert(going.begin() + 1, "--keep-going");
  fixture::ProcessResult went = Cli(going);
  EXPECT_EQ(went.exitCode, 1);
  EXPECT_EQ(went.errors.find("not processed"), std::string::npos) << went.errors;
  EXPECT_NE(Shown(c).find("タイトル = x\n"), std::string::npos);
}

// Ctrl-C finishes the file being written, names the files left, and leaves
// every file either as it was or wholly changed.
TEST_F(BatchCliTest, AnInterruptStopsBetweenFiles) {
  std::vector<std::string> files;
  for (const char* name : {"a.doc", "b.doc", "c.doc", "d.doc"}) files.push_back(Document(name));
  const std::string before = fixture::ReadWholeFile(files[0]);
  std::vector<std::string> args{TAVRIN_CLI, "batch", "--yes",          "--wait",
                                "300",      "--set", "summary:title=x"};
  args.insert(args.end(), files.begin(), files.end());
  fixture::ProcessOptions options;
  options.collectErrors = true;
  int pid = -1;
  options.pid = &pid;
  // Once the first file has been written the batch is pausing before the
  // second.
  options.started = [&] {
    while (fixture::ReadWholeFile(files[0]) == before) std::this_thread::yield();
    kill(pid, SIGINT);
  };
  fixture::ProcessResult run = fixture::RunProcess(args, options);
  EXPECT_EQ(run.exitCode, 130) << run.errors;
  EXPECT_NE(Shown(files[0]).find("タイトル = x\n"), std::string::npos);
  EXPECT_NE(run.errors.find(files[3] + ": not processed\n"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("interrupted"), std::string::npos) << run.errors;
  EXPECT_EQ(fixture::ReadWholeFile(files[3]), before);
  for (const std::string& file : files) {
    const bool changed = fixture::ReadWholeFile(file) != before;
    EXPECT_EQ(changed, run.errors.find(file + ": not processed") == std::string::npos) << file;
    EXPECT_FALSE(std::filesystem::exists(file + ".tavrin-journal")) << file;
  }
}

}  // namespace
}  // namespace tavrin
