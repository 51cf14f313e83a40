// The command-line front end as its users run it: a separate process, its
// output and its exit status.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/CodePage.h"
#include "support/ExternalReaders.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

using fixture::RunProcess;

fixture::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), TAVRIN_CLI);
  fixture::ProcessOptions options;
  options.collectErrors = true;
  return RunProcess(args, options);
}

// Checks a JSON document with an independent parser and prints facts about it.
std::string JsonFacts(const std::string& json) {
  fixture::ScratchDir dir;
  std::string path = dir.Put("out.json", json);
  return RunProcess({"/usr/bin/python3", "-c",
                     "import json,sys\n"
                     "d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                     "for f in d['files']:\n"
                     "  g=f['grids']\n"
                     "  print(f['path'] and f['path'].rsplit('/',1)[-1],"
                     " bytes.fromhex(f['path_bytes']).rsplit(b'/',1)[-1],"
                     " g['summary'][2]['alias'], g['filetime'][1]['alias'], len(g['summary']), "
                     "len(g['docsummary']),"
                     " len(g['filetime']), g['summary'][0]['key'], g['summary'][0]['value'],"
                     " g['summary'][0].get('hex'), [m['caption']+':'+repr(m['text']) for m in "
                     "f['messages']])\n",
                     path})
      .output;
}

class TavrinCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
    full = testing::TestDocument(testing::SummaryWith(codepage::Cp932("題名"), "me", 4), docSummary)
               .WriteTo(dir, "full.doc");
    summaryOnly =
        testing::TestDocument(testing::SummaryWith("other", "you", 1)).WriteTo(dir, "half.doc");
  }
  fixture::ScratchDir dir;
  std::string full, summaryOnly;
};

TEST_F(TavrinCliTest, ShowsEachFileOnAFormOfItsOwn) {
  fixture::ProcessResult ok = Cli({"show", full});
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_NE(ok.output.find("== " + full + "\n[summary]\nタイトル = 題名\n"), std::string::npos);
  EXPECT_NE(ok.output.find("会社名 = ACME\n"), std::string::npos);
  EXPECT_EQ(ok.errors, "");

  // The second file has no Document Summary set: its rows must not show the
  // first file's company. It was read all the same: that is no failure.
  fixture::ProcessResult both = Cli({"show", full, summaryOnly});
  EXPECT_EQ(both.exitCode, 0);
  std::string second = both.output.substr(both.output.find("== " + summaryOnly));
  EXPECT_EQ(second.find("ACME"), std::string::npos);
  EXPECT_EQ(both.errors,
            summaryOnly + ": tavrin-cli: Error PropSetStg.Open / HResult = $80030002\n");
}

TEST_F(TavrinCliTest, JsonIsOneDocumentWithExactMessagesAndOptionalBytes) {
  fixture::ProcessResult json = Cli({"show", "--json", full, summaryOnly});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.errors, "");
  EXPECT_EQ(JsonFacts(json.output),
            "full.doc b'full.doc' summary:author filetime:modified 18 15 3 タイトル 題名 None []\n"
            "half.doc b'half.doc' summary:author filetime:modified 18 15 3 タイトル other None "
            "[\"tavrin-cli:'Error PropSetStg.Open\\\\r\\\\nHResult = $80030002'\"]\n");
  fixture::ProcessResult hex = Cli({"show", "--json", "--hex", full});
  EXPECT_EQ(hex.exitCode, 0);
  EXPECT_EQ(JsonFacts(hex.output),
            "full.doc b'full.doc' summary:author filetime:modified 18 15 3 タイトル 題名 91E896BC "
            "[]\n");
}

