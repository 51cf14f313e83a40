#include "platform/PrivateProfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/CodePage.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

using codepage::Cp932;
using fixture::ReadWholeFile;

class PrivateProfileTest : public ::testing::Test {
 protected:
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback = "d") {
    return GetPrivateProfileString(section, key, fallback, path);
  }
  fixture::ScratchDir dir;
  std::string path = (dir.path() / "tavrin.ini").string();
};

TEST_F(PrivateProfileTest, ReadsLikeThePlatform) {
  dir.Put("tavrin.ini",
          "; a comment\r\n"
          "[Setting]\r\n"
          "  FileName =  \"C:\\docs\\a b.doc\"  \r\n"
          "folder='x'\n"
          "quoted=\"only one\r\n"
          "[SummaryInfo]\r\n" +
              Cp932("作成者") + "=1\r\n" + Cp932("タイトル") + "= 0 \r\n");
  EXPECT_EQ(Get("setting", "filename"), "C:\\docs\\a b.doc");  // case, blanks, quotes
  EXPECT_EQ(Get("SETTING", "folder"), "x");
  EXPECT_EQ(Get("Setting", "quoted"), "\"only one");  // an unmatched quote stays
  EXPECT_EQ(Get("SummaryInfo", Cp932("作成者")), "1");
  EXPECT_EQ(Get("SummaryInfo", Cp932("タイトル")), "0");
  EXPECT_EQ(Get("SummaryInfo", "missing", " fallback "), " fallback");
  EXPECT_EQ(Get("Nowhere", "filename"), "d");
  EXPECT_EQ(GetPrivateProfileString("a", "b", "none", (dir.path() / "no.ini").string()), "none");
}

TEST_F(PrivateProfileTest, NamesDifferingOnlyInATrailByteAreDifferent) {
  // The second byte of ア (0x83 0x41) looks like "A"; folding it to "a"
  // would make ア and 0x83 0x61 (not a name here) match.
  dir.Put("tavrin.ini", "[S]\r\n\x83\x41=yes\r\n");
  EXPECT_EQ(Get("S", "\x83\x41"), "yes");
  EXPECT_EQ(Get("S", "\x83\x61"), "d");
}

TEST_F(PrivateProfileTest, ValuesAreCutAt2047Bytes) {
  dir.Put("tavrin.ini", "[S]\r\nlong=" + std::string(5000, 'x') + "\r\n");
  EXPECT_EQ(Get("S", "long").size(), kProfileValueLimit);
}

TEST_F(PrivateProfileTest, WritesKeepEveryOtherLineAndOrderNewOnes) {
  ASSERT_TRUE(WritePrivateProfileString("SummaryInfo", "a", "1", path));
  ASSERT_TRUE(WritePrivateProfileString("FileDateTime", "b", "0", path));
  ASSERT_TRUE(WritePrivateProfileString("SummaryInfo", "c", "1", path));
  ASSERT_TRUE(WritePrivateProfileString("summaryinfo", "A", "0", path));
  EXPECT_EQ(ReadWholeFile(path), "[SummaryInfo]\r\nA=0\r\nc=1\r\n[FileDateTime]\r\nb=0\r\n");

  dir.Put("tavrin.ini", "; keep me\n[S]\nx=1\n\n[T]\ny=2");
  ASSERT_TRUE(WritePrivateProfileString("S", "z", "3", path));
  ASSERT_TRUE(WritePrivateProfileString("T", "w", "4", path));
  EXPECT_EQ(ReadWholeFile(path), "; keep me\n[S]\nx=1\nz=3\r\n\n[T]\ny=2\r\nw=4\r\n");
}

TEST_F(PrivateProfileTest, AFileThatCannotBeWrittenStaysAsItWas) {
  dir.Put("tavrin.ini", "[S]\r\nx=1\r\n");
  chmod(path.c_str(), 0444);
  EXPECT_FALSE(WritePrivateProfileString("S", "x", "2", path));
  EXPECT_EQ(ReadWholeFile(path), "[S]\r\nx=1\r\n");
  std::string inMissingFolder = (dir.path() / "no" / "t.ini").string();
  EXPECT_FALSE(WritePrivateProfileString("S", "x", "2", inMissingFolder));
}

}  // namespace
}  // namespace tavrin
