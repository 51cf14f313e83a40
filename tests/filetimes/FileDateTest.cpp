// Setting file times where the creation time goes through a file system's
// attribute (NTFS through ntfs-3g, CIFS), with the file system stood in for
// by a seam: the attribute route, its failures, and that a failure changes
// no time at all.

#include "filetimes/FileDate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>

#include "commands/UpdateFixture.h"
#include "platform/FileTimes.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

using codepage::Cp932;

// 2001/02/03 04:05:06 in Tokyo.
constexpr std::uint64_t kAsked = (981140706ull + 11644473600ull) * 10000000ull;

std::string LittleEndian(std::uint64_t value) {
  std::string out;
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

// A file system whose creation-time attribute lives here; the other two
// times are set on the real file unless told to fail.
class StandIn : public FileTimeCalls {
 public:
  int FileSystemType(int, std::int64_t& type) override {
    type = fileSystem;
    return 0;
  }
  ssize_t GetAttribute(int, const char* name, void* value, std::size_t size) override {
    if (!answers || name != std::string(expectedName) || size < attribute.size()) {
      errno = ENODATA;
      return -1;
    }
    std::memcpy(value, attribute.data(), attribute.size());
    return static_cast<ssize_t>(attribute.size());
  }
  int SetAttribute(int, const char* name, const void* value, std::size_t size) override {
    ++attributeWrites;
    if (failAttribute || name != std::string(expectedName)) {
      errno = EPERM;
      return -1;
    }
    attribute.assign(static_cast<const char*>(value), size);
    return 0;
  }
  int SetAccessAndWriteTimes(int fd, const struct timespec times[2]) override {
    if (failTimes) {
      errno = EPERM;
      return -1;
    }
    // As a file system with a narrower range than asked for does: the time
    // quietly goes to the end of its range.
    struct timespec kept[2] = {times[0], times[1]};
    for (struct timespec& time : kept) {
      if (time.tv_nsec != UTIME_OMIT && time.tv_sec < earliestHeld) time = {earliestHeld, 0};
    }
    return FileTimeCalls::SetAccessAndWriteTimes(fd, kept);
  }

  std::int64_t fileSystem = kCifsMagic;
  const char* expectedName = kCifsCreationAttribute;
  bool answers = true;
  bool failAttribute = false;
  bool failTimes = false;
  std::time_t earliestHeld = std::numeric_limits<std::time_t>::min();
  int attributeWrites = 0;
  std::string attribute = LittleEndian(kAsked - 7 * 864000000000ull);
};

std::int64_t ModifiedSeconds(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mtim.tv_sec;
}

TEST(FileDateTest, TheCreationTimeGoesThroughTheFileSystemsAttributeOrNotAtAll) {
  struct Case {
    const char* what;
    std::int64_t fileSystem;
    const char* name;
    bool answers, failAttribute, failTimes, clamped;
    bool creationSet;
    bool modifiedSet;
    std::vector<std::string> messages;
  };
  const std::string notSettable = CreationTimeNotSettableMessage();
  const std::string denied = "Error SetFileTime\r\nHResult = $80070005";
  const std::string notHeld = "Error SetFileTime\r\nHResult = $80070057";
  const std::vector<Case> cases{
      {"cifs", kCifsMagic, kCifsCreationAttribute, true, false, false, false, true, true, {}},
      {"smb2", kSmb2Magic, kCifsCreationAttribute, true, false, false, false, true, true, {}},
      {"ntfs-3g", kFuseMagic, kNtfsCreationAttribute, true, false, false, false, true, true, {}},
      {"another fuse file system",
       kFuseMagic,
       kNtfsCreationAttribute,
       false,
       false,
       false,
       false,
       false,
       true,
       {notSettable}},
      {"a local file system",
       0xEF53,
       kCifsCreationAttribute,
       true,
       false,
       false,
       false,
       false,
       true,
       {notSettable}},
      {"attribute refused",
       kCifsMagic,
       kCifsCreationAttribute,
       true,
       true,
       false,
       false,
       false,
       false,
       {denied}},
      {"times refused: the creation time is put back",
       kCifsMagic,
       kCifsCreationAttribute,
       true,
       false,
       true,
       false,
       false,
       false,
       {denied}},
      {"a time the file system cannot hold: every time is put back",
       kCifsMagic,
       kCifsCreationAttribute,
       true,
       false,
       false,
       true,
       false,
       false,
       {notHeld}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixture::ScratchDir dir;
    const std::string path = dir.Put("file.txt", "any file");
    const std::int64_t modified = ModifiedSeconds(path);
    StandIn standIn;
    standIn.fileSystem = c.fileSystem;
    standIn.expectedName = c.name;
    standIn.answers = c.answers;
    standIn.failAttribute = c.failAttribute;
    standIn.failTimes = c.failTimes;
    if (c.clamped) standIn.earliestHeld = 981140706 + 3600;
    const std::string before = standIn.attribute;
    ScopedFileTimeCalls seam(standIn);

    testing::UpdateForm user;
    user.Put(RowSet::kFileTime, filetime_row::kCreation, "2001/02/03 04:05:06");
    user.Put(RowSet::kFileTime, filetime_row::kLastWrite, "2001/02/03 04:05:06");
    user.form.SetFileDate(path);
    EXPECT_EQ(user.Messages(), c.messages);
    EXPECT_EQ(standIn.attribute, c.creationSet ? LittleEndian(kAsked) : before);
    EXPECT_EQ(ModifiedSeconds(path), c.modifiedSet ? 981140706 : modified);
  }
}

TEST(FileDateTest, ACreationTimeLeftAsShownIsNotWrittenAgain) {
  // The grid shows whole seconds; the file's time has fractions of one.
  fixture::ScratchDir dir;
  const std::string path = dir.Put("file.txt", "any file");
  StandIn standIn;
  ScopedFileTimeCalls seam(standIn);
  testing::UpdateForm user;
  user.form.GetFileDate(path);
  user.Select(RowSet::kFileTime, filetime_row::kCreation);
  user.form.SetFileDate(path);
  EXPECT_EQ(user.Messages(), std::vector<std::string>{});
  EXPECT_EQ(standIn.attributeWrites, 0);
}

}  // namespace
}  // namespace tavrin
