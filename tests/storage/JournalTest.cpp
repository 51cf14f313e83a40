// The rollback journal: its bytes, what every open does with one it finds,
// and how a change is refused, or undone, when the journal cannot do its
// part.

#include "platform/storage/Journal.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/storage/Com.h"
#include "platform/storage/Crc32.h"
#include "storage/SampleDocument.h"
#include "support/FaultySystemCalls.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

using fixture::FaultySystemCalls;
using fixture::ReadWholeFile;
using Call = FaultySystemCalls::Call;
using Fault = FaultySystemCalls::Fault;

const JournalContent kContent{5000, {{0, Pattern(512, 1)}, {1536, Pattern(1024, 2)}, {4990, "ab"}}};

std::string Sealed(const JournalContent& content) {
  std::string bytes = EncodeJournal(content);
  bytes.replace(kJournalSealOffset, 4, JournalSeal());
  return bytes;
}

JournalState Decoded(std::string_view bytes, JournalContent& content) {
  std::string problem;
  const JournalState state = DecodeJournal(bytes, content, problem);
  EXPECT_EQ(state == JournalState::kDamaged, !problem.empty());
  return state;
}

TEST(JournalFormatTest, Crc32GivesTheCommonCheckValueAndGoesOnInPieces) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
  EXPECT_EQ(Crc32("6789", Crc32("12345")), 0xCBF43926u);
}

TEST(JournalFormatTest, ASealedJournalGivesBackWhatWasSaved) {
  JournalContent decoded;
  ASSERT_EQ(Decoded(Sealed(kContent), decoded), JournalState::kSound);
  EXPECT_EQ(decoded.originalLength, kContent.originalLength);
  ASSERT_EQ(decoded.regions.size(), kContent.regions.size());
  for (std::size_t i = 0; i < kContent.regions.size(); ++i) {
    EXPECT_EQ(decoded.regions[i].offset, kContent.regions[i].offset);
    EXPECT_EQ(decoded.regions[i].bytes, kContent.regions[i].bytes);
  }
  ASSERT_EQ(Decoded(Sealed({0, {}}), decoded), JournalState::kSound);
  EXPECT_TRUE(decoded.regions.empty());
}

// Whatever a crash or a power cut leaves of a journal before its seal
// reached the disk means its document was never touched.
TEST(JournalFormatTest, AJournalWithoutItsSealIsUnfinished) {
  const std::string unsealed = EncodeJournal(kContent);
  JournalContent decoded;
  for (std::size_t length = 0; length <= unsealed.size(); ++length) {
    EXPECT_EQ(Decoded(unsealed.substr(0, length), decoded), JournalState::kUnsealed) << length;
  }
  EXPECT_EQ(Decoded(std::string(100, '\0'), decoded), JournalState::kUnsealed);
  EXPECT_EQ(Decoded(Pattern(100, 9), decoded), JournalState::kUnsealed);
}

// Damage to a sealed journal, anywhere, is never taken for a journal to
// restore from.
TEST(JournalFormatTest, DamageToASealedJournalIsAlwaysCaught) {
  const std::string sealed = Sealed(kContent);
  JournalContent decoded;
  for (std::size_t length = kJournalSealOffset + 4; length < sealed.size(); ++length) {
    EXPECT_EQ(Decoded(sealed.substr(0, length), decoded), JournalState::kDamaged) << length;
  }
  EXPECT_EQ(Decoded(sealed + "x", decoded), JournalState::kDamaged);
  for (std::size_t at = 0; at < sealed.size(); ++at) {
    for (const char flip : {'\x01', '\x80'}) {
      std::string damaged = sealed;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      EXPECT_NE(Decoded(damaged, decoded), JournalState::kSound) << "byte " << at;
    }
  }
  // Sound bytes that still make no sense as a journal.
  EXPECT_EQ(Decoded(Sealed({100, {{90, Pattern(20, 3)}}}), decoded), JournalState::kDamaged);
}

class JournalTest : public ::testing::Test {
 protected:
  // Moving the summary out of the mini stream grows the file and writes
  // every stage of a commit.
  const std::string original = SampleDocument().Build().bytes;
  const std::string moved = Pattern(6000, 40);
  fixture::ScratchDir dir;
  const std::string path = dir.Put("j.doc", original);
  const std::string journal = path + ".tavrin-journal";

