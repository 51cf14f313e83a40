#include "propsets/AccessFrame.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/ScriptedDialogs.h"
#include "platform/storage/CompoundFile.h"
#include "platform/storage/PropertySet.h"
#include "support/FaultySystemCalls.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

using codepage::Cp932;
using fixture::ReadWholeFile;

class AccessFrameTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(CoInitializeDepth(), 0); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : dialogs.ShownBoxes()) texts.push_back(shown.text);
    return texts;
  }

  // Runs a read and tells whether the read action ran.
  bool Read(const std::string& path, const FMTID& fmtid = storage::FMTID_SummaryInformation) {
    bool filled = false;
    ReadPropertySet(path, fmtid, 18, dialogs, [&](std::span<const PROPVARIANT> values) {
      filled = true;
      EXPECT_EQ(values.size(), 18u);
    });
    return filled;
  }

  fixture::ScratchDir dir;
  ScriptedDialogs dialogs{"tavrin"};
};

TEST_F(AccessFrameTest, OpenFailuresShowTheirOwnMessages) {
  std::string text = dir.Put("plain.txt", "just text, no compound file here");
  std::string readOnly =
      testing::TestDocument{testing::SummaryWith("t", "a", 1)}.WriteTo(dir, "ro.doc");
  chmod(readOnly.c_str(), 0444);
  std::string held =
      testing::TestDocument{testing::SummaryWith("t", "a", 1)}.WriteTo(dir, "held.doc");
  std::unique_ptr<storage::CompoundFile> holder;
  ASSERT_EQ(storage::CompoundFile::Open(held, holder), S_OK);

  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {(dir.path() / "missing.doc").string(), Cp932("ファイルが見つかりません")},
      {text, Cp932("IStorage未対応ファイルです")},
      {readOnly, Cp932("ACCESSが拒否されました")},
      {dir.path().string(), Cp932("ACCESSが拒否されました")},
      {held, "Error StgOpenStorage\r\nHResult = $80030020"},
  };
  for (const Case& c : cases) {
    dialogs.Clear();
    EXPECT_FALSE(Read(c.path)) << c.path;
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message}) << c.path;
    EXPECT_EQ(CoInitializeDepth(), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.doc"));
}

TEST_F(AccessFrameTest, OpenFailureTableIsExactToTheBlank) {
  EXPECT_EQ(OpenFailureMessage(STG_E_INSUFFICIENTMEMORY), Cp932("十分なメモリがありません"));
  EXPECT_EQ(OpenFailureMessage(STG_E_INVALIDFUNCTION), "STG_E_INVALIDFUNCTION  ");
  EXPECT_EQ(OpenFailureMessage(STG_E_REVERTED), "STG_E_REVERTED   ");
  EXPECT_EQ(OpenFailureMessage(STG_E_DOCFILECORRUPT),
            "Error StgOpenStorage\r\nHResult = $80030109");
}

TEST_F(AccessFrameTest, AMissingSetIsReportedAndNeverCreated) {
  std::string path = testing::TestDocument{testing::SummaryWith("t", "a", 1)}.WriteTo(dir, "a.doc");
  std::string before = ReadWholeFile(path);
  EXPECT_FALSE(Read(path, storage::FMTID_DocSummaryInformation));
  WritePropertySet(path, storage::FMTID_DocSummaryInformation, 15, dialogs,
                   [](std::span<PROPVARIANT>, KeptTexts&) { ADD_FAILURE(); });
  std::string expected = "Error PropSetStg.Open\r\nHResult = $80030002";
  EXPECT_EQ(Messages(), (std::vector<std::string>{expected, expected}));
  EXPECT_EQ(ReadWholeFile(path), before);
}

TEST_F(AccessFrameTest, ASetWithNoneOfThePropertiesIsNeitherShownNorChanged) {
  test::SectionFixture codePageOnly(test::kSummaryFmtid);
  codePageOnly.Add(1, test::I2(1252));
  std::string path = testing::TestDocument{codePageOnly}.WriteTo(dir, "cp.doc");
  std::string before = ReadWholeFile(path);
  EXPECT_FALSE(Read(path));
  bool replaced = false;
  WritePropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                   [&](std::span<PROPVARIANT>, KeptTexts&) { replaced = true; });
  EXPECT_FALSE(replaced);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(ReadWholeFile(path), before);
}

TEST_F(AccessFrameTest, AWriteReplacesValuePartsAndKeepsEverythingElse) {
  std::string path =
      testing::TestDocument{testing::SummaryWith("old", "someone", 3)}.WriteTo(dir, "w.doc");
  WritePropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                   [](std::span<PROPVARIANT> values, KeptTexts& texts) {
                     EXPECT_EQ(values[0].vt, VT_LPSTR);
                     values[0].pszVal = texts.Keep(Cp932("新しい題名"));
                     values[12].lVal = -1;
                   });
  EXPECT_TRUE(Messages().empty());
  std::string title, author;
  std::int32_t pages = 0;
  ReadPropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                  [&](std::span<const PROPVARIANT> values) {
                    title = values[0].pszVal;
                    author = values[2].pszVal;
                    pages = values[12].lVal;
                    EXPECT_EQ(values[1].vt, VT_EMPTY);  // absent before, absent after
                  });
  EXPECT_EQ(title, Cp932("新しい題名"));
  EXPECT_EQ(author, "someone");
  EXPECT_EQ(pages, -1);
}

