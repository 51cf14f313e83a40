// Every real document of the corpus, shown as the window shows it, against
// what an independent reader finds in it under the same display rules.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/TForm1.h"
#include "platform/CodePage.h"
#include "platform/ScriptedDialogs.h"
#include "support/Corpus.h"
#include "support/ExternalReaders.h"
#include "support/ScratchDir.h"
#include "support/ScriptedHost.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

struct Shown {
  std::string summary[18];
  std::string docSummary[15];
};

TEST(ShowCorpus, EveryDocumentShowsWhatAnIndependentReaderFinds) {
  std::vector<fs::path> files = testing::CorpusDocuments();
  if (files.empty()) GTEST_SKIP() << "no corpus";
  fixture::ScratchDir dir;
  std::map<std::string, Shown> shown;
  std::vector<std::string> command{"/usr/bin/python3", TAVRIN_TEST_SUPPORT_DIR "/olefile_show.py"};
  for (const fs::path& original : files) {
    SCOPED_TRACE(original.filename().string());
    // Showing opens a document for writing, so a copy the test may write.
    fs::path copy = testing::WritableCopy(original, dir.path() / original.filename());
    std::string before = fixture::ReadWholeFile(copy.string());

    ScriptedDialogs dialogs("tavrin");
    testing::ScriptedHost host;
    TForm1 form(dialogs, host, "/opt/tavrin/tavrin");
    form.FormCreate();
    form.Edit1.SetText(copy.string());
    form.Button1Click();
    EXPECT_EQ(fixture::ReadWholeFile(copy.string()), before) << "showing changed the file";
    Shown& texts = shown[copy.string()];
    for (int row = 0; row < 18; ++row) texts.summary[row] = form.ValueListEditor1.Value(row);
    for (int row = 0; row < 15; ++row) texts.docSummary[row] = form.ValueListEditor5.Value(row);
    command.push_back(copy.string());
  }

  fixture::ProcessResult expected = fixture::RunProcess(command);
  ASSERT_EQ(expected.exitCode, 0);
  int compared = 0;
  std::istringstream lines(expected.output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
      std::size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
      if (tab == std::string::npos || fields.size() == 4) break;
      start = tab + 1;
    }
    ASSERT_EQ(fields.size(), 4u) << line;
    const Shown& texts = shown.at(fields[0]);
    int row = std::stoi(fields[2]);
    const std::string& value = fields[1] == "summary" ? texts.summary[row] : texts.docSummary[row];
    EXPECT_EQ(codepage::Cp932ToUtf8(value), fields[3])
        << fs::path(fields[0]).filename() << " " << fields[1] << " row " << row;
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace tavrin
