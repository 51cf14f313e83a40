// tavrin-cli update as its users run it: a separate process, with its
// standard input a terminal, nothing, or left alone under --yes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/CodePage.h"
#include "support/ExternalReaders.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

using codepage::Cp932;
using fixture::ReadWholeFile;
using fixture::RunProcess;

fixture::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), TAVRIN_CLI);
  fixture::ProcessOptions options;
  options.collectErrors = true;
  return RunProcess(args, options);
}

// Runs the program with `input` as its standard input (a terminal or
// /dev/null), writing `typed` to `terminal` (the terminal's other end, or
// -1) first.
fixture::ProcessResult CliWithInput(std::vector<std::string> args, int input, int terminal,
                                    const std::string& typed) {
  args.insert(args.begin(), TAVRIN_CLI);
  fixture::ProcessOptions options;
  options.input = input;
  options.started = [&] {
    if (terminal >= 0) {
      EXPECT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }
  };
  return RunProcess(args, options);
}

// A terminal of our own: the program reads what the test types.
class Terminal {
 public:
  Terminal() {
    controller_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller_ >= 0 && grantpt(controller_) == 0 && unlockpt(controller_) == 0) {
      device_ = open(ptsname(controller_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
  }
  ~Terminal() {
    if (device_ >= 0) close(device_);
    if (controller_ >= 0) close(controller_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  bool Ready() const { return device_ >= 0; }
  fixture::ProcessResult Run(const std::vector<std::string>& args, const std::string& typed) {
    return CliWithInput(args, device_, controller_, typed);
  }

 private:
  int controller_ = -1;
  int device_ = -1;
};

class UpdateCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
    path = testing::TestDocument(testing::SummaryWith("title", "me", 4), docSummary)
               .WriteTo(dir, "doc.doc");
    before = ReadWholeFile(path);
  }
  std::string Shown() { return Cli({"show", path}).output; }

  fixture::ScratchDir dir;
  std::string path, before;
};

TEST_F(UpdateCliTest, NamedRowsTakeTheirValuesByJapaneseNameOrAlias) {
  fixture::ProcessResult result =
      Cli({"update", path, "--set", "summary:タイトル=日本語の題名", "--set",
           "docsummary:Company=Initech", "--set=summary:pages=12", "--set",
           "filetime:modified=2001/02/03 04:05:06", "--yes"});
  EXPECT_EQ(result.exitCode, 0) << result.errors;
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(result.errors, "");
  const std::string shown = Shown();
  for (const char* row : {"タイトル = 日本語の題名\n", "会社名 = Initech\n", "ページ数 = 12\n",
                          "作成者 = me\n", "更新日時 = 2001/02/03 04:05:06\n"}) {
    EXPECT_NE(shown.find(row), std::string::npos) << row;
  }
}

TEST_F(UpdateCliTest, OnlyTheNamedRowsAreSelected) {
  // The form selects the two author rows by default; the command line must
  // not write what the file showed back in their place, nor anything else.
  fixture::ProcessResult result = Cli({"update", "--yes", path, "--select", "summary:author"});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(ReadWholeFile(path), before);
  fixture::ProcessResult checked = Cli({"update", "--yes", path, "--set", "summary:pages=x"});
  EXPECT_EQ(checked.exitCode, 1);
  EXPECT_EQ(checked.output, "");
  EXPECT_EQ(checked.errors, path + ": tavrin-cli: ページ数は数値でなければなりません\n");
  EXPECT_EQ(ReadWholeFile(path), before);
}

// Several files are each changed on a form of their own; a file that fails
// is named in its message and makes the status 1, a note does not.
TEST_F(UpdateCliTest, EachOfSeveralFilesIsDoneAndNamed) {
  const std::string second = dir.Put("second.doc", before);
  const std::string gone = (dir.path() / "gone.doc").string();
  fixture::ProcessResult result =
      Cli({"update", "--yes", path, gone, second, "--set", "summary:title=both"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errors.rfind(gone + ": tavrin-cli: ", 0), 0u) << result.errors;
  EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
  for (const std::string& file : {path, second}) {
    EXPECT_NE(Cli({"show", file}).output.find("タイトル = both\n"), std::string::npos) << file;
  }
  // Setting the creation time says where the file system cannot; the file
  // is done all the same.
  fixture::ProcessResult created =
      Cli({"update", "--yes", path, "--set", "filetime:created=2001/02/03 04:05:06"});
  if (created.errors.empty()) GTEST_SKIP() << "this file system sets creation times";
  EXPECT_EQ(created.errors,
            path + ": tavrin-cli: このファイルシステムでは作成日時を変更できません\n");
  EXPECT_EQ(created.exitCode, 0);
}

TEST_F(UpdateCliTest, WithoutYesItAsksOnTheTerminalAndRefusesWithoutOne) {
  const std::vector<std::string> args{"update", path, "--set", "summary:title=asked"};
  const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  fixture::ProcessResult refused = CliWithInput(args, nothing, -1, "");
  close(nothing);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(ReadWholeFile(path), before);

  Terminal terminal;
  if (!terminal.Ready()) GTEST_SKIP() << "no pseudo-terminal here";
  fixture::ProcessResult no = terminal.Run(args, "n\n");
  EXPECT_EQ(no.exitCode, 1);
  EXPECT_EQ(ReadWholeFile(path), before);
  fixture::ProcessResult yes = terminal.Run(args, "y\n");
  EXPECT_EQ(yes.exitCode, 0) << yes.output;
  EXPECT_NE(Shown().find("タイトル = asked\n"), std::string::npos);
}

TEST_F(UpdateCliTest, UsageErrorsChangeNothing) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"update", "--yes"},
           {"update", "--yes", path, "--set", "summary:nothing=1"},
           {"update", "--yes", path, "--set", "summary:title"},
           {"update", "--yes", path, "--set", "title=x"},
           {"update", "--yes", path, "--select", "summary:thumbnail"},
           {"update", "--yes", path, "--select", "docsummary:HeadingPairs"},
           {"update", "--yes", path, "--set", "summary:title=a", "--select", "summary:タイトル"},
           {"update", "--yes", path, "--set", "summary:title=\xF0\x9F\x98\x80"},
           {"update", "--yes", path, "--frobnicate"},
           // What no editor of the window could be left holding.
           {"update", "--yes", path, "--set", "summary:edit-time=01:02:03 & -001日"},
           {"update", "--yes", path, "--set", "summary:created=2024/1/2 03:04:05"},
           {"update", "--yes", path, "--set", "filetime:modified="},
           {"update", "--yes", path, "--set", "summary:security=12"},
           {"batch", "--yes", path, "--set", "summary:last-printed=2024-01-02 03:04:05"},
       }) {
    EXPECT_EQ(Cli(args).exitCode, 2) << args.back();
  }
  EXPECT_EQ(ReadWholeFile(path), before);
  const std::string help = Cli({"--help"}).output;
  for (const char* text :
       {"tavrin-cli update [--set ROW=VALUE]", "tavrin-cli batch [--defaults ファイル.dat]",
        "--keep-going", "130 when interrupted", "summary:author", "summary:作成者",
        "filetime:modified", "docsummary:company", "update はウィンドウ"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace tavrin
