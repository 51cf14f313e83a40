// tavrin-cli update as its users run it: a separate process, with its
// standard input a terminal, nothing, or left alone under --yes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

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

// Last access before last write, as a file read since it was written has
// them on a file system that updates access times lazily: a read by the
// program would move the access time.
void SetTimes(const std::string& path) {
  const struct timespec times[2] = {{1000000000, 123456789}, {1500000000, 987654321}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The last-access and last-write times, to the nanosecond.
std::string TimesOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return "none";
  return std::to_string(info.st_atim.tv_sec) + "." + std::to_string(info.st_atim.tv_nsec) + " " +
         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
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
           // File lists and backups.
           {"update", "--yes", path, "--null", "--set", "summary:title=x"},
           {"update", "--yes", "--files-from", path + ".list", "--set", "summary:title=x"},
           {"update", "--yes", "-r", "--ext", "doc,", path, "--set", "summary:title=x"},
           {"update", "--yes", path, "--backup=old/", "--set", "summary:title=x"},
           {"show", "--csv", "--json", path},
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

// Every check runs and nothing is written; each selected row is told: what
// it would become, or why it would not be stored.
TEST_F(UpdateCliTest, ADryRunWritesNothingAndTellsWhatBecomesOfEachRow) {
  // A Western code page, a count held in 16 bits.
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(1, test::I2(1252)).Add(2, test::Lpstr("c")).Add(5, test::I2(3));
  docSummary.Add(15, test::Lpstr("ACME"));
  const std::string file = testing::TestDocument(testing::SummaryWith("title", "me", 4), docSummary)
                               .WriteTo(dir, "plan.doc");
  const std::string bytes = ReadWholeFile(file);
  // Set after the read above, and compared before the reads below: a
  // file system may count any read as an access.
  SetTimes(file);
  const std::string times = TimesOf(file);
  const std::vector<std::string> rows{"--set", "summary:title=new",
                                      "--set", "summary:subject=s",
                                      "--set", "summary:author=me",
                                      "--set", "docsummary:category=d",
                                      "--set", "docsummary:lines=70000",
                                      "--set", "docsummary:company=日本",
                                      "--set", "filetime:modified=2001/02/03 04:05:06"};
  std::vector<std::string> args{"update", "--dry-run", file};
  args.insert(args.end(), rows.begin(), rows.end());
  fixture::ProcessResult plan = Cli(args);
  // The code page refuses the whole set, so the file would fail.
  EXPECT_EQ(plan.exitCode, 1);
  EXPECT_EQ(plan.output.rfind("== " + file +
                                  "\nsummary:title: 'title' -> 'new'\n"
                                  "summary:subject: not stored: the document lacks this "
                                  "property, and none is added\n"
                                  "docsummary:category: not stored: its set was not written\n"
                                  "docsummary:lines: not stored: the property's type cannot "
                                  "hold the value, so it keeps its own\n"
                                  "docsummary:company: not stored: the set's code page cannot "
                                  "hold the text, so the set is not written\n"
                                  "filetime:modified: '",
                              0),
            0u)
      << plan.output;
  EXPECT_NE(plan.output.find("' -> '2001/02/03 04:05:06'\n"), std::string::npos) << plan.output;
  EXPECT_NE(plan.errors.find("(コードページ 1252) では保存できません"), std::string::npos)
      << plan.errors;
  EXPECT_EQ(TimesOf(file), times);
  EXPECT_EQ(ReadWholeFile(file), bytes);

  args.insert(args.begin() + 1, "--json");
  const std::string facts = fixture::PythonOver(
      Cli(args).output,
      "import json,sys\n"
      "d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
      "f=d['files'][0]\n"
      "print(d['dry_run'], f['status'], len(f['messages']))\n"
      "for r in f['rows']: print(r['alias'], r['key'], r['old'], r['new'], r['stored'],"
      " r.get('reason'))\n");
  EXPECT_EQ(facts.substr(0, facts.find("filetime")),
            // The refusal, and that the summary set alone would change.
            "True failed 2\n"
            "summary:title タイトル title new True None\n"
            "summary:subject 表題 None s False missing\n"
            "summary:author 作成者 me me False same\n"
            "docsummary:category カテゴリ c d False set-failed\n"
            "docsummary:lines 行数 3 70000 False type\n"
            "docsummary:company 会社名 ACME 日本 False code-page\n")
      << facts;
  EXPECT_EQ(ReadWholeFile(file), bytes);
}

// -P puts both times back to the nanosecond; --backup copies the file with
// its times before its first change, never over an existing backup, and
// not at all for a file that does not change.
TEST_F(UpdateCliTest, KeptTimesAndBackups) {
  SetTimes(path);
  const std::string times = TimesOf(path);
  fixture::ProcessResult kept =
      Cli({"update", "--yes", "-P", "--backup", path, "--set", "summary:title=kept"});
  EXPECT_EQ(kept.exitCode, 0) << kept.errors;
  // Times first: reading a file may count as an access.
  EXPECT_EQ(TimesOf(path), times);
  EXPECT_EQ(TimesOf(path + "~"), times);
  EXPECT_NE(Shown().find("タイトル = kept\n"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(path + "~"), before);

  const std::string changed = ReadWholeFile(path);
  fixture::ProcessResult refused =
      Cli({"update", "--yes", "--backup", path, "--set", "summary:title=again"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.errors.rfind(path + ": tavrin-cli: バックアップ " + path +
                                     "~ がすでにあるため、ファイルを変更しません\n",
                                 0),
            0u)
      << refused.errors;
  EXPECT_EQ(ReadWholeFile(path), changed);
  EXPECT_EQ(ReadWholeFile(path + "~"), before);
  fixture::ProcessResult same =
      Cli({"update", "--yes", "--backup=.bak", path, "--set", "summary:title=kept"});
  EXPECT_EQ(same.exitCode, 0) << same.errors;
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

  // The batch page's 更新日時を保持 does the same; a time that is selected
  // is set all the same.
  SetTimes(path);
  EXPECT_EQ(
      Cli({"batch", "--yes", "--wait", "0", "--keep-times", path, "--set", "summary:title=batch"})
          .exitCode,
      0);
  EXPECT_EQ(TimesOf(path), times);
  EXPECT_EQ(Cli({"batch", "--yes", "--wait", "0", "--keep-times", path, "--set",
                 "summary:title=dated", "--set", "filetime:modified=2001/02/03 04:05:06"})
                .exitCode,
            0);
  EXPECT_EQ(TimesOf(path).substr(0, times.find(' ')), times.substr(0, times.find(' ')));
  EXPECT_NE(Shown().find("更新日時 = 2001/02/03 04:05:06\n"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
