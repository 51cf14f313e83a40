// The change button: the question, the exists test, the row checks and the
// three writes in their order, with what each failure shows and leaves.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "commands/UpdateCommand.h"
#include "commands/UpdateFixture.h"
#include "filetimes/FileDate.h"
#include "propsets/TextConventions.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

using codepage::Cp932;
using testing::StreamOf;

struct timespec ModifiedTime(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mtim;
}
struct timespec AccessedTime(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_atim;
}
bool Same(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

class UpdateCommandTest : public ::testing::Test {
 protected:
  std::string Document(const std::string& name) {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME")).Add(11, test::Bool(false));
    return testing::TestDocument(testing::SummaryWith("title", "author", 3), docSummary)
        .WriteTo(dir, name);
  }

  fixture::ScratchDir dir;
  testing::UpdateForm user;
  const std::string question = Cp932("更新しますか？");
  const std::string notFound = Cp932("ファイルが見つかりません");
};

TEST_F(UpdateCommandTest, EachFailedCheckShowsItsMessageAfterTheQuestionAndWritesNothing) {
  struct Case {
    RowSet set;
    int row;
    const char* text;
    const char* message;
  };
  const std::vector<Case> cases{
      {RowSet::kSummary, 12, "x", "ページ数は数値でなければなりません"},
      {RowSet::kSummary, 13, "x", "単語数は数値でなければなりません"},
      {RowSet::kSummary, 14, "x", "文字数は数値でなければなりません"},
      {RowSet::kSummary, 8, "x", "編集時間の指定が違います"},
      {RowSet::kSummary, 9, "x", "前回印刷日の指定が違います"},
      {RowSet::kSummary, 10, "x", "作成日時の指定が違います"},
      {RowSet::kSummary, 11, "x", "前回保存日時の指定が違います"},
      {RowSet::kSummary, 17, "x", "セキュリティは数値でなければなりません"},
      {RowSet::kSummary, 17, "1", "セキュリティは0,2,4,8のいずれかです"},
      {RowSet::kDocSummary, 2, "x", "バイト数は数値でなければなりません"},
      {RowSet::kDocSummary, 3, "x", "行数は数値でなければなりません"},
      {RowSet::kDocSummary, 4, "x", "段落数は数値でなければなりません"},
      {RowSet::kDocSummary, 5, "x", "スライドは数値でなければなりません"},
      {RowSet::kDocSummary, 6, "x", "メモは数値でなければなりません"},
      {RowSet::kDocSummary, 7, "x", "隠し文字列は数値でなければなりません"},
      {RowSet::kDocSummary, 8, "x", "ＭＭクリップは数値でなければなりません"},
      {RowSet::kDocSummary, 9, "x", "拡大／縮小は「はい」「いいえ」のいずれかです"},
      {RowSet::kDocSummary, 14, "x", "未更新のリンクは「はい」「いいえ」のいずれかです"},
  };
  const std::string path = Document("checked.doc");
  const std::string before = fixture::ReadWholeFile(path);
  const struct timespec modified = ModifiedTime(path);
  for (const Case& c : cases) {
    testing::UpdateForm fresh;
    fresh.Put(RowSet::kSummary, summary_row::kTitle, "would be written");
    fresh.Put(RowSet::kFileTime, filetime_row::kLastWrite, "2001/01/01 00:00:00");
    fresh.Put(c.set, c.row, c.text);
    fresh.Update(path);
    EXPECT_EQ(fresh.Boxes(), (std::vector<std::string>{question, Cp932(c.message)})) << c.message;
  }
  EXPECT_EQ(fixture::ReadWholeFile(path), before);
  EXPECT_TRUE(Same(ModifiedTime(path), modified));
}

TEST_F(UpdateCommandTest, TheQuestionComesFirstAndACancelDoesNothingAtAll) {
  const std::string path = Document("cancel.doc");
  const std::string before = fixture::ReadWholeFile(path);
  user.Put(RowSet::kSummary, summary_row::kTitle, "new");
  user.Put(RowSet::kSummary, summary_row::kPageCount, "not a number");
  for (const std::string& name : {std::string(), path}) {
    user.Update(name, false);
    EXPECT_EQ(user.Boxes(), std::vector<std::string>{question}) << name;
  }
  EXPECT_EQ(fixture::ReadWholeFile(path), before);

  // Asked first, then told the file is not there; no check runs.
  for (const std::string& name :
       {std::string(), dir.path().string(), (dir.path() / "gone.doc").string()}) {
    user.Update(name);
    EXPECT_EQ(user.Boxes(), (std::vector<std::string>{question, notFound})) << name;
  }
  // The grids keep what was typed.
  EXPECT_EQ(user.form.ValueListEditor1.Value(summary_row::kTitle), "new");
}

// What the grids' text forms cannot give back: a wide string with
// characters CP932 lacks, fractions of a second, a fifth day digit, the
// first second of the FILETIME range, a time past what the calendar shows, a
// security value the check refuses, a flag stored as 1, a 16-bit count, a
// string in another code page. Shown and written back untouched, each keeps
// its bytes; so do the file's times, to the nanosecond.
TEST_F(UpdateCommandTest, RowsLeftAsShownKeepTheFileByteForByteAndTimeForTime) {
  constexpr std::uint64_t kDay = 864000000000;
  test::SectionFixture summary(test::kSummaryFmtid);
  summary.Add(1, test::I2(932))
      .Add(2, test::Lpstr("title"))
      .Add(4, test::Lpwstr(u"\u03a9mega caf\u00e9 \u65e5\u672c"))
      .Add(8, test::Lpwstr(u"x\u20acy"))
      .Add(10, test::FileTime(10000 * kDay + 12345678))
      .Add(11, test::FileTime(1))
      .Add(12, test::FileTime(133486058451234567))
      .Add(13, test::FileTime(0x8000000000000005))
      .Add(14, test::I4(-1))
      .Add(19, test::I4(1));
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(1, test::I2(1252))
      .Add(2, test::Lpstr("Caf\xe9"))
      .Add(5, test::I2(5))
      .Add(11, test::Typed(11, test::Le(1, 2)))
      .Add(16, test::Bool(false));
  const std::string path = testing::TestDocument(summary, docSummary).WriteTo(dir, "kept.doc");
  // Recent, and the access after the write, so that reading the file moves
  // neither.
  const std::time_t now = std::time(nullptr);
  const struct timespec times[2] = {{now - 600, 987654321}, {now - 3600, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  for (bool every : {false, true}) {
    SCOPED_TRACE(every ? "every row selected" : "no row selected");
    testing::UpdateForm fresh;
    fresh.Show(path);
    EXPECT_EQ(fresh.form.ValueListEditor1.Value(summary_row::kAuthor), Cp932("Ωmega caf? 日本"));
    const std::string before = fixture::ReadWholeFile(path);
    const struct timespec modified = ModifiedTime(path);
    const struct timespec accessed = AccessedTime(path);
    if (every) {
      for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary, RowSet::kFileTime}) {
        for (int row = 0; row < fresh.ListOf(set).Count(); ++row) fresh.Select(set, row);
      }
    } else {
      fresh.form.ValueListEditor1.SetValueAt(summary_row::kTitle, "typed but not selected");
    }
    fresh.Update(path);
    EXPECT_EQ(fresh.Boxes(), std::vector<std::string>{question});
    EXPECT_TRUE(fixture::ReadWholeFile(path) == before);
    EXPECT_TRUE(Same(ModifiedTime(path), modified));
    EXPECT_TRUE(Same(AccessedTime(path), accessed));
  }
}

TEST_F(UpdateCommandTest, EachWriteRunsWhateverTheEarlierOnesReported) {
  // No Summary Information set: its write fails, the other two still run.
  test::SectionFixture docSummary(test::kDocSummaryFmtid);
  docSummary.Add(1, test::I2(932)).Add(15, test::Lpstr("ACME"));
  const std::string path = testing::TestDocument(std::nullopt, docSummary).WriteTo(dir, "half.doc");
  user.Put(RowSet::kSummary, summary_row::kTitle, "title");
  user.Put(RowSet::kDocSummary, 13, "Initech");
  user.Put(RowSet::kFileTime, filetime_row::kLastWrite, "2001/02/03 04:05:06");
  user.Update(path);
  // The messages say which set was changed.
  EXPECT_EQ(user.Messages(),
            (std::vector<std::string>{"Error PropSetStg.Open\r\nHResult = $80030002",
                                      Cp932("Document Summary Information は変更しました。"
                                            "Summary Information は変更していません\r\n") +
                                          path}));
  test::SectionFixture expected(test::kDocSummaryFmtid);
  expected.Add(1, test::I2(932)).Add(15, test::Lpstr("Initech"));
  EXPECT_EQ(StreamOf(path, testing::kDocSummaryStream), test::BuildStream({expected}));
  EXPECT_EQ(StreamOf(path, testing::kSummaryStream), "");  // never created
  // 2001/02/03 04:05:06 in Tokyo, whatever writing the sets did to the time.
  EXPECT_EQ(ModifiedTime(path).tv_sec, 981140706);
  EXPECT_EQ(ModifiedTime(path).tv_nsec, 0);
}

TEST_F(UpdateCommandTest, AFileTimeThatDoesNotConvertStopsTheTimesButNotTheSetsBeforeThem) {
  const std::string path = Document("times.doc");
  user.Put(RowSet::kDocSummary, 13, "Initech");
  user.Put(RowSet::kFileTime, filetime_row::kLastAccess, "2001/02/03 04:05:06");
  user.Put(RowSet::kFileTime, filetime_row::kLastWrite, "");
  user.Update(path);
  ASSERT_EQ(user.dialogs.ShownBoxes().size(), 2u);
  EXPECT_EQ(user.dialogs.ShownBoxes()[1].kind, ScriptedDialogs::Kind::kError);
  EXPECT_EQ(user.dialogs.ShownBoxes()[1].text, Cp932("'' は有効な日付および時刻ではありません"));
  EXPECT_NE(StreamOf(path, testing::kDocSummaryStream).find("Initech"), std::string::npos);
  EXPECT_NE(AccessedTime(path).tv_sec, 981140706);
}

TEST_F(UpdateCommandTest, AFileThatCannotBeWrittenIsLeftAsItWasWithOneMessagePerWrite) {
  const std::string readOnly = Document("readonly.doc");
  chmod(readOnly.c_str(), 0444);
  const std::string held = Document("held.doc");
  std::unique_ptr<storage::CompoundFile> holder;
  ASSERT_EQ(storage::CompoundFile::Open(held, holder), S_OK);
  const std::string denied = Cp932("ACCESSが拒否されました");
  for (const auto& [path, messages] :
       {std::pair{readOnly, std::vector<std::string>{denied, denied,
                                                     "Error CreateFile\r\nHResult = $80070005"}},
        std::pair{held, std::vector<std::string>{"Error StgOpenStorage\r\nHResult = $80030020",
                                                 "Error StgOpenStorage\r\nHResult = $80030020",
                                                 "Error CreateFile\r\nHResult = $80070020"}}}) {
    const std::string before = fixture::ReadWholeFile(path);
    const struct timespec modified = ModifiedTime(path);
    testing::UpdateForm fresh;
    fresh.Put(RowSet::kSummary, summary_row::kAuthor, "someone");
    fresh.Put(RowSet::kFileTime, filetime_row::kLastWrite, "2001/02/03 04:05:06");
    fresh.Update(path);
    EXPECT_EQ(fresh.Messages(), messages) << path;
    EXPECT_EQ(fixture::ReadWholeFile(path), before);
    EXPECT_TRUE(Same(ModifiedTime(path), modified)) << path;
  }
}

TEST_F(UpdateCommandTest, FileTimesTakeTheCheckedRowsAndTheZeroTextLeavesATime) {
  const std::string path = Document("times.doc");
  user.Show(path);
  const struct timespec accessed = AccessedTime(path);
  user.Put(RowSet::kFileTime, filetime_row::kLastWrite, "2001/02/03 04:05:06");
  user.Put(RowSet::kFileTime, filetime_row::kLastAccess, "0000/00/00 00:00:00");
  user.Select(RowSet::kFileTime, filetime_row::kCreation);  // as shown: asks for no change
  user.Update(path);
  EXPECT_EQ(user.Boxes(), std::vector<std::string>{question});
  EXPECT_EQ(ModifiedTime(path).tv_sec, 981140706);
  EXPECT_TRUE(Same(AccessedTime(path), accessed));
}

// On the real file system: ext4 keeps 1901 to 2446 and quietly puts a time
// outside that at the nearest end.
TEST_F(UpdateCommandTest, ATimeTheFileSystemCannotHoldIsRefusedAndChangesNoTime) {
  int refused = 0;
  for (const char* asked : {"1800/01/01 00:00:00", "2500/01/01 00:00:00"}) {
    SCOPED_TRACE(asked);
    const std::string path = Document("range.doc");
    testing::UpdateForm fresh;
    // Read once, so that the writes' reads no longer move its access time.
    fresh.Show(path);
    const struct timespec modified = ModifiedTime(path);
    const struct timespec accessed = AccessedTime(path);
    fresh.Put(RowSet::kFileTime, filetime_row::kLastWrite, asked);
    fresh.Put(RowSet::kFileTime, filetime_row::kLastAccess, "2001/02/03 04:05:06");
    fresh.Update(path);
    if (fresh.Messages().empty()) {
      // Then the file system holds it: nothing was put elsewhere quietly.
      const auto wanted = static_cast<std::int64_t>(TextToFileTime(asked).Ticks() / 10000000);
      EXPECT_EQ(ModifiedTime(path).tv_sec, wanted - 11644473600);
      continue;
    }
    ++refused;
    EXPECT_EQ(fresh.Messages(),
              std::vector<std::string>{"Error SetFileTime\r\nHResult = $80070057"});
    EXPECT_TRUE(Same(ModifiedTime(path), modified));
    EXPECT_TRUE(Same(AccessedTime(path), accessed));
  }
  if (refused == 0) GTEST_SKIP() << "this file system holds both times";
}

TEST_F(UpdateCommandTest, ACreationTimeThisFileSystemCannotTakeIsToldOncePerCommand) {
  const std::string first = Document("first.doc");
  const std::string second = Document("second.doc");
  user.Put(RowSet::kFileTime, filetime_row::kCreation, "2001/02/03 04:05:06");
  user.Put(RowSet::kFileTime, filetime_row::kLastWrite, "2002/02/03 04:05:06");
  const std::vector<std::string> told{CreationTimeNotSettableMessage()};
  user.Update(first);
  EXPECT_EQ(user.Messages(), told);
  // The other time was still set.
  EXPECT_EQ(ModifiedTime(first).tv_sec, 1012676706);
  // A command over several files says it once; the next command says it
  // again.
  user.dialogs.Clear();
  user.form.ValueListEditor4.SetValueAt(filetime_row::kCreation, "2001/02/03 04:05:06");
  user.form.ValueListEditor4.SetValueAt(filetime_row::kLastWrite, "2002/02/03 04:05:06");
  user.form.SetFileDateAll(second);
  EXPECT_EQ(user.Messages(), std::vector<std::string>{});
  user.Update(second);
  EXPECT_EQ(user.Messages(), told);
}

}  // namespace
}  // namespace tavrin