  // Runs the change with `faults` in force; gives its result, or E_FAIL for
  // a crash.
  HRESULT Change(FaultySystemCalls& faults, const std::string& opened = {}) {
    Opened document = OpenDocument(opened.empty() ? path : opened);
    EXPECT_EQ(document.hr, S_OK) << document.error;
    if (document.hr != S_OK) return document.hr;
    ScopedSystemCalls scoped(faults);
    try {
      return document.file->ReplaceStream(*document.file->FindRootStream(kSummary16), moved);
    } catch (const fixture::SimulatedCrash&) {
      return E_FAIL;
    }
  }

  // Leaves what a crash at the document's second write leaves: a part
  // written document and its sealed journal.
  void CrashMidChange(const std::string& opened = {}) {
    FaultySystemCalls crash;
    crash.Break({.n = 2, .fault = Fault::kCrash, .call = Call::kWriteAt, .file = "/j.doc"});
    ASSERT_EQ(Change(crash, opened), E_FAIL);
    ASSERT_NE(ReadWholeFile(path), original);
    ASSERT_TRUE(std::filesystem::exists(journal));
  }

  std::string Summary(CompoundFile& file) {
    std::string bytes;
    EXPECT_EQ(file.ReadStream(*file.FindRootStream(kSummary16), bytes), S_OK);
    return bytes;
  }
};

TEST_F(JournalTest, TheJournalHoldsWhatTheChangeOverwritesOnlyForItsOwner) {
  CrashMidChange();
  struct stat info {};
  ASSERT_EQ(stat(journal.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  JournalContent saved;
  ASSERT_EQ(Decoded(ReadWholeFile(journal), saved), JournalState::kSound);
  EXPECT_EQ(saved.originalLength, original.size());
  ASSERT_FALSE(saved.regions.empty());
  std::uint64_t total = 0;
  for (const SavedRegion& region : saved.regions) {
    ASSERT_LE(region.offset + region.bytes.size(), original.size());
    EXPECT_EQ(region.bytes, original.substr(region.offset, region.bytes.size()));
    total += region.bytes.size();
  }
  // The tables, the directory and the header, not the whole file.
  EXPECT_LT(total, original.size() / 4);
}

TEST_F(JournalTest, OpenRollsBackWhatACrashLeftAndRemovesTheJournal) {
  CrashMidChange();
  ASSERT_GT(ReadWholeFile(path).size(), original.size());
  Opened reopened = OpenDocument(path);
  ASSERT_EQ(reopened.hr, S_OK) << reopened.error;
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
  EXPECT_EQ(Summary(*reopened.file), Pattern(400, 1));
  // The document is as usable as it ever was.
  ASSERT_EQ(reopened.file->ReplaceStream(*reopened.file->FindRootStream(kSummary16), moved), S_OK);
  EXPECT_EQ(Summary(*reopened.file), moved);
}

TEST_F(JournalTest, AnOpenMadeAheadRollsBackWhenTheStorageTakesIt) {
  CrashMidChange();
  const tavrin::StorageReuseScope scope;
  ASSERT_NE(tavrin::OpenStorageAhead(path.c_str()), nullptr);
  tavrin::ComPtr<tavrin::IStorage> storage;
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                           storage.Put()),
            S_OK);
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
}

TEST_F(JournalTest, TheJournalIsFoundWhateverNameTheDocumentIsOpenedBy) {
  fixture::ScratchDir elsewhere;
  const std::string link = (elsewhere.path() / "link.doc").string();
  std::filesystem::create_symlink(path, link);
  CrashMidChange(link);
  EXPECT_FALSE(std::filesystem::exists(link + ".tavrin-journal"));
  EXPECT_EQ(OpenDocument(path).hr, S_OK);
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
  EXPECT_EQ(JournalPathOf(link), std::filesystem::canonical(path).string() + ".tavrin-journal");
}

// A document with no name in any folder has nowhere to keep a journal: it
// can be read, never changed.
TEST_F(JournalTest, AnAnonymousDocumentIsReadButNeverChanged) {
  const int fd = memfd_create("anonymous.doc", MFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, original.data(), original.size()), static_cast<ssize_t>(original.size()));
  {
    Opened document = OpenDocument("/proc/self/fd/" + std::to_string(fd));
    ASSERT_EQ(document.hr, S_OK) << document.error;
    EXPECT_EQ(Summary(*document.file), Pattern(400, 1));
    EXPECT_TRUE(
        FAILED(document.file->ReplaceStream(*document.file->FindRootStream(kSummary16), moved)));
    EXPECT_TRUE(document.file->usable());
  }
  std::string now(original.size() + 1, '\0');
  EXPECT_EQ(pread(fd, now.data(), now.size(), 0), static_cast<ssize_t>(original.size()));
  now.pop_back();
  EXPECT_EQ(now, original);
  close(fd);
}

