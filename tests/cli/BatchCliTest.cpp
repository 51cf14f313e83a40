// tavrin-cli batch as scripts run it.

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "support/ExternalReaders.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

fixture::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), TAVRIN_CLI);
  return fixture::RunProcess(args);
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
  EXPECT_NE(run.output.find("リストのインデックスが範囲を超えています (2)"), std::string::npos);
  EXPECT_EQ(fixture::ReadWholeFile(a), before);
  EXPECT_EQ(Cli({"batch", "--wait", "soon", "--yes", a}).exitCode, 2);
  EXPECT_EQ(Cli({"batch", "--yes"}).exitCode, 2);
}

}  // namespace
}  // namespace tavrin