TEST_F(AccessFrameTest, AConversionErrorWritesNothingAndReleasesEverything) {
  std::string path = testing::TestDocument{testing::SummaryWith("t", "a", 1)}.WriteTo(dir, "c.doc");
  std::string before = ReadWholeFile(path);
  EXPECT_THROW(WritePropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                                [](std::span<PROPVARIANT> values, KeptTexts& texts) {
                                  values[0].pszVal = texts.Keep("changed");
                                  throw ConversionError("bad");
                                }),
               ConversionError);
  EXPECT_EQ(CoInitializeDepth(), 0);
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_TRUE(Read(path));  // the file was released: it opens again
}

TEST_F(AccessFrameTest, AWriteTheSetsCodePageCannotHoldIsRefusedWithItsCode) {
  test::SectionFixture western(test::kSummaryFmtid);
  western.Add(1, test::I2(1252)).Add(2, test::Lpstr("caf\xE9"));
  std::string path = testing::TestDocument{western}.WriteTo(dir, "1252.doc");
  std::string before = ReadWholeFile(path);
  WritePropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                   [](std::span<PROPVARIANT> values, KeptTexts& texts) {
                     values[0].pszVal = texts.Keep(Cp932("日本語"));
                   });
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Error PropStg.WriteMultiple\r\nHResult = $80070459"});
  EXPECT_EQ(ReadWholeFile(path), before);
}

// A journal that cannot be used may stand for a half-changed document, which
// only the user can judge: the message names it, whether it stops the open
// or turns up in the way of a write.
TEST_F(AccessFrameTest, AnUnusableJournalIsNamedInTheMessage) {
  std::string path = testing::TestDocument{testing::SummaryWith("t", "a", 1)}.WriteTo(dir, "j.doc");
  const std::string before = ReadWholeFile(path);
  const std::string journal = std::filesystem::canonical(path).string() + ".tavrin-journal";
  const std::string expected =
      Cp932(
          "ジャーナルファイルが残っています。文書が途中まで変更されている可能性があります。"
          "文書とジャーナルファイルを確認してから、ジャーナルファイルを削除してください") +
      "\r\n" + journal;
  EXPECT_EQ(UnusableJournalMessage(path), expected);

  WritePropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                   [&](std::span<PROPVARIANT> values, KeptTexts& texts) {
                     fixture::WriteWholeFile(journal, "in the way");
                     values[0].pszVal = texts.Keep("changed");
                   });
  EXPECT_EQ(Messages(), std::vector<std::string>{expected});
  EXPECT_EQ(ReadWholeFile(path), before);
  EXPECT_EQ(ReadWholeFile(journal), "in the way");

  // Sealed, so its document may have been touched, but failing its check.
  dialogs.Clear();
  fixture::WriteWholeFile(journal,
                          std::string("TVRNJRNL\x01\0\0\0SEAL", 16) + std::string(40, 'x'));
  EXPECT_FALSE(Read(path));
  EXPECT_EQ(Messages(), std::vector<std::string>{expected});
  EXPECT_TRUE(std::filesystem::exists(journal));
}

// What the engine did on its own, and why it refused, each in words of
// its own: an open that rolled back an unfinished change says so, naming the
// document, and a write whose journal the folder refuses names the folder
// (the real one, past a link), not the "$80030005" of a read-only file.
TEST_F(AccessFrameTest, ARollbackAndAFolderThatRefusesTheJournalAreToldInWordsOfTheirOwn) {
  const std::string path =
      testing::TestDocument{testing::SummaryWith("before", "a", 1)}.WriteTo(dir, "r.doc");
  const std::string before = ReadWholeFile(path);
  fixture::LeaveAChangeCutShort(path);
  ASSERT_NE(ReadWholeFile(path), before);
  std::string title;
  ReadPropertySet(path, storage::FMTID_SummaryInformation, 18, dialogs,
                  [&](std::span<const PROPVARIANT> values) { title = values[0].pszVal; });
  EXPECT_EQ(Messages(),
            std::vector<std::string>{
                Cp932("前回の変更が完了していなかったため、文書を変更前の状態に戻しました") +
                "\r\n" + path});
  EXPECT_EQ(title, "before");
  EXPECT_EQ(ReadWholeFile(path), before);

  dialogs.Clear();
  fixture::ScratchDir elsewhere;
  const std::string link = (elsewhere.path() / "link.doc").string();
  std::filesystem::create_symlink(path, link);
  // The first open of the journal's name looks for one left over; the
  // second makes the new one.
  fixture::FaultySystemCalls refusing;
  refusing.Break({.n = 2,
                  .fault = fixture::FaultySystemCalls::Fault::kError,
                  .error = EACCES,
                  .call = fixture::FaultySystemCalls::Call::kOpen,
                  .file = ".tavrin-journal"});
  {
    storage::ScopedSystemCalls scoped(refusing);
    WritePropertySet(link, storage::FMTID_SummaryInformation, 18, dialogs,
                     [](std::span<PROPVARIANT> values, KeptTexts& texts) {
                       values[0].pszVal = texts.Keep("after");
                     });
  }
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Error PropStg.WriteMultiple\r\nHResult = $80030005\r\n" +
                                     Cp932("フォルダーに書き込めないため変更できません") + "\r\n" +
                                     std::filesystem::canonical(dir.path()).string()});
  EXPECT_EQ(ReadWholeFile(path), before);
}

}  // namespace
}  // namespace tavrin