TEST_F(JournalTest, AJournalWhoseChangeNeverBeganIsRemovedAndTheDocumentLeftAlone) {
  const auto crashInJournal = [this](std::size_t call) {
    FaultySystemCalls crash;
    crash.Break({.n = call, .fault = Fault::kCrash, .file = ".tavrin-journal"});
    EXPECT_EQ(Change(crash), E_FAIL);
  };
  struct Case {
    const char* what;
    std::function<void()> leave;
  } cases[] = {
      {"an empty file", [this] { fixture::WriteWholeFile(journal, ""); }},
      {"noise", [this] { fixture::WriteWholeFile(journal, Pattern(3000, 5)); }},
      {"a crash before its first flush", [&] { crashInJournal(3); }},
      {"a crash before its seal", [&] { crashInJournal(4); }},
  };
  for (const Case& c : cases) {
    fixture::WriteWholeFile(path, original);
    c.leave();
    ASSERT_TRUE(std::filesystem::exists(journal)) << c.what;
    Opened reopened = OpenDocument(path);
    EXPECT_EQ(reopened.hr, S_OK) << c.what << ": " << reopened.error;
    EXPECT_FALSE(std::filesystem::exists(journal)) << c.what;
    EXPECT_EQ(ReadWholeFile(path), original) << c.what;
  }
}