// A name is any byte sequence: it comes back whole in JSON and cannot forge a
// line or a terminal sequence in text.
TEST_F(TavrinCliTest, NamesOfAnyBytesSurvive) {
  const std::string odd = (dir.path() / "a\nb\x1b\\\xff.doc").string();
  std::filesystem::copy_file(full, odd);
  const std::string escaped = (dir.path() / "a\\nb\\x1b\\\\\xff.doc").string();
  fixture::ProcessResult text = Cli({"show", odd, odd + "x"});
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_EQ(text.output.rfind("== " + escaped + "\n[summary]\n", 0), 0u) << text.output;
  EXPECT_NE(text.output.find("== " + escaped + "x\n"), std::string::npos);
  EXPECT_EQ(text.errors.rfind(escaped + "x: tavrin-cli: ", 0), 0u) << text.errors;
  EXPECT_EQ(std::count(text.errors.begin(), text.errors.end(), '\n'), 1);
  fixture::ProcessResult json = Cli({"show", "--json", odd});
  EXPECT_EQ(json.exitCode, 0);
  EXPECT_EQ(JsonFacts(json.output).substr(0, 26), "None b'a\\nb\\x1b\\\\\\xff.doc'");
}

TEST_F(TavrinCliTest, UsageErrorsAreStatusTwoAndHelpIsBilingual) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"list"},
                                             {"show"},
                                             {"show", "--hex", full},
                                             {"show", "--frobnicate", full},
                                             {"show", "--jobs", "0", full},
                                             {"show", "--jobs", "2x", full},
                                             {"show", full, "--jobs"}}) {
    EXPECT_EQ(Cli(args).exitCode, 2);
  }
  // Options are read in the GNU manner: an operand after "=", and an
  // unknown option named.
  const fixture::ProcessResult jobs = Cli({"show", "--jobs=2", full});
  EXPECT_EQ(jobs.exitCode, 0) << jobs.errors;
  EXPECT_EQ(jobs.output.rfind("== " + full + "\n", 0), 0u);
  EXPECT_NE(Cli({"show", "--frobnicate", full}).errors.find("'--frobnicate'"), std::string::npos);
  EXPECT_NE(Cli({"batch", "--yes", "--jobs=2", full}).errors.find("'--jobs' for batch"),
            std::string::npos);
  fixture::ProcessResult help = Cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("Usage: tavrin-cli show"), std::string::npos);
  EXPECT_NE(help.output.find("使い方"), std::string::npos);
  fixture::ProcessResult missing = Cli({"show", "--", (dir.path() / "-gone.doc").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.errors.find("-gone.doc: tavrin-cli: "), std::string::npos);
  EXPECT_NE(missing.errors.find("ファイルが見つかりません"), std::string::npos);
}

// The version the build was made with, as the About box shows it.
TEST_F(TavrinCliTest, VersionIsTheBuildsOwn) {
  fixture::ProcessResult version = Cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, std::string("tavrin-cli ") + TAVRIN_PROJECT_VERSION + "\n");
}

// Files shown at once print as they would one at a time, in the order given,
// even when one file comes under several names in a row, and a file in use
// elsewhere still says so.
TEST_F(TavrinCliTest, ShowingManyAtOnceChangesNothingButTheTime) {
  const std::string link = (dir.path() / "link.doc").string();
  std::filesystem::create_symlink(full, link);
  const std::string plain = dir.Put("plain.txt", "not a document");
  std::vector<std::string> args{"show"};
  for (int i = 0; i < 12; ++i) {
    for (const std::string& file : {full, link, full, summaryOnly, plain}) args.push_back(file);
  }
  std::vector<std::string> alone = args;
  alone.insert(alone.begin() + 1, {"--jobs", "1"});
  std::vector<std::string> together = args;
  together.insert(together.begin() + 1, {"--jobs", "4"});
  // Reading a new file moves its last-access time once; that settles first.
  Cli(alone);
  const fixture::ProcessResult one = Cli(alone);
  EXPECT_EQ(one.output.find("使用中"), std::string::npos);
  for (int run = 0; run < 5; ++run) {
    const fixture::ProcessResult many = Cli(together);
    EXPECT_EQ(many.exitCode, one.exitCode);
    EXPECT_EQ(many.output, one.output);
  }
  std::vector<std::string> json = together;
  json.insert(json.begin() + 1, "--json");
  std::vector<std::string> jsonAlone = alone;
  jsonAlone.insert(jsonAlone.begin() + 1, "--json");
  EXPECT_EQ(Cli(json).output, Cli(jsonAlone).output);
}

