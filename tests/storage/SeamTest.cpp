// Tests that go through the operating-system seam: a failing write is the
// change's result, puts the document back and retires the object; reading a
// document costs the same whatever its size.

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/storage/File.h"
#include "storage/SampleDocument.h"
#include "support/FaultySystemCalls.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

using Fault = fixture::FaultySystemCalls::Fault;
using Call = fixture::FaultySystemCalls::Call;

// Moving the summary out of the mini stream writes data, tables, directory
// and header, then flushes: every stage of a commit.
const std::string kMoved = Pattern(6000, 40);

// Calls of `call` that the change makes on the document itself.
std::size_t DocumentCallsOfTheChange(const std::string& bytes, Call call) {
  fixture::ScratchDir dir;
  const std::string path = dir.Put("count.doc", bytes);
  fixture::FaultySystemCalls counting;
  Opened opened = OpenDocument(path);
  ScopedSystemCalls scoped(counting);
  EXPECT_EQ(opened.file->ReplaceStream(*opened.file->FindRootStream(kSummary16), kMoved), S_OK);
  return counting.Count(call, "/count.doc");
}

TEST(SeamTest, AFailedWriteIsTheResultPutsTheDocumentBackAndRetiresTheObject) {
  const std::string original = SampleDocument().Build().bytes;
  const std::size_t writes = DocumentCallsOfTheChange(original, Call::kWriteAt);
  ASSERT_GE(writes, 4u);
  ASSERT_EQ(DocumentCallsOfTheChange(original, Call::kSync), 1u);
  struct Case {
    const char* what;
    Call call;
    std::size_t n;
    Fault fault;
    int error;
    HRESULT expected;
  } cases[] = {
      {"I/O error on the first write", Call::kWriteAt, 1, Fault::kError, EIO, STG_E_WRITEFAULT},
      {"disk full on the first write", Call::kWriteAt, 1, Fault::kError, ENOSPC, STG_E_MEDIUMFULL},
      {"quota exceeded midway", Call::kWriteAt, writes / 2 + 1, Fault::kError, EDQUOT,
       STG_E_MEDIUMFULL},
      {"disk full in the middle of a write", Call::kWriteAt, writes, Fault::kShort, ENOSPC,
       STG_E_MEDIUMFULL},
      {"I/O error on the flush", Call::kSync, 1, Fault::kError, EIO, STG_E_WRITEFAULT},
  };
  for (const Case& c : cases) {
    fixture::ScratchDir dir;
    const std::string path = dir.Put("fault.doc", original);
    fixture::FaultySystemCalls faulty;
    faulty.Break(
        {.n = c.n, .fault = c.fault, .error = c.error, .call = c.call, .file = "/fault.doc"});
    {
      Opened opened = OpenDocument(path);
      ScopedSystemCalls scoped(faulty);
      const auto summary = opened.file->FindRootStream(kSummary16);
      EXPECT_EQ(opened.file->ReplaceStream(*summary, kMoved), c.expected) << c.what;
      EXPECT_NE(opened.file->LastError().find("put back"), std::string::npos) << c.what;
      std::string bytes;
      EXPECT_EQ(opened.file->ReadStream(*summary, bytes), STG_E_REVERTED) << c.what;
      EXPECT_EQ(opened.file->ReplaceStream(*summary, kMoved), STG_E_REVERTED) << c.what;
      EXPECT_FALSE(opened.file->FindRootStream(kSummary16)) << c.what;
      // Put back at once, not left for the next open.
      EXPECT_EQ(fixture::ReadWholeFile(path), original) << c.what;
      EXPECT_FALSE(std::filesystem::exists(path + ".tavrin-journal")) << c.what;
    }
    EXPECT_EQ(OpenDocument(path).hr, S_OK) << c.what << ": the lock went with the object";
  }
}

