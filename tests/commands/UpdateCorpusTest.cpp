// The change button on copies of every real document of the corpus (when it
// is present): the selected properties the document has take the new values,
// everything else reads as before in python3-olefile and gsf, a document it
// cannot write is left byte for byte, and with no row selected, or every row
// selected and nothing typed, every document stays byte for byte and keeps
// its times to the nanosecond.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "commands/UpdateFixture.h"
#include "support/Corpus.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

struct stat StatOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// One set's rows to change, the PROPIDs they stand for and the values a
// reader must then find for a property the document already had.
struct Change {
  RowSet set;
  const char* setName;
  std::string streamName;
  std::u16string stream;
  std::vector<std::pair<int, const char*>> rows;      // row, typed text
  std::map<std::string, std::string> expectedValues;  // "set propid" -> olefile's repr
};

const std::vector<Change>& Changes() {
  static const std::vector<Change> changes{
      {RowSet::kSummary,
       "summary",
       testing::kSummaryStreamName,
       testing::kSummaryStream,
       {{summary_row::kAuthor, "Tavrin test"}, {summary_row::kPageCount, "42"}},
       {{"summary 4", "b'Tavrin test'"}, {"summary 14", "42"}}},
      {RowSet::kDocSummary,
       "docsummary",
       testing::kDocSummaryStreamName,
       testing::kDocSummaryStream,
       {{13, "Tavrin Inc"}, {docsummary_row::kLinksDirty, "はい"}},
       {{"docsummary 15", "b'Tavrin Inc'"}, {"docsummary 16", "True"}}},
  };
  return changes;
}

TEST(UpdateCorpus, OnlyTheSelectedPropertiesChangeAsIndependentReadersSeeThem) {
  const std::vector<fs::path> files = testing::CorpusDocuments();
  if (files.empty()) GTEST_SKIP() << "no corpus";
  if (!fixture::ExternalReadersPresent()) GTEST_SKIP() << "python3-olefile or gsf missing";
  fixture::ScratchDir dir;
  struct Written {
    std::string original, changed;
    const Change* change;
    bool refused;
  };
  std::vector<Written> written;
  std::vector<std::string> paths;
  int changedDocuments = 0;
  for (const fs::path& original : files) {
    SCOPED_TRACE(original.filename().string());
    const std::string name = original.filename().string();
    // No row selected, or every row selected and nothing typed: not a
    // byte moves, and the times stay to the nanosecond.
    for (bool every : {false, true}) {
      const std::string copy =
          testing::WritableCopy(original, dir.path() / ((every ? "every-" : "none-") + name));
      // Times with nanoseconds, the access time after the change of status
      // so that no read moves it.
      const std::time_t now = std::time(nullptr);
      const struct timespec times[2] = {{now + 3600, 987654321}, {now - 3600, 123456789}};
      ASSERT_EQ(utimensat(AT_FDCWD, copy.c_str(), times, 0), 0);
      testing::UpdateForm user;
      user.Show(copy);
      const std::string before = fixture::ReadWholeFile(copy);
      const struct stat timesBefore = StatOf(copy);
      // Every row that shows something of this file: the rows of a set the
      // document lacks hold nothing to keep, and are refused by the checks.
      if (every) {
        for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary, RowSet::kFileTime}) {
          for (int row = 0; row < user.ListOf(set).Count(); ++row) {
            if (set == RowSet::kFileTime || user.GridOf(set).HoldsReadValue(row)) {
              user.Select(set, row);
            }
          }
        }
      }
      user.Update(copy);
      // Compared whole, not printed: a document is too long for a message.
      EXPECT_TRUE(fixture::ReadWholeFile(copy) == before) << (every ? "every row" : "no row");
      const struct stat timesAfter = StatOf(copy);
      EXPECT_TRUE(SameTime(timesAfter.st_mtim, timesBefore.st_mtim) &&
                  SameTime(timesAfter.st_atim, timesBefore.st_atim))
          << (every ? "every row" : "no row");
      // A set the codec will not write is refused, as before: that is all.
      for (const std::string& message : user.Messages()) {
        EXPECT_TRUE(message.starts_with("Error PropStg.WriteMultiple\r\n") ||
                    message.starts_with("Error PropSetStg.Open\r\n"))
            << message;
      }
    }
    for (const Change& change : Changes()) {
      const std::string copy =
          testing::WritableCopy(original, dir.path() / (std::string(change.setName) + "-" + name));
      if (testing::StreamOf(copy, change.stream).empty()) continue;
      const std::string before = testing::StreamOf(copy, change.stream);
      testing::UpdateForm user;
      user.Show(copy);
      for (const auto& [row, text] : change.rows) user.Put(change.set, row, text);
      user.Update(copy);
      // A set the codec will not write (a property it could not read) is
      // refused whole, with its message, and keeps its stream as it was.
      const std::string stream = testing::StreamOf(copy, change.stream);
      const bool refused = stream == before;
      // The only messages: a set refused, or a set the document lacks, and
      // then which of the two was changed.
      for (const std::string& message : user.Messages()) {
        EXPECT_TRUE(message.starts_with("Error PropStg.WriteMultiple\r\n") ||
                    message == "Error PropSetStg.Open\r\nHResult = $80030002" ||
                    message.find(codepage::Cp932("は変更していません")) != std::string::npos)
            << message;
      }
      if (!refused) {
        ++changedDocuments;
        EXPECT_EQ(
            fixture::CompareWithOlefile(original.string(), change.streamName, {{copy, stream}}),
            "OK");
        EXPECT_EQ(fixture::CompareWithGsf(original.string(), change.streamName, {{copy, stream}}),
                  "OK");
      }
      written.push_back({original.string(), copy, &change, refused});
      paths.push_back(original.string());
      paths.push_back(copy);
    }
  }
  EXPECT_GT(changedDocuments, 0);

  const auto properties = testing::OlefileProperties(paths);
  for (const Written& w : written) {
    SCOPED_TRACE(w.changed);
    const auto before = properties.find(w.original);
    const auto after = properties.find(w.changed);
    if (before == properties.end()) continue;  // olefile cannot read the original's sets
    ASSERT_NE(after, properties.end());
    // The same properties, none added and none lost; each the same unless
    // it is one the change selected.
    ASSERT_EQ(before->second.size(), after->second.size());
    for (const auto& [key, value] : before->second) {
      const auto now = after->second.find(key);
      ASSERT_NE(now, after->second.end()) << key;
      const auto expected = w.change->expectedValues.find(key);
      if (w.refused || expected == w.change->expectedValues.end()) {
        EXPECT_EQ(now->second, value) << key;
      } else {
        // A property of another type than the row's may keep its value; a
        // wide string shows without the b of a byte string, and with its
        // terminator.
        std::string wide = "b" + now->second;
        for (std::size_t at; (at = wide.find("\\x00")) != std::string::npos;) wide.erase(at, 4);
        EXPECT_TRUE(now->second == expected->second || now->second == value ||
                    wide == expected->second)
            << key << ": " << value << " -> " << now->second;
      }
    }
  }
}

}  // namespace
}  // namespace tavrin
