// The rollback journal: its bytes, what every open does with one it finds,
// and how a change is refused, or undone, when the journal cannot do its
// part.

#include "platform/storage/Journal.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/storage/Com.h"
#include "platform/storage/Crc32.h"
#include "platform/storage/Format.h"
#include "storage/SampleDocument.h"
#include "support/FaultySystemCalls.h"
#include "support/ScratchDir.h"

namespace tavrin::storage {
namespace {

using fixture::FaultySystemCalls;
using fixture::ReadWholeFile;
using Call = FaultySystemCalls::Call;
using Fault = FaultySystemCalls::Fault;

SavedRegion Region(std::uint64_t offset, std::string original, unsigned seed) {
  const std::string intended = Pattern(original.size(), seed);
  return {offset, std::move(original), BlockChecks(offset, intended)};
}

// Regions on block bounds and across them, and one of two bytes.
const JournalContent kContent{{0x0000000800000001u, 4711, 1700000000123456789u},
                              0x1234567890ABCDEFu,
                              5000,
                              6000,
                              {Region(0, Pattern(512, 1), 11), Region(700, Pattern(400, 2), 12),
                               Region(1536, Pattern(1024, 3), 13), Region(4990, "ab", 14)}};

std::string Sealed(const JournalContent& content) {
  std::string bytes = EncodeJournal(content);
  bytes.replace(kJournalSealOffset, 4, JournalSeal());
  return bytes;
}

JournalState Decoded(std::string_view bytes, JournalContent& content) {
  std::string problem;
  const JournalState state = DecodeJournal(bytes, content, problem);
  EXPECT_EQ(state == JournalState::kUnusable, !problem.empty());
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
  EXPECT_EQ(decoded.document, kContent.document);
  EXPECT_EQ(decoded.boot, kContent.boot);
  EXPECT_EQ(decoded.originalLength, kContent.originalLength);
  EXPECT_EQ(decoded.finalLength, kContent.finalLength);
  ASSERT_EQ(decoded.regions.size(), kContent.regions.size());
  for (std::size_t i = 0; i < kContent.regions.size(); ++i) {
    EXPECT_EQ(decoded.regions[i].offset, kContent.regions[i].offset);
    EXPECT_EQ(decoded.regions[i].bytes, kContent.regions[i].bytes);
    EXPECT_EQ(decoded.regions[i].intended, kContent.regions[i].intended);
  }
  // One check per block a region touches: 700..1100 falls into two.
  EXPECT_EQ(BlockPieces(700, 400), (std::vector<std::size_t>{324, 76}));
  ASSERT_EQ(Decoded(Sealed({{}, 0, 0, 0, {}}), decoded), JournalState::kSound);
  EXPECT_TRUE(decoded.regions.empty());
}

// Whatever a crash or a power cut leaves of a journal before its seal
// reached the disk means its document was never touched; but a file that
// does not begin as one of ours is not taken for one, however it is named.
TEST(JournalFormatTest, OnlyWhatBeginsAsOurJournalIsAnUnfinishedOne) {
  const std::string unsealed = EncodeJournal(kContent);
  JournalContent decoded;
  for (std::size_t length = 0; length <= unsealed.size(); ++length) {
    EXPECT_EQ(Decoded(unsealed.substr(0, length), decoded), JournalState::kUnsealed) << length;
  }
  std::string sealNoise = unsealed;
  sealNoise.replace(kJournalSealOffset, 4, "\x93\x1f\xc0\x07");
  EXPECT_EQ(Decoded(sealNoise, decoded), JournalState::kUnsealed);

  std::string oldVersion = Sealed(kContent);
  oldVersion[8] = 1;
  std::string oldUnsealed = unsealed;
  oldUnsealed[8] = 1;
  for (const std::string& notOurs :
       {std::string(100, '\0'), Pattern(100, 9), std::string("my notes\n"), oldVersion, oldUnsealed,
        unsealed + "x"}) {
    EXPECT_EQ(Decoded(notOurs, decoded), JournalState::kUnusable) << notOurs.substr(0, 12);
  }
}

// Damage to a sealed journal, anywhere, is never taken for a journal to
// restore from.
TEST(JournalFormatTest, DamageToASealedJournalIsAlwaysCaught) {
  const std::string sealed = Sealed(kContent);
  JournalContent decoded;
  for (std::size_t length = kJournalSealOffset + 4; length < sealed.size(); ++length) {
    EXPECT_EQ(Decoded(sealed.substr(0, length), decoded), JournalState::kUnusable) << length;
  }
  EXPECT_EQ(Decoded(sealed + "x", decoded), JournalState::kUnusable);
  for (std::size_t at = 0; at < sealed.size(); ++at) {
    for (const char flip : {'\x01', '\x80'}) {
      std::string damaged = sealed;
      damaged[at] = static_cast<char>(damaged[at] ^ flip);
      EXPECT_NE(Decoded(damaged, decoded), JournalState::kSound) << "byte " << at;
    }
  }
  // Sound bytes that still make no sense as a journal.
  EXPECT_EQ(Decoded(Sealed({{}, 0, 100, 100, {Region(90, Pattern(20, 3), 4)}}), decoded),
            JournalState::kUnusable);
  EXPECT_EQ(Decoded(Sealed({{}, 0, 100, 99, {}}), decoded), JournalState::kUnusable);
}

// The header alone says how much there is to read, and that is bounded by
// the document's length: what claims more is refused before it is read.
TEST(JournalFormatTest, TheHeaderBoundsTheJournalBeforeTheRestIsRead) {
  const std::string sealed = Sealed(kContent);
  JournalHeader header;
  std::string problem;
  const std::string_view head = std::string_view(sealed).substr(0, kJournalHeaderBytes);
  ASSERT_EQ(CheckJournalHeader(head, sealed.size(), header, problem), JournalState::kSealed);
  EXPECT_EQ(header.length, sealed.size());
  EXPECT_EQ(CheckJournalHeader(head, sealed.size() + 1, header, problem), JournalState::kUnusable);
  const auto claiming = [&](std::size_t at, std::uint64_t value) {
    std::string changed(head);
    StoreU64(changed, at, value);
    return CheckJournalHeader(changed, std::uint64_t{200} << 30, header, problem);
  };
  EXPECT_EQ(claiming(72, std::uint64_t{200} << 30), JournalState::kUnusable);  // saved bytes
  EXPECT_EQ(claiming(64, 5000), JournalState::kUnusable);                      // regions
  EXPECT_EQ(claiming(80, 5000), JournalState::kUnusable);                      // block checks
  EXPECT_EQ(claiming(64, ~std::uint64_t{0}), JournalState::kUnusable);
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
  struct stat document {};
  ASSERT_EQ(stat(path.c_str(), &document), 0);
  EXPECT_EQ(saved.document.inode, document.st_ino);
  EXPECT_EQ(saved.boot, CurrentBoot());
  ASSERT_FALSE(saved.regions.empty());
  // What the change, run to its end, makes of the same document.
  const std::string wholePath = dir.Put("whole.doc", original);
  {
    Opened whole = OpenDocument(wholePath);
    EXPECT_EQ(whole.file->ReplaceStream(*whole.file->FindRootStream(kSummary16), moved), S_OK);
  }
  const std::string intended = ReadWholeFile(wholePath);
  EXPECT_EQ(saved.finalLength, intended.size());
  std::uint64_t total = 0;
  for (const SavedRegion& region : saved.regions) {
    ASSERT_LE(region.offset + region.bytes.size(), original.size());
    EXPECT_EQ(region.bytes, original.substr(region.offset, region.bytes.size()));
    EXPECT_EQ(region.intended,
              BlockChecks(region.offset, intended.substr(region.offset, region.bytes.size())));
    total += region.bytes.size();
  }
  // The tables, the directory and the header, not the whole file.
  EXPECT_LT(total, original.size() / 4);
}

TEST_F(JournalTest, OpenRollsBackWhatACrashLeftAndRemovesTheJournal) {
  CrashMidChange();
  ASSERT_GT(ReadWholeFile(path).size(), original.size());
  Opened reopened = OpenDocument(path);
  ASSERT_EQ(reopened.hr, TAVRIN_S_ROLLEDBACK) << reopened.error;
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
  constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  tavrin::ComPtr<tavrin::IStorage> storage;
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put()),
            TAVRIN_S_ROLLEDBACK);
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
  // Said once: the next storage of the file, kept by the scope, has nothing
  // more to tell.
  storage.Reset();
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put()), S_OK);
}