TEST(SeamTest, ACrashMidCommitLeavesTheObjectRetiredAndTheNextOpenRollsBack) {
  fixture::ScratchDir dir;
  const std::string original = SampleDocument().Build().bytes;
  const std::string path = dir.Put("crash.doc", original);
  fixture::FaultySystemCalls crashing;
  crashing.Break({.n = 2, .fault = Fault::kCrash, .call = Call::kWriteAt, .file = "/crash.doc"});
  {
    Opened opened = OpenDocument(path);
    ScopedSystemCalls scoped(crashing);
    const auto summary = opened.file->FindRootStream(kSummary16);
    EXPECT_THROW(opened.file->ReplaceStream(*summary, kMoved), fixture::SimulatedCrash);
    EXPECT_EQ(opened.file->ReplaceStream(*summary, kMoved), STG_E_REVERTED);
  }
  EXPECT_NE(fixture::ReadWholeFile(path), original) << "the first write went through";
  EXPECT_EQ(OpenDocument(path).hr, TAVRIN_S_ROLLEDBACK);
  EXPECT_EQ(fixture::ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(path + ".tavrin-journal"));
}

TEST(SeamTest, AShortWriteIsCarriedOnToTheEnd) {
  fixture::ScratchDir dir;
  const std::string path = dir.Put("short.doc", SampleDocument().Build().bytes);
  fixture::FaultySystemCalls partial;
  partial.Break({.n = 1, .fault = Fault::kShort, .call = Call::kWriteAt, .file = "/short.doc"});
  {
    Opened opened = OpenDocument(path);
    ScopedSystemCalls scoped(partial);
    ASSERT_EQ(opened.file->ReplaceStream(*opened.file->FindRootStream(kSummary16), kMoved), S_OK);
  }
  Opened reopened = OpenDocument(path);
  std::string bytes;
  ASSERT_EQ(reopened.file->ReadStream(*reopened.file->FindRootStream(kSummary16), bytes), S_OK);
  EXPECT_EQ(bytes, kMoved);
}

TEST(SeamTest, ARefusedChangeLeavesTheObjectUsable) {
  fixture::CfbImage image = SampleDocument().Build();
  const auto& word = image.streams.at("WordDocument").units;
  image.Put32(image.FatEntryOffset(word.back()), word[0]);  // a cycle only a write walks into
  fixture::ScratchDir dir;
  Opened opened = OpenDocument(dir.Put("refused.doc", image.bytes));
  const auto entry = opened.file->FindRootStream(u"WordDocument");
  EXPECT_EQ(opened.file->ReplaceStream(*entry, "x"), STG_E_DOCFILECORRUPT);
  std::string bytes;
  EXPECT_EQ(opened.file->ReadStream(*entry, bytes), S_OK);
  EXPECT_EQ(bytes, Pattern(10000, 3));
}

// Opening a document and reading both property-set streams reads the same
// bytes from a 20 MB document as from a 1 MB one of the same structure; a
// small document is read in one call.
TEST(SeamTest, OpeningAndReadingDoNotGrowWithTheDocument) {
  struct Cost {
    std::size_t calls;
    std::uint64_t bytes;
    std::size_t fileSize;
  };
  const auto cost = [](std::size_t wordSize) {
    fixture::CfbWriter writer;
    writer.AddStream(kSummary, Pattern(400, 1));
    writer.AddStream(kDocSummary, Pattern(700, 2));
    writer.AddStream("WordDocument", std::string(wordSize, 'w'));
    fixture::ScratchDir dir;
    const std::string bytes = writer.Build().bytes;
    const std::string path = dir.Put("size.doc", bytes);
    fixture::FaultySystemCalls counting;
    ScopedSystemCalls scoped(counting);
    Opened opened = OpenDocument(path);
    std::string read;
    EXPECT_EQ(opened.file->ReadStream(*opened.file->FindRootStream(kSummary16), read), S_OK);
    EXPECT_EQ(read, Pattern(400, 1));
    EXPECT_EQ(opened.file->ReadStream(*opened.file->FindRootStream(kDocSummary16), read), S_OK);
    EXPECT_EQ(read, Pattern(700, 2));
    return Cost{counting.reads(), counting.bytesRead(), bytes.size()};
  };
  const Cost medium = cost(1 << 20);
  const Cost large = cost(20 << 20);  // past 109 FAT sectors: DIFAT sectors too
  EXPECT_GT(medium.calls, 1u);
  EXPECT_EQ(large.calls, medium.calls);
  EXPECT_EQ(large.bytes, medium.bytes);
  const Cost small = cost(20 << 10);
  EXPECT_EQ(small.calls, 1u);
  EXPECT_EQ(small.bytes, small.fileSize);
}

}  // namespace
}  // namespace tavrin::storage
