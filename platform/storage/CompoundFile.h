#pragma once
// A compound document opened for reading and writing its streams in
// place. This is the engine's whole public surface:
//
//   std::unique_ptr<CompoundFile> file;
//   HRESULT hr = CompoundFile::Open(path, file);       // read-write, exclusive
//   if (auto entry = file->FindRootStream(u"\x0005SummaryInformation")) {
//     std::string bytes;
//     hr = file->ReadStream(*entry, bytes);
//     hr = file->ReplaceStream(*entry, changedBytes);  // on disk when it returns
//   }
//
// The file stays locked until the object is destroyed. Every failure is an
// HRESULT; LastError() tells what was wrong, naming the bad value, for
// diagnostics only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/HResult.h"

namespace tavrin::storage {

class File;
class Structures;

class CompoundFile {
 public:
  // Opens `nativePath` for reading and writing, for this object alone.
  //   STG_E_FILENOTFOUND       no such file; nothing is created
  //   STG_E_PATHNOTFOUND       a folder on the path is missing
  //   STG_E_ACCESSDENIED       read-only, a folder, or no permission
  //   STG_E_SHAREVIOLATION     another open holds the file
  //   STG_E_FILEALREADYEXISTS  a file that is not a compound file (untouched)
  //   STG_E_OLDFORMAT          the pre-release signature, or an unknown version
  //   STG_E_DOCFILECORRUPT     a header, DIFAT or directory that contradicts itself
  //   TAVRIN_E_UNUSABLEJOURNAL the journal of an unfinished change is there but
  //                            cannot be trusted, or a file that is no journal
  //                            of ours is in its place (it is left as it is)
  // A change that a crash left unfinished is rolled back first, from its
  // journal, and the open then gives TAVRIN_S_ROLLEDBACK, a success.
  // `error`, when given, receives the reason for a failure.
  static HRESULT Open(const std::string& nativePath, std::unique_ptr<CompoundFile>& out,
                      std::string* error = nullptr);
  // The same, for a document File::Open has opened already.
  static HRESULT Open(std::unique_ptr<File> file, std::unique_ptr<CompoundFile>& out,
                      std::string* error = nullptr);

  ~CompoundFile();
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;

  // The entry of the stream called `name` directly under the root storage.
  // Names compare without regard to case, as the format orders them. Nothing
  // is found once a write has failed. STG_E_DOCFILECORRUPT when the part of
  // a large directory the search reads contradicts itself.
  HRESULT FindRootStream(std::u16string_view name, std::optional<std::uint32_t>& found) const;
  // The same where a failure needs no telling apart from absence.
  std::optional<std::uint32_t> FindRootStream(std::u16string_view name) const;

  // The whole content of stream `entry`. STG_E_DOCFILECORRUPT when its chain
  // contradicts the file, STG_E_READFAULT when the system cannot read it,
  // STG_E_INVALIDPARAMETER when `entry` is no stream of this file.
  HRESULT ReadStream(std::uint32_t entry, std::string& bytes) const;

  // Replaces the whole content of stream `entry`; the stream moves between
  // the mini stream and normal sectors as its new size requires. Only the
  // bytes that must change are written, and they are on disk (flushed) when
  // this returns S_OK. The change is all or nothing, even across a crash or
  // a power cut (see Journal.h). Before a byte is written every structure the
  // change touches is checked; a contradiction refuses it with
  // STG_E_DOCFILECORRUPT and leaves the file as it was, and so does a journal
  // that cannot be written (TAVRIN_E_UNUSABLEJOURNAL when one is in the way,
  // STG_E_ACCESSDENIED when the folder may not be written: the document is
  // open for writing, so a change is denied for no other reason). A write that
  // fails (STG_E_MEDIUMFULL, STG_E_WRITEFAULT, ...) puts the document back
  // and leaves the object refusing every call with STG_E_REVERTED until the
  // file is opened again.
  HRESULT ReplaceStream(std::uint32_t entry, std::string_view bytes);

  // False once a write has failed: the object refuses every call.
  bool usable() const { return !broken_; }

  // Why the last call failed.
  const std::string& LastError() const { return lastError_; }

 private:
  CompoundFile(std::unique_ptr<File> file, std::unique_ptr<Structures> parts);
  HRESULT Fail(HRESULT code, std::string text) const;

  std::unique_ptr<File> file_;
  // Loaded lazily, so even reading changes it.
  mutable std::unique_ptr<Structures> parts_;
  mutable std::string lastError_;
  bool broken_ = false;
};

}  // namespace tavrin::storage