// The files of a run from a list (lines, or NUL-separated names on
// standard input) or a folder walked for the document extensions; shown as
// CSV that a spreadsheet program and Python's csv module read alike.
TEST_F(TavrinCliTest, FileListsAndCsv) {
  const std::filesystem::path tree = dir.path() / "tree";
  std::filesystem::create_directories(tree / "sub");
  const std::string document = fixture::ReadWholeFile(full);
  const std::string quoted = testing::TestDocument(testing::SummaryWith("a, \"b\"\nc", "me", 1))
                                 .WriteTo(dir, "quoted.doc");
  std::filesystem::copy_file(quoted, tree / "a.doc");
  for (const char* name : {"sub/b.xls", "sub/C.PPT", "notes.txt", "odd\nname.doc"}) {
    std::filesystem::copy_file(full, tree / name);
  }
  const std::string csvFacts =
      "import csv,sys\n"
      "raw=open(sys.argv[1],'rb').read()\n"
      "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
      "print(raw[:3]==b'\\xef\\xbb\\xbf', rows[0][:3], len(set(map(len,rows))))\n"
      "for r in rows[1:]: print(r[0].rsplit('/',1)[-1], repr(r[1]), r[rows[0].index("
      "'docsummary:company')])\n";
  fixture::ProcessResult walked = Cli({"show", "--csv", "-r", tree.string()});
  EXPECT_EQ(walked.exitCode, 0) << walked.errors;
  // Folders first, then files, by name without regard to case.
  EXPECT_EQ(fixture::PythonOver(walked.output, csvFacts),
            "True ['path', 'summary:title', 'summary:subject'] 1\n"
            "b.xls '題名' ACME\nC.PPT '題名' ACME\n"
            "a.doc 'a, \"b\"\\nc' \n"
            "odd\\nname.doc '題名' ACME\n");
  EXPECT_EQ(Cli({"show", "-r", "--ext", "ppt,.XLS", tree.string()}).output.find("a.doc"),
            std::string::npos);

  // A line each, or NUL after each name, where a name may hold a line break.
  const std::string odd = (tree / "odd\nname.doc").string();
  const std::string list = dir.Put("list", (tree / "a.doc").string() + "\n" + summaryOnly + "\n");
  const std::string names = dir.Put("names", odd + '\0' + (tree / "sub/b.xls").string() + '\0');
  fixture::ProcessResult listed = Cli({"show", "--files-from", list});
  EXPECT_EQ(listed.output.find("== " + (tree / "a.doc").string() + "\n"), 0u) << listed.output;
  EXPECT_NE(listed.output.find("\n== " + summaryOnly + "\n"), std::string::npos);
  fixture::ProcessOptions fromInput;
  fromInput.input = open(names.c_str(), O_RDONLY | O_CLOEXEC);
  fixture::ProcessResult piped =
      RunProcess({TAVRIN_CLI, "show", "--files-from", "-", "--null", "-q"}, fromInput);
  close(fromInput.input);
  EXPECT_EQ(piped.exitCode, 0);
  EXPECT_EQ(piped.output.find("== " + (tree / "odd\\nname.doc").string() + "\n"), 0u)
      << piped.output;
  EXPECT_NE(piped.output.find("\n== " + (tree / "sub/b.xls").string() + "\n"), std::string::npos);
  // Standard input cannot hold both the names and the answers.
  EXPECT_EQ(Cli({"update", "--files-from", "-", "--set", "summary:title=x"}).exitCode, 2);
}

}  // namespace
}  // namespace tavrin
