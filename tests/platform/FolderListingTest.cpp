#include "platform/FolderListing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/controls/ShellComboBox.h"
#include "platform/controls/ShellListView.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class FolderListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"b.doc", "A.xls", ".hidden", "c.ppt"}) Touch(name);
    fs::create_directory(dir.path() / "Zfolder");
    fs::create_directory(dir.path() / "afolder");
    fs::create_directory(dir.path() / ".git");
  }
  void Touch(const char* name) { std::ofstream(dir.path() / name) << "x"; }
  std::string Path(const char* name) const { return (dir.path() / name).string(); }

  fixture::ScratchDir dir;
};

TEST_F(FolderListingTest, FoldersFirstThenFilesSortedWithoutHidden) {
  std::error_code error;
  std::vector<FolderItem> items = ListFolder(dir.path().string(), error);
  ASSERT_FALSE(error);
  std::vector<std::string> names;
  for (const FolderItem& item : items) names.push_back(item.name);
  EXPECT_EQ(names, (std::vector<std::string>{"afolder", "Zfolder", "A.xls", "b.doc", "c.ppt"}));
  EXPECT_TRUE(items[0].isFolder);
  EXPECT_EQ(items[2].path, Path("A.xls"));
  EXPECT_EQ(items[2].size, 1u);

  ListFolder(Path("missing"), error);
  EXPECT_TRUE(error);
}

TEST_F(FolderListingTest, TheComputerHoldsTheRootAndMountedVolumes) {
  std::ofstream(dir.path() / "mounts") << "proc /proc proc rw 0 0\n"
                                          "/dev/sda1 / ext4 rw 0 0\n"
                                          "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
                                          "tmpfs /run tmpfs rw 0 0\n"
                                          "/dev/sda2 /boot/efi vfat rw 0 0\n";
  EXPECT_EQ(VolumeMountPoints(Path("mounts")),
            (std::vector<std::string>{"/", "/media/user/USB STICK"}));
  std::error_code error;
  std::vector<FolderItem> top = ListFolder("", error);
  ASSERT_FALSE(top.empty());
  EXPECT_EQ(top[0].path, "/");
  EXPECT_TRUE(top[0].isFolder);
}

TEST_F(FolderListingTest, ParentsLeadUpToTheComputer) {
  EXPECT_EQ(ParentFolder("/home/user/"), "/home");
  EXPECT_EQ(ParentFolder("/home"), "/");
  EXPECT_EQ(ParentFolder("/"), "");
  EXPECT_EQ(ParentFolder(""), "");
  EXPECT_EQ(FolderChain("/a/b"), (std::vector<std::string>{"", "/", "/a", "/a/b"}));
  EXPECT_EQ(FolderChain(""), (std::vector<std::string>{""}));
}

TEST_F(FolderListingTest, TheTwoFolderViewsFollowEachOther) {
  ShellComboBox combo("combo", nullptr, {});
  ShellListView list("list", nullptr, {});
  combo.SetOnChange([&] { list.SetFolder(combo.Path()); });
  list.SetOnFolderOpened([&](const std::string& folder) { combo.SetPath(folder); });

  combo.SetPath(dir.path().string());
  ASSERT_EQ(list.Count(), 5);
  list.SetSelected(3, true);
  list.Open(0);  // afolder
  EXPECT_EQ(combo.Path(), Path("afolder"));
  EXPECT_EQ(list.Folder(), Path("afolder"));
  EXPECT_EQ(list.Count(), 0);
  list.OpenFolder(ParentFolder(list.Folder()));
  EXPECT_EQ(combo.Path(), dir.path().string());
  EXPECT_FALSE(list.Selected(3));  // a new listing starts unselected
}

TEST_F(FolderListingTest, RenamingInPlaceNeverReplacesAnotherFile) {
  ShellListView list("list", nullptr, {});
  list.SetFolder(dir.path().string());
  ASSERT_EQ(list.Item(3).name, "b.doc");
  EXPECT_EQ(list.Rename(3, "c.ppt"), std::make_error_code(std::errc::file_exists));
  EXPECT_EQ(list.Rename(3, "x/y"), std::make_error_code(std::errc::invalid_argument));
  EXPECT_TRUE(fs::exists(Path("b.doc")));
  EXPECT_FALSE(list.Rename(3, "renamed.doc"));
  EXPECT_TRUE(fs::exists(Path("renamed.doc")));
  EXPECT_FALSE(fs::exists(Path("b.doc")));
  EXPECT_EQ(list.Item(4).name, "renamed.doc");  // the listing is read anew
}

}  // namespace
}  // namespace tavrin
