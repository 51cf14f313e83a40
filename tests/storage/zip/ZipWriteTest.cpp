// Changing packages Python's zipfile built: in place when the new content
// fits the member's old space, by shifting what follows when it does not,
// and appending new members; Python reads every result, and every member the
// change does not name keeps each byte of its local header and data.

#include <gtest/gtest.h>

#include <map>

#include "storage/zip/ZipFixture.h"

namespace tavrin::storage::zip {
namespace {

using tavrin::fixture::ReadWholeFile;
using tavrin::fixture::ScratchDir;

// Counts the bytes written to the document itself (not its journal).
class WriteCounter : public SystemCalls {
 public:
  explicit WriteCounter(int documentFd) : fd_(documentFd) {}
  ssize_t WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) override {
    if (fd == fd_) written += count;
    return SystemCalls::WriteAt(fd, buffer, count, offset);
  }
  std::uint64_t written = 0;

 private:
  int fd_;
};

// Incompressible text: grows a deflated member past its old space.
std::string Noise(std::size_t n) {
  std::string text;
  std::uint32_t x = 12345;
  while (text.size() < n) {
    x = x * 1103515245u + 12345u;
    text += static_cast<char>('!' + (x >> 16) % 90);
  }
  return text;
}

const std::string kCore = "<core>" + std::string(40, ' ') + "Author: Someone Rather Long</core>";

// Six members with the properties in the middle, as most real packages
// have them.
const std::string kPackage =
    "z.writestr(zipfile.ZipInfo('mimetype'), 'application/x-test', zipfile.ZIP_STORED)\n"
    "z.writestr('[Content_Types].xml', '<Types>' + 'type ' * 200 + '</Types>')\n"
    "z.writestr('docProps/core.xml', '" +
    kCore +
    "')\n"
    "z.writestr('docProps/app.xml', '<app>' + 'Application ' * 20 + '</app>', compresslevel=0)\n"
    "z.writestr(zipfile.ZipInfo('stored.xml'), '<s>' + 'y' * 300 + '</s>', zipfile.ZIP_STORED)\n"
    "z.writestr('word/document.xml', '<doc>' + 'body ' * 2000 + '</doc>')\n"
    "z.comment = b'kept comment'\n";

TEST(ZipWriteTest, ChangesOnlyWhatItNamesInPlaceOrByShifting) {
  struct Case {
    const char* name;
    bool streamed;
    std::vector<Archive::Change> changes;
    bool inPlace;
  };
  const std::string shorter = "<core>Author: S</core>";
  const std::string longer = kCore + "<x/>";
  const std::vector<Case> cases = {
      {"shorter", false, {{"docProps/core.xml", shorter}}, true},
      {"a few bytes longer", false, {{"docProps/core.xml", longer}}, false},
      {"longer, where the old writer compressed loosely",
       true,
       {{"docProps/app.xml", "<app>" + std::string(300, 'A') + "</app>"}},
       true},
      {"shorter, with descriptors", true, {{"docProps/core.xml", shorter}}, true},
      {"stored, shorter", false, {{"stored.xml", "<s>z</s>"}}, true},
      {"grows", false, {{"docProps/core.xml", Noise(3000)}}, false},
      {"grows, with descriptors", true, {{"docProps/core.xml", Noise(3000)}}, false},
      {"stored, grows", false, {{"stored.xml", Noise(400)}}, false},
      {"the first member grows", false, {{"mimetype", "application/x-test-longer"}}, false},
      {"a new member", false, {{"docProps/custom.xml", "<Properties/>"}}, false},
      {"two at once, one fits, one grows, one new",
       true,
       {{"docProps/core.xml", shorter},
        {"word/document.xml", Noise(5000)},
        {"docProps/custom.xml", "<Properties/>"}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string path = dir.Put("a.docx", "");
    const std::string before = fixture::BuildZip(path, kPackage, c.streamed);
    std::map<std::string, std::string> original;
    std::vector<std::string> order;
    {
      auto package = fixture::Open(path);
      ASSERT_TRUE(package.status.ok()) << package.status.text();
      for (const Member& m : package.archive->members()) {
        original[m.name] = fixture::MemberBytes(before, m);
        order.push_back(m.name);
      }
      WriteCounter counter(package.file->descriptor());
      {
        ScopedSystemCalls scoped(counter);
        const Status written = package.archive->Write(*package.file, c.changes);
        ASSERT_TRUE(written.ok()) << written.text();
      }
      if (c.inPlace) {
        EXPECT_LT(counter.written, 1024u);
      }
      // The Archive describes the new file.
      for (const Archive::Change& change : c.changes) {
        const Member* m = package.archive->Find(change.name);
        ASSERT_NE(m, nullptr);
        std::string content;
        ASSERT_TRUE(package.archive->Read(*m, 1 << 20, content).ok());
        EXPECT_TRUE(content == change.content);
      }
    }
    const std::string after = ReadWholeFile(path);
    EXPECT_EQ(after.size() == before.size(), c.inPlace);
    EXPECT_EQ(fixture::PythonTestZip(path), "OK");
    auto reopened = fixture::Open(path);
    ASSERT_TRUE(reopened.status.ok()) << reopened.status.text();
    std::vector<std::string> newOrder;
    for (const Member& m : reopened.archive->members()) newOrder.push_back(m.name);
    for (const Archive::Change& change : c.changes) {
      EXPECT_TRUE(fixture::PythonRead(path, change.name) == change.content) << change.name;
      if (original.count(change.name) == 0) order.push_back(change.name);
    }
    EXPECT_EQ(newOrder, order);
    for (const Member& m : reopened.archive->members()) {
      bool named = false;
      for (const Archive::Change& change : c.changes) named |= change.name == m.name;
      if (!named) {
        EXPECT_TRUE(fixture::MemberBytes(after, m) == original[m.name]) << m.name;
      }
    }
    EXPECT_EQ(after.substr(after.size() - 12), "kept comment");
  }
}

TEST(ZipWriteTest, PresentContentIsNoChangeAndBadChangesAreRefusedUntouched) {
  ScratchDir dir;
  const std::string path = dir.Put("a.docx", "");
  const std::string before = fixture::BuildZip(path, kPackage);
  auto package = fixture::Open(path);
  ASSERT_TRUE(package.status.ok());
  EXPECT_TRUE(package.archive->Write(*package.file, {{"docProps/core.xml", kCore}}).ok());
  EXPECT_EQ(package.archive->Write(*package.file, {{"a", "1"}, {"a", "2"}}).code(),
            STG_E_INVALIDPARAMETER);
  EXPECT_EQ(package.archive->Write(*package.file, {{"", "1"}}).code(), STG_E_INVALIDNAME);
  EXPECT_EQ(ReadWholeFile(path), before);
}

}  // namespace
}  // namespace tavrin::storage::zip