TEST_F(JournalTest, TheJournalIsFoundWhateverNameTheDocumentIsOpenedBy) {
  fixture::ScratchDir elsewhere;
  const std::string link = (elsewhere.path() / "link.doc").string();
  std::filesystem::create_symlink(path, link);
  CrashMidChange(link);
  EXPECT_FALSE(std::filesystem::exists(link + ".tavrin-journal"));
  EXPECT_EQ(OpenDocument(path).hr, TAVRIN_S_ROLLEDBACK);
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
  EXPECT_EQ(JournalPathOf(link), std::filesystem::canonical(path).string() + ".tavrin-journal");
}

// A name of 241 to 255 bytes (some 81 Japanese characters) has no room for
// the suffix: its journal keeps as much of the name as fits, cut where a
// character begins, with a hash of all of it, and every open finds it there.
// A name that fits keeps the plain journal name, as journals already left
// are named.
TEST_F(JournalTest, ANameWithNoRoomForTheSuffixStillHasAJournal) {
  std::string name;
  for (int i = 0; i < 81; ++i) name += "文";
  name += ".doc";
  const std::string longPath = dir.Put(name, original);
  const std::string longJournal = JournalPathFor(longPath);
  const std::string journalName = std::filesystem::path(longJournal).filename().string();
  EXPECT_LE(journalName.size(), std::size_t{NAME_MAX});
  EXPECT_EQ(std::filesystem::path(longJournal).parent_path(), dir.path());
  EXPECT_TRUE(journalName.ends_with(".tavrin-journal")) << journalName;
  const std::size_t kept = journalName.find('.');
  EXPECT_GT(kept, 200u);
  EXPECT_EQ(kept % 3, 0u) << "cut inside a character";
  EXPECT_EQ(journalName.substr(0, kept), name.substr(0, kept));
  EXPECT_NE(JournalPathFor(longPath.substr(0, longPath.size() - 4) + ".xls"), longJournal);
  const std::string fits = (dir.path() / std::string(240, 'n')).string();
  EXPECT_EQ(JournalPathFor(fits), fits + ".tavrin-journal");

  FaultySystemCalls crash;
  crash.Break({.n = 2, .fault = Fault::kCrash, .call = Call::kWriteAt, .file = name});
  ASSERT_EQ(Change(crash, longPath), E_FAIL);
  ASSERT_NE(ReadWholeFile(longPath), original);
  ASSERT_TRUE(std::filesystem::exists(longJournal));
  EXPECT_EQ(JournalPathOf(longPath), JournalPathFor(std::filesystem::canonical(longPath).string()));
  Opened reopened = OpenDocument(longPath);
  ASSERT_EQ(reopened.hr, TAVRIN_S_ROLLEDBACK) << reopened.error;
  EXPECT_EQ(ReadWholeFile(longPath), original);
  EXPECT_FALSE(std::filesystem::exists(longJournal));
  EXPECT_EQ(reopened.file->ReplaceStream(*reopened.file->FindRootStream(kSummary16), moved), S_OK);
  EXPECT_EQ(Summary(*reopened.file), moved);
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
      {"a crash before its first flush", [&] { crashInJournal(3); }},
      {"a crash before its seal", [&] { crashInJournal(4); }},
      {"a crash in the middle of its header",
       [&] {
         crashInJournal(4);
         fixture::WriteWholeFile(journal, ReadWholeFile(journal).substr(0, 40));
       }},
      {"noise where its seal was going",
       [&] {
         crashInJournal(4);
         std::string left = ReadWholeFile(journal);
         fixture::WriteWholeFile(journal, left.replace(kJournalSealOffset, 4, "\x93\x1f\xc0\x07"));
       }},
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

// The real calls, counting what is read, with the journal belonging to
// another user when `journalOwner` says so.
class Watching : public FaultySystemCalls {
 public:
  std::optional<uid_t> journalOwner;

  int Stat(int fd, struct statx& info) override {
    const int result = FaultySystemCalls::Stat(fd, info);
    if (journalOwner && fixture::PathOfDescriptor(fd).ends_with(".tavrin-journal")) {
      info.stx_uid = *journalOwner;
    }
    return result;
  }
};

// What is in the journal's place, enough to tell that it was left alone.
std::string Fingerprint(const std::string& path) {
  const std::filesystem::file_status status = std::filesystem::symlink_status(path);
  std::string print = std::to_string(static_cast<int>(status.type())) + " " +
                      std::to_string(static_cast<int>(status.permissions()));
  if (status.type() != std::filesystem::file_type::regular) return print;
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return print + " " + std::to_string(std::filesystem::file_size(path)) + " " +
         std::to_string(std::filesystem::hard_link_count(path)) + " " + head;
}

// Anyone who may create a file in the folder can put one in the journal's
// place, and another program may save the document after a crash left its
// journal: only a journal that is ours, made for this file, and explained by
// a crash of its change is rolled back. Nothing else is removed or read
// whole, and neither file is touched.
TEST_F(JournalTest, AJournalThatCannotBeTrustedRefusesTheOpenAndStays) {
  std::string leftJournal;
  JournalContent saved;
  const auto writeJournal = [&](std::string bytes) {
    std::filesystem::remove(journal);
    fixture::WriteWholeFile(journal, bytes);
    std::filesystem::permissions(
        journal, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  };
  struct Case {
    const char* what;
    std::function<void()> make;
    std::optional<uid_t> journalOwner = std::nullopt;
  } cases[] = {
      {"a flipped bit",
       [&] {
         std::string flipped = leftJournal;
         flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 4);
         writeJournal(flipped);
       }},
      {"cut short", [&] { writeJournal(leftJournal.substr(0, 600)); }},
      {"a symbolic link",
       [&] {
         std::filesystem::remove(journal);
         std::filesystem::create_symlink(dir.Put("real", leftJournal), journal);
       }},
      {"a folder",
       [&] {
         std::filesystem::remove(journal);
         std::filesystem::create_directory(journal);
       }},
      {"a named pipe",
       [&] {
         std::filesystem::remove(journal);
         ASSERT_EQ(mkfifo(journal.c_str(), 0600), 0);
       }},
      {"noise", [&] { writeJournal(Pattern(3000, 5)); }},
      {"a file of the user's that only has the name", [&] { writeJournal("my notes\n"); }},
      {"a journal of the format before",
       [&] {
         std::string older = leftJournal;
         older[8] = 1;
         writeJournal(older);
       }},
      {"another user's", [] {}, 4242},
      {"a second name of another file",
       [&] { std::filesystem::create_hard_link(journal, dir.path() / "second name"); }},
      {"writable by its group",
       [&] {
         std::filesystem::permissions(journal, std::filesystem::perms::group_write,
                                      std::filesystem::perm_options::add);
       }},
      {"writable by anyone",
       [&] {
         std::filesystem::permissions(journal, std::filesystem::perms::others_write,
                                      std::filesystem::perm_options::add);
       }},
      {"made before another program saved the document as a new file",
       [&] { std::filesystem::rename(dir.Put("saved.tmp", ReadWholeFile(path)), path); }},
      {"made before another program changed the document in place",
       [&] {
         std::string changed = ReadWholeFile(path);
         changed[saved.regions.front().offset] ^= static_cast<char>(0x5A);
         fixture::WriteWholeFile(path, changed);
       }},
      {"the document grown past what the change makes it",
       [&] { fixture::WriteWholeFile(path, ReadWholeFile(path) + std::string(512, 'x')); }},
      {"the document shorter than before the change",
       [&] { std::filesystem::resize_file(path, original.size() - 512); }},
      {"2 GiB of something else",
       [&] {
         writeJournal("not a journal");
         std::filesystem::resize_file(journal, std::uint64_t{2} << 30);
       }},
      {"a sealed header claiming 200 GiB",
       [&] {
         std::string claim = leftJournal.substr(0, kJournalHeaderBytes);
         StoreU64(claim, 72, std::uint64_t{200} << 30);
         writeJournal(claim);
         std::filesystem::resize_file(journal, std::uint64_t{200} << 30);
       }},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(journal);
    std::filesystem::remove(dir.path() / "second name");
    fixture::WriteWholeFile(path, original);
    CrashMidChange();
    leftJournal = ReadWholeFile(journal);
    ASSERT_EQ(Decoded(leftJournal, saved), JournalState::kSound);
    c.make();
    const std::string leftDocument = ReadWholeFile(path);
    const std::string before = Fingerprint(journal);
    Watching calls;
    calls.journalOwner = c.journalOwner;
    Opened reopened;
    {
      ScopedSystemCalls scoped(calls);
      reopened = OpenDocument(path);
    }
    EXPECT_EQ(reopened.hr, TAVRIN_E_UNUSABLEJOURNAL) << c.what;
    EXPECT_NE(reopened.error.find(journal), std::string::npos) << c.what << ": " << reopened.error;
    EXPECT_EQ(Fingerprint(journal), before) << c.what;
    EXPECT_EQ(ReadWholeFile(path), leftDocument) << c.what;
    EXPECT_LT(calls.bytesRead(), 64u << 10) << c.what;
  }
  std::filesystem::remove(journal);
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
    // A journal left restores what the document already holds; the user is
    // still told the change did not happen.
    EXPECT_EQ(OpenDocument(path).hr, lasting ? TAVRIN_S_ROLLEDBACK : S_OK) << lasting;
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
  EXPECT_EQ(OpenDocument(path).hr, TAVRIN_S_ROLLEDBACK);
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(std::filesystem::exists(journal));
}

}  // namespace
}  // namespace tavrin::storage
