// A ZIP package from any bytes, opened and read the way the property
// storage reads it: Open, then every member inflated within a limit. Open
// either refuses with a package code or describes members that lie inside
// the file; reading never inflates past the limit. Nothing crashes, leaks or
// hangs, and nothing is written.
//
// Then one change: the properties member (or the first member) replaced by
// a content whose length comes from the input, and sometimes a new member
// appended. Either the write is refused and the file keeps every byte, or
// the package opens again, the changed member reads as written, and every
// other member keeps each byte of its local header and data.
//
// Input: the file's bytes.

#include <map>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "platform/storage/File.h"
#include "platform/storage/zip/Archive.h"

namespace tavrin {
namespace {

using storage::Status;
using storage::zip::Archive;
using storage::zip::Member;

constexpr std::size_t kLimit = 1 << 20;

bool PackageCode(HRESULT code) {
  return code == TAVRIN_E_BADPACKAGE || code == TAVRIN_E_UNSUPPORTEDPACKAGE ||
         code == TAVRIN_E_MEMBERTOOLARGE;
}

std::string Bytes(const std::string& file, const Member& m) {
  return file.substr(static_cast<std::size_t>(m.localHeaderOffset),
                     static_cast<std::size_t>(m.endOffset() - m.localHeaderOffset));
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  const std::string input(reinterpret_cast<const char*>(data), size);
  fuzz::MemoryFile memory(input);
  std::unique_ptr<storage::File> file;
  FUZZ_CHECK(storage::File::Open(memory.Path(), file).ok());
  std::unique_ptr<Archive> archive;
  const Status opened = Archive::Open(*file, archive);
  if (!opened.ok()) {
    FUZZ_CHECK(PackageCode(opened.code()) || opened.code() == STG_E_READFAULT);
    FUZZ_CHECK(memory.Contents() == input);
    return 0;
  }
  std::map<std::string, std::string> readable;
  for (const Member& m : archive->members()) {
    FUZZ_CHECK(m.localHeaderOffset < m.dataOffset && m.endOffset() <= size);
    FUZZ_CHECK(archive->Find(m.name) == &m);
    std::string content;
    const Status read = archive->Read(m, kLimit, content);
    FUZZ_CHECK(content.size() <= kLimit);
    if (read.ok()) {
      readable[m.name] = content;
    } else {
      FUZZ_CHECK(PackageCode(read.code()));
    }
  }
  FUZZ_CHECK(memory.Contents() == input);
  if (archive->members().empty()) return 0;

  const Member* target = archive->Find("docProps/core.xml");
  if (target == nullptr) target = &archive->members().front();
  const std::string name = target->name;
  std::string content = readable.count(name) != 0 ? readable[name] : std::string();
  // Shorter, a little longer or much longer, by the file's size.
  switch (size % 3) {
    case 0:
      content.resize(content.size() / 2);
      break;
    case 1:
      content += "<!---->";
      break;
    default:
      for (std::size_t i = 0; i < 2000; ++i) content += static_cast<char>('!' + (i * 31) % 89);
  }
  std::vector<Archive::Change> changes{{name, content}};
  if (size % 2 == 0) changes.push_back({"fuzz/new.xml", "<new/>"});
  const Status written = archive->Write(*file, changes);
  if (!written.ok()) {
    FUZZ_CHECK(memory.Contents() == input);
    return 0;
  }
  archive.reset();
  file.reset();
  const std::string after = memory.Contents();
  FUZZ_CHECK(storage::File::Open(memory.Path(), file).ok());
  FUZZ_CHECK(Archive::Open(*file, archive).ok());
  for (const Archive::Change& change : changes) {
    const Member* changed = archive->Find(change.name);
    FUZZ_CHECK(changed != nullptr);
    std::string back;
    FUZZ_CHECK(archive->Read(*changed, kLimit + 4096, back).ok() && back == change.content);
  }
  // Every member not named: the same bytes, found by name in the old file.
  std::unique_ptr<storage::File> oldFile;
  std::unique_ptr<Archive> oldArchive;
  fuzz::MemoryFile original(input);
  FUZZ_CHECK(storage::File::Open(original.Path(), oldFile).ok());
  FUZZ_CHECK(Archive::Open(*oldFile, oldArchive).ok());
  for (const Member& m : archive->members()) {
    if (m.name == name || m.name == "fuzz/new.xml") continue;
    const Member* old = oldArchive->Find(m.name);
    FUZZ_CHECK(old != nullptr && Bytes(after, m) == Bytes(input, *old));
  }
  return 0;
}