TEST_F(JournalTest, AJournalThatCannotBeTrustedRefusesTheOpenAndStays) {
  CrashMidChange();
  const std::string leftDocument = ReadWholeFile(path);
  const std::string leftJournal = ReadWholeFile(journal);
  std::string flipped = leftJournal;
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 4);
  struct Case {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"a flipped bit", [&] { fixture::WriteWholeFile(journal, flipped); }},
      {"cut short", [&] { fixture::WriteWholeFile(journal, leftJournal.substr(0, 600)); }},
      {"a symbolic link",
       [&] { std::filesystem::create_symlink(dir.Put("real", leftJournal), journal); }},
      {"a folder", [&] { std::filesystem::create_directory(journal); }},
      {"a named pipe", [&] { ASSERT_EQ(mkfifo(journal.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(journal);
    c.make();
    const auto before = std::filesystem::symlink_status(journal).type();
    Opened reopened = OpenDocument(path);
    EXPECT_EQ(reopened.hr, TAVRIN_E_UNUSABLEJOURNAL) << c.what;
    EXPECT_NE(reopened.error.find(journal), std::string::npos) << c.what << ": " << reopened.error;
    EXPECT_EQ(std::filesystem::symlink_status(journal).type(), before) << c.what;
    EXPECT_EQ(ReadWholeFile(path), leftDocument) << c.what;
  }
}

// Every failure to get a journal on disk refuses the change before the
// document is touched, and the object, whose picture of the file is still
// right, goes on working once the cause is gone.
TEST_F(JournalTest, AChangeWithoutAWayBackIsRefusedBeforeTheDocumentIsTouched) {
  struct Case {
    const char* what;
    FaultySystemCalls::Breakage breakage;
    HRESULT expected;
  } cases[] = {
      {"a journal in the way",
       {.n = 1,
        .fault = Fault::kError,
        .error = EEXIST,
        .call = Call::kOpen,
        .file = ".tavrin-journal"},
       TAVRIN_E_UNUSABLEJOURNAL},
      {"a folder that may not be written",
       {.n = 1,
        .fault = Fault::kError,
        .error = EACCES,
        .call = Call::kOpen,
        .file = ".tavrin-journal"},
       STG_E_ACCESSDENIED},
      {"a read-only file system",
       {.n = 1,
        .fault = Fault::kError,
        .error = EROFS,
        .call = Call::kOpen,
        .file = ".tavrin-journal"},
       STG_E_ACCESSDENIED},
      {"a full disk",
       {.n = 1,
        .fault = Fault::kShort,
        .error = ENOSPC,
        .call = Call::kWriteAt,
        .file = ".tavrin-journal"},
       STG_E_MEDIUMFULL},
      {"a failed flush of the journal",
       {.n = 1,
        .fault = Fault::kError,
        .error = EIO,
        .call = Call::kSync,
        .file = ".tavrin-journal"},
       STG_E_WRITEFAULT},
      {"a failed seal",
       {.n = 2,
        .fault = Fault::kError,
        .error = EIO,
        .call = Call::kWriteAt,
        .file = ".tavrin-journal"},
       STG_E_WRITEFAULT},
      {"a failed flush of the folder",
       {.n = 1,
        .fault = Fault::kError,
        .error = EIO,
        .call = Call::kSync,
        .file = "/" + dir.path().filename().string()},
       STG_E_WRITEFAULT},
  };
  for (const Case& c : cases) {
    fixture::WriteWholeFile(path, original);
    Opened document = OpenDocument(path);
    ASSERT_EQ(document.hr, S_OK);
    const auto summary = document.file->FindRootStream(kSummary16);
    FaultySystemCalls faulty;
    faulty.Break(c.breakage);
    {
      ScopedSystemCalls scoped(faulty);
      EXPECT_EQ(document.file->ReplaceStream(*summary, moved), c.expected) << c.what;
    }
    EXPECT_EQ(faulty.Count(Call::kWriteAt, "/j.doc"), 0u) << c.what;
    EXPECT_EQ(ReadWholeFile(path), original) << c.what;
    EXPECT_FALSE(std::filesystem::exists(journal)) << c.what;
    EXPECT_TRUE(document.file->usable()) << c.what;
    EXPECT_EQ(document.file->ReplaceStream(*summary, moved), S_OK) << c.what;
    EXPECT_EQ(Summary(*document.file), moved) << c.what;
  }
}

TEST_F(JournalTest, AJournalThatAppearsIsLeftAloneAndRefusesTheChange) {
  Opened document = OpenDocument(path);
  fixture::WriteWholeFile(journal, "someone else's");
  EXPECT_EQ(document.file->ReplaceStream(*document.file->FindRootStream(kSummary16), moved),
            TAVRIN_E_UNUSABLEJOURNAL);
  EXPECT_EQ(ReadWholeFile(journal), "someone else's");
  EXPECT_EQ(ReadWholeFile(path), original);
}

// Removing the journal is the commit point: while it cannot be removed the
// change is not made, and the document must agree with the journal.
TEST_F(JournalTest, AJournalThatCannotBeRemovedUndoesTheChange) {
  for (const bool lasting : {false, true}) {
    fixture::WriteWholeFile(path, original);
    FaultySystemCalls faulty;
    faulty.Break(
        {.n = 1, .fault = Fault::kError, .error = EIO, .call = Call::kUnlink, .lasting = lasting});
    EXPECT_EQ(Change(faulty), STG_E_WRITEFAULT) << lasting;
    EXPECT_EQ(ReadWholeFile(path), original) << lasting;
    EXPECT_EQ(std::filesystem::exists(journal), lasting);
    EXPECT_EQ(OpenDocument(path).hr, S_OK) << lasting;
    EXPECT_EQ(ReadWholeFile(path), original) << lasting;
    EXPECT_FALSE(std::filesystem::exists(journal)) << lasting;
  }
}

TEST_F(JournalTest, WhenPuttingBackFailsTooTheJournalIsLeftForTheNextOpen) {
  FaultySystemCalls faulty;
  faulty.Break({.n = 2,
                .fault = Fault::kError,
                .error = EIO,
                .call = Call::kWriteAt,
                .file = "/j.doc",
                .lasting = true});
  {
    Opened document = OpenDocument(path);
    ScopedSystemCalls scoped(faulty);
    const auto summary = document.file->FindRootStream(kSummary16);
    EXPECT_EQ(document.file->ReplaceStream(*summary, moved), STG_E_WRITEFAULT);
    EXPECT_NE(document.file->LastError().find("journal is left"), std::string::npos)
        << document.file->LastError();
    EXPECT_EQ(document.file->ReplaceStream(*summary, moved), STG_E_REVERTED);
  }
  EXPECT_NE(ReadWholeFile(path), original);
  EXPECT_TRUE(std::filesystem::exists(journal));
  EXPECT_EQ(OpenDocument(path).hr, S_OK);
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
}

}  // namespace
}  // namespace tavrin::storage
