// A compound file from any bytes, opened the way the program opens documents:
// StgOpenStorage, both property sets through IPropertySetStorage::Open, every
// property they hold read with ReadMultiple, and all of it written back
// unchanged with WriteMultiple. Whatever the file, nothing crashes, leaks or
// hangs, and writing back what was read leaves every byte of the file as it
// was.
//
// Then the same bytes as the document's journal, one its owner could have
// made: whatever they hold, they were not made for this file, so no byte of
// them reaches it. The open is refused with both files as they were, or,
// for what is recognisably an unfinished journal of ours, the journal is
// removed and the open goes on as with none.
//
// Then one real change: the title replaced by a text whose length comes from
// the file's size, so that some runs move the stream across the mini-stream
// cutoff and grow the FAT. Either the write is refused and the file keeps
// every byte, or the stream holds exactly the new set and every other stream
// that read before reads as before.
//
// Input: the file's bytes.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/storage/Com.h"
#include "platform/storage/CompoundFile.h"
#include "platform/storage/Journal.h"
#include "platform/storage/PropertySet.h"

namespace tavrin {
namespace {

constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

struct SetInFile {
  const FMTID* fmtid;
  const char16_t* stream;
};

const SetInFile kSets[] = {
    {&storage::FMTID_SummaryInformation, u"\x0005SummaryInformation"},
    {&storage::FMTID_DocSummaryInformation,
     u"\x0005"
     u"DocumentSummaryInformation"},
    {&storage::FMTID_UserDefinedProperties,
     u"\x0005"
     u"DocumentSummaryInformation"},
};

// What the set's stream holds, found through the engine directly: the
// interfaces name properties only by PROPID and cannot list them.
struct Expected {
  bool parsed = false;
  bool writable = false;
  std::vector<PROPSPEC> ids;
};

Expected Inspect(storage::CompoundFile& file, const SetInFile& set) {
  Expected expected;
  const std::optional<std::uint32_t> entry = file.FindRootStream(set.stream);
  std::string bytes;
  if (!entry || FAILED(file.ReadStream(*entry, bytes))) return expected;
  storage::PropertySetStream parsed;
  if (FAILED(storage::PropertySetStream::Parse(std::move(bytes), parsed))) return expected;
  expected.parsed = true;
  expected.writable = SUCCEEDED(parsed.Writable());
  for (const storage::Section& section : parsed.Sections()) {
    for (const storage::Property& property : section.properties) {
      expected.ids.push_back({PRSPEC_PROPID, property.id});
    }
  }
  // The rows the program reads, whether the set has them or not.
  for (PROPID id = 1; id <= 32; ++id) expected.ids.push_back({PRSPEC_PROPID, id});
  return expected;
}

void ReadAndWriteBack(IPropertySetStorage& sets, const SetInFile& set, const Expected& expected) {
  ComPtr<IPropertyStorage> properties;
  const HRESULT opened = sets.Open(*set.fmtid, kMode, properties.Put());
  FUZZ_CHECK(SUCCEEDED(opened) == expected.parsed);
  if (FAILED(opened)) return;
  const auto count = static_cast<ULONG>(expected.ids.size());
  std::vector<PROPVARIANT> values(count);
  const HRESULT read = properties->ReadMultiple(count, expected.ids.data(), values.data());
  if (expected.writable) FUZZ_CHECK(SUCCEEDED(read));
  if (FAILED(read)) return;
  const HRESULT written = properties->WriteMultiple(count, expected.ids.data(), values.data(), 2);
  // A set with a property that cannot be read is never written; any other
  // set takes back its own values.
  FUZZ_CHECK(expected.writable ? written == S_OK : FAILED(written));
  std::vector<PROPVARIANT> again(count);
  FUZZ_CHECK(properties->ReadMultiple(count, expected.ids.data(), again.data()) == read);
  for (std::size_t i = 0; i < values.size(); ++i) {
    FUZZ_CHECK(again[i].vt == values[i].vt);
  }
}

// Streams a change of the Summary set must not touch, where the file has them.
const char16_t* const kOtherStreams[] = {kSets[1].stream, u"WordDocument", u"1Table", u"Data",
                                         u"Empty"};

struct Snapshot {
  std::optional<std::uint32_t> summary;
  std::vector<std::optional<std::string>> others;
};

Snapshot Streams(storage::CompoundFile& file) {
  Snapshot snapshot;
  snapshot.summary = file.FindRootStream(kSets[0].stream);
  for (const char16_t* name : kOtherStreams) {
    std::optional<std::string> content;
    if (const std::optional<std::uint32_t> entry = file.FindRootStream(name)) {
      std::string bytes;
      if (SUCCEEDED(file.ReadStream(*entry, bytes))) content = std::move(bytes);
    }
    snapshot.others.push_back(std::move(content));
  }
  return snapshot;
}

void CheckForgedJournal(const fuzz::MemoryFile& file, const std::string& bytes,
                        HRESULT withoutJournal) {
  const std::string journal = storage::JournalPathFor(file.Path());
  {
    const int fd = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    const bool written =
        ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    FUZZ_CHECK(written);
  }
  std::unique_ptr<storage::CompoundFile> engine;
  std::string error;
  const HRESULT opened = storage::CompoundFile::Open(file.Path(), engine, &error);
  engine.reset();
  FUZZ_CHECK(file.Contents() == bytes);
  struct stat left {};
  if (opened == TAVRIN_E_UNUSABLEJOURNAL) {
    FUZZ_CHECK(error.find(journal) != std::string::npos);
    FUZZ_CHECK(::stat(journal.c_str(), &left) == 0 &&
               static_cast<std::size_t>(left.st_size) == bytes.size());
    ::unlink(journal.c_str());
    return;
  }
  FUZZ_CHECK(::stat(journal.c_str(), &left) != 0);
  FUZZ_CHECK(opened == withoutJournal);
}

void CheckChangedTitle(const fuzz::MemoryFile& file, std::size_t size) {
  const std::string title((size % 5) * 1100 + size % 7, 'T');
  const PROPSPEC id{PRSPEC_PROPID, 2};
  PROPVARIANT value;
  value.vt = VT_LPSTR;
  value.pszVal = title.c_str();

  // What the stream must hold afterwards, worked out on its own bytes.
  std::string expected;
  Snapshot before;
  {
    std::unique_ptr<storage::CompoundFile> engine;
    if (FAILED(storage::CompoundFile::Open(file.Path(), engine))) return;
    before = Streams(*engine);
    std::string bytes;
    if (!before.summary || FAILED(engine->ReadStream(*before.summary, bytes))) return;
    storage::PropertySetStream parsed;
    if (FAILED(storage::PropertySetStream::Parse(bytes, parsed))) return;
    PROPVARIANT current;
    if (parsed.ReadMultiple(0, std::span(&id, 1), std::span(&current, 1)) != S_OK ||
        current.vt != VT_LPSTR) {
      return;
    }
    if (FAILED(parsed.WriteMultiple(0, std::span(&id, 1), std::span(&value, 1), expected)) ||
        expected == bytes) {
      return;
    }
  }
  const std::string original = file.Contents();

  HRESULT written = E_FAIL;
  {
    ComPtr<IStorage> storage;
    FUZZ_CHECK(StgOpenStorage(file.Path().c_str(), nullptr, kMode, nullptr, 0, storage.Put()) ==
               S_OK);
    ComPtr<IPropertySetStorage> sets;
    FUZZ_CHECK(storage.As(sets) == S_OK);
    ComPtr<IPropertyStorage> summary;
    FUZZ_CHECK(sets->Open(*kSets[0].fmtid, kMode, summary.Put()) == S_OK);
    written = summary->WriteMultiple(1, &id, &value, 2);
  }
  if (FAILED(written)) {
    // Refused, or failed on the way: either way not a byte changed.
    FUZZ_CHECK(file.Contents() == original);
    return;
  }
  std::unique_ptr<storage::CompoundFile> engine;
  FUZZ_CHECK(SUCCEEDED(storage::CompoundFile::Open(file.Path(), engine)));
  const Snapshot after = Streams(*engine);
  FUZZ_CHECK(after.summary == before.summary);
  std::string now;
  FUZZ_CHECK(SUCCEEDED(engine->ReadStream(*after.summary, now)));
  FUZZ_CHECK(now == expected);
  // A stream that read before reads the same. One that could not be read
  // (say its sectors lay past the end of a file cut short) is not compared:
  // the write may extend the file under it (see docs/fuzzing.md, open faults).
  for (std::size_t i = 0; i < before.others.size(); ++i) {
    if (before.others[i]) FUZZ_CHECK(after.others[i] == before.others[i]);
  }
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  const std::string original(reinterpret_cast<const char*>(data), size);
  fuzz::MemoryFile file(original);

  std::vector<Expected> expected;
  HRESULT engineOpen = S_OK;
  {
    std::unique_ptr<storage::CompoundFile> engine;
    std::string error;
    engineOpen = storage::CompoundFile::Open(file.Path(), engine, &error);
    if (FAILED(engineOpen)) FUZZ_CHECK(!error.empty());
    if (engine) {
      for (const SetInFile& set : kSets) expected.push_back(Inspect(*engine, set));
    }
  }

  // A file that begins as a ZIP archive does is opened as a package, which
  // the zip_archive target covers; the compound-file engine refuses it.
  if (original.starts_with(std::string_view("PK\x03\x04", 4)) ||
      original.starts_with(std::string_view("PK\x05\x06", 4))) {
    FUZZ_CHECK(FAILED(engineOpen));
    return 0;
  }

  {
    ComPtr<IStorage> storage;
    const HRESULT opened =
        StgOpenStorage(file.Path().c_str(), nullptr, kMode, nullptr, 0, storage.Put());
    FUZZ_CHECK(opened == engineOpen);
    if (SUCCEEDED(opened)) {
      ComPtr<IPropertySetStorage> sets;
      FUZZ_CHECK(storage.As(sets) == S_OK);
      for (std::size_t i = 0; i < std::size(kSets); ++i) {
        ReadAndWriteBack(*sets.Get(), kSets[i], expected[i]);
      }
    }
  }
  FUZZ_CHECK(file.Contents() == original);
  CheckForgedJournal(file, original, engineOpen);
  CheckChangedTitle(file, size);
  return 0;
}
