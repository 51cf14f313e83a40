#include "app/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "app/TForm1.h"
#include "grids/RowCatalogue.h"
#include "platform/CodePage.h"
#include "platform/PrivateProfile.h"
#include "platform/ScriptedDialogs.h"
#include "support/ScratchDir.h"
#include "support/ScriptedHost.h"

namespace tavrin {
namespace {

using codepage::Cp932;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsControls Controls() {
    return {form.CheckListBox1, form.SummaryGrids(),    form.CheckListBox2, form.FileTimeGrids(),
            form.CheckListBox3, form.DocSummaryGrids(), form.Edit1,         form.ShellComboBox1};
  }
  void Read() { ReadSettings(ProfileReader(path), Controls(), dialogs); }
  void Put(const std::string& contents) { dir.Put("tavrin.ini", contents); }

  fixture::ScratchDir dir;
  std::string path = (dir.path() / "tavrin.ini").string();
  ScriptedDialogs dialogs{"tavrin"};
  testing::ScriptedHost host;
  TForm1 form{dialogs, host, "/opt/tavrin/tavrin"};
};

TEST_F(SettingsTest, WithoutAFileTheDefaultsApply) {
  Read();
  for (int i = 0; i < 18; ++i) {
    bool expected = i == summary_row::kAuthor || i == summary_row::kLastAuthor;
    EXPECT_EQ(form.CheckListBox1.Checked(i), expected) << i;
    EXPECT_EQ(form.ValueListEditor2.ItemProps(i).readOnly, !expected) << i;
  }
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(form.CheckListBox2.Checked(i));
  for (int i = 0; i < 15; ++i) EXPECT_FALSE(form.CheckListBox3.Checked(i));
  EXPECT_EQ(form.Edit1.Text(), "");
  EXPECT_EQ(form.ShellComboBox1.Path(), "");
  EXPECT_TRUE(dialogs.ShownBoxes().empty());
}

TEST_F(SettingsTest, EachSectionComparesExactlyAndTheFileTimesTheOtherWayRound) {
  const auto& summary = SummaryItemNames();
  const auto& fileTime = FileTimeItemNames();
  const auto& doc = DocSummaryItemNames();
  Put("[SummaryInfo]\r\n" + summary[0] + "=01\r\n" + summary[1] + "=yes\r\n" + summary[2] +
      "=\r\n" + summary[3] + "=1\r\n" + summary[15] + "=1\r\n" + "[FileDateTime]\r\n" +
      fileTime[0] + "=yes\r\n" + fileTime[1] + "=\r\n" + fileTime[2] + "=0\r\n" +
      "[DocumentSummaryInfo]\r\n" + doc[10] + "=1\r\n" + doc[11] + "= 1 \r\n" + doc[9] +
      "=\"1\"\r\n" + "[Setting]\r\nfilename=/home/u/報告.doc\r\n");
  Read();
  EXPECT_FALSE(form.CheckListBox1.Checked(0));
  EXPECT_FALSE(form.CheckListBox1.Checked(1));
  EXPECT_FALSE(form.CheckListBox1.Checked(2));  // the default gives way to the empty value
  EXPECT_TRUE(form.CheckListBox1.Checked(3));
  EXPECT_TRUE(form.CheckListBox1.Checked(summary_row::kThumbnail));
  EXPECT_FALSE(form.ValueListEditor1.ItemProps(summary_row::kThumbnail).readOnly);
  EXPECT_TRUE(form.CheckListBox2.Checked(0));
  EXPECT_TRUE(form.CheckListBox2.Checked(1));
  EXPECT_FALSE(form.CheckListBox2.Checked(2));
  EXPECT_TRUE(form.CheckListBox3.Checked(10));
  EXPECT_TRUE(form.CheckListBox3.Checked(11));  // blanks and quotes are stripped first
  EXPECT_TRUE(form.CheckListBox3.Checked(9));
  EXPECT_FALSE(form.ValueListEditor6.ItemProps(11).readOnly);
  EXPECT_EQ(form.Edit1.Text(), "/home/u/報告.doc");  // the path's own bytes
}

TEST_F(SettingsTest, AStoredFolderThatIsGoneIsReportedAndStartUpGoesOn) {
  Put("[Setting]\r\nfilename=a.doc\r\nfolder=/no/such/folder\r\n");
  Read();
  ASSERT_EQ(dialogs.ShownBoxes().size(), 1u);
  EXPECT_EQ(dialogs.ShownBoxes()[0].kind, ScriptedDialogs::Kind::kError);
  EXPECT_EQ(dialogs.ShownBoxes()[0].text, Cp932("パス設定エラー : \"/no/such/folder\""));
  EXPECT_EQ(form.Edit1.Text(), "a.doc");
  EXPECT_EQ(form.ShellComboBox1.Path(), "");

  Put("[Setting]\r\nfolder=" + dir.path().string() + "\r\n");
  Read();
  EXPECT_EQ(form.ShellComboBox1.Path(), dir.path().string());
  // Written by hand in CP932, as the keys are: read so where only that
  // reading names something; bytes that name a file are taken as they are.
  const std::string folder = (dir.path() / "報告").string();
  const std::string file = folder + "/一覧.doc";
  std::filesystem::create_directory(folder);
  dir.Put("報告/一覧.doc", "x");
  Put("[Setting]\r\nfilename=" + Cp932(file) + "\r\nfolder=" + Cp932(folder) + "\r\n");
  Read();
  EXPECT_EQ(form.Edit1.Text(), file);
  EXPECT_EQ(form.ShellComboBox1.Path(), folder);
  Put("[Setting]\r\nfilename=" + file + "\r\n");
  Read();
  EXPECT_EQ(form.Edit1.Text(), file);
  Put("[Setting]\r\nfolder=" + dir.path().string() + "\r\n");
  Read();
  EXPECT_EQ(form.ShellListView1.Folder(), dir.path().string());
  // The folder is listed when something first looks at it, not when the
  // form starts: a script shows hundreds of files, each on a form of its own.
  dir.Put("later.doc", "x");
  bool listed = false;
  for (int i = 0; i < form.ShellListView1.Count(); ++i) {
    listed = listed || form.ShellListView1.Item(i).name == "later.doc";
  }
  EXPECT_TRUE(listed);
}

TEST_F(SettingsTest, ClosingAsksThenWritesEverySectionInOrder) {
  dialogs.QueueAnswer(false);
  EXPECT_FALSE(CloseQuery(path, Controls(), dialogs));
  EXPECT_FALSE(std::filesystem::exists(path));

  Read();
  form.CheckListBox3.SetChecked(11, true);
  form.Edit1.SetText("/x/y.doc");
  form.ShellComboBox1.SetPath(dir.path().string());
  dialogs.QueueAnswer(true);
  EXPECT_TRUE(CloseQuery(path, Controls(), dialogs));
  std::string ini = fixture::ReadWholeFile(path);
  std::size_t summary = ini.find("[SummaryInfo]"), fileTime = ini.find("[FileDateTime]"),
              doc = ini.find("[DocumentSummaryInfo]"), setting = ini.find("[Setting]");
  EXPECT_EQ(summary, 0u);
  EXPECT_LT(summary, fileTime);
  EXPECT_LT(fileTime, doc);
  EXPECT_LT(doc, setting);
  EXPECT_EQ(std::count(ini.begin(), ini.end(), '='), 18 + 3 + 15 + 2);
  EXPECT_NE(ini.find(SummaryItemNames()[2] + "=1\r\n"), std::string::npos);
  EXPECT_NE(ini.find("TitlesofParts=1\r\n"), std::string::npos);
  EXPECT_NE(ini.find("filename=/x/y.doc\r\nfolder=" + dir.path().string() + "\r\n"),
            std::string::npos);

  form.ShellComboBox1.SetPath("");  // the computer is stored as empty
  dialogs.QueueAnswer(true);
  EXPECT_TRUE(CloseQuery(path, Controls(), dialogs));
  EXPECT_EQ(GetPrivateProfileString("Setting", "folder", "x", path), "");
}

TEST_F(SettingsTest, AFailedWriteKeepsTheWindowOpenAndSaysWhere) {
  Put("[Setting]\r\nfilename=old\r\n");
  chmod(path.c_str(), 0444);
  dialogs.QueueAnswer(true);
  EXPECT_FALSE(CloseQuery(path, Controls(), dialogs));
  ASSERT_EQ(dialogs.ShownBoxes().size(), 2u);
  EXPECT_EQ(dialogs.ShownBoxes()[1].text, path + Cp932(" に書き込めません"));
  EXPECT_EQ(fixture::ReadWholeFile(path), "[Setting]\r\nfilename=old\r\n");
}

TEST_F(SettingsTest, AProgramInAFolderItCannotWriteKeepsItsFilesInTheUsersFolder) {
  EXPECT_EQ(ProgramFilePath((dir.path() / "tavrin").string(), ".ini"),
            (dir.path() / "tavrin.ini").string());
  std::string previous = std::getenv("XDG_CONFIG_HOME");
  setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
  EXPECT_EQ(ProgramFilePath("/no/such/place/tavrin", ".dat"),
            (dir.path() / "tavrin" / "tavrin.dat").string());
  setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
}

// As installed by the package: root may write /usr/bin, and must not
// leave its settings there.
TEST_F(SettingsTest, AProgramInABinFolderItMayWriteStillKeepsItsFilesInTheUsersFolder) {
  std::filesystem::create_directories(dir.path() / "usr" / "bin");
  std::string previous = std::getenv("XDG_CONFIG_HOME");
  setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
  EXPECT_EQ(ProgramFilePath((dir.path() / "usr" / "bin" / "tavrin").string(), ".ini"),
            (dir.path() / "config" / "tavrin" / "tavrin.ini").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "config" / "tavrin"));
  setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
}

}  // namespace
}  // namespace tavrin
