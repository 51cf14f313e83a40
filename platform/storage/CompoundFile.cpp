// The compound-file engine.
//
// Invariants
//  1. Every call on the file system, on the document, its journal or their
//     folder, goes through SystemCalls (File.h), the one seam tests can
//     break, and the document is held under an exclusive
//     open-file-description lock from Open until the object is destroyed.
//  2. Nothing read from the file is followed before it is checked: every
//     sector number against the sectors the file holds and the FAT's reach,
//     every chain for cycles as it is walked, every count against the file's
//     size before it becomes an allocation. A failure names the bad value and
//     what it contradicts.
//  3. Reading is lazy: Open reads the header, the directory and the FAT and
//     DIFAT sectors the directory's chain passes through; reading a stream
//     adds only the table sectors its chain needs. No step reads the whole
//     of a large file, so opening and reading cost the same in a 1 MB and a
//     1 GB document. A directory of more than 64 KiB is itself read only as
//     far as lookups reach, and checked as far as they go; a change reads
//     and checks the rest first (see Directory). (A file of at most 32 KiB is
//     read in one call and answered from memory, and the first 8 KiB of a
//     larger one: see File.)
//  4. A change reads only what it touches, so its cost does not grow with
//     the document: its stream's chain, the directory, the FAT sectors those
//     chains pass through and the ones it rewrites, the DIFAT as far as it
//     needs it, and the mini FAT and mini stream whole when a small stream
//     is involved. It claims the chains it rewrites, extends or frees, and
//     refuses before a byte is written when two of them meet, when any chain
//     the header or the directory names starts inside one of them, when a
//     chain that runs on past its stream's end is led into from outside in
//     the FAT sectors its walk read (the shape of a chain that starts inside
//     another stream), when a small stream shares a mini sector, or when a
//     table sector it rewrites is not marked as one. What a chain holds past
//     its stream's end stays as it is: not written, freed nor relinked. What
//     is not looked for: another stream that runs into a claimed chain from
//     the middle of its own (Allocator.h says why that is acceptable).
//  5. A change writes only what must change: the stream's sectors, the table
//     sectors whose entries change, the stream's directory entry (and the
//     root's when the mini stream changed), the header when its counts or
//     DIFAT slots change. A unit whose bytes are already on disk is not
//     written; new sectors are written whole, zero past the data.
//  6. New data goes only into sectors the file marks free (never one this
//     change freed, nor a FAT or DIFAT sector a writer left unmarked), lowest
//     first among the FAT sectors the change has read, then past the end;
//     such sectors are on no valid chain, so nothing the file on disk still
//     points at is overwritten by new data. A sector marked free where the
//     header or the directory says a chain starts, or a mini sector marked
//     free on a live small stream's chain, refuses the change when it would
//     be taken; so does a sector marked free that an entry of a FAT sector
//     the change has read leads to (the last sector of a stream, whose entry
//     a read never follows), or to a FAT or DIFAT sector the change
//     rewrites, the FAT sector before it always among them. A link from a
//     FAT sector not read is not looked for (Allocator.h).
//     Sectors the change frees are marked free for later changes.
//  7. Every write of a change goes through CommitPlan (Commit.cpp), the one
//     commit point: the bytes it will overwrite and the file's length go to
//     a rollback journal beside the document (Journal.h), flushed and sealed;
//     then the plan is written in stage order (data, tables, directory,
//     header) and the document flushed; then the journal is removed and the
//     folder flushed. That removal makes the change final: at every moment
//     the document on disk is the old one, the new one, or a mix that its
//     journal rolls back.
//  8. Every open rolls back a journal it finds, under the lock and before a
//     byte of the document is read, and says so (TAVRIN_S_ROLLEDBACK); it
//     refuses to open a document whose journal cannot be trusted
//     (TAVRIN_E_UNUSABLEJOURNAL). A journal is trusted only when it is ours,
//     made for this very file, and the document holds, block by block,
//     what a crash of that change can leave (Journal.h).
//  9. After any failure inside CommitPlan that may have touched the document
//     the object refuses every call with STG_E_REVERTED, even when the
//     document was put back: its picture of the file is not to be trusted.
//
// States of a write (ReplaceStream), and the function behind each move
//
//   from       by                           to         what holds afterwards
//   Ready      PlanReplacement              Planned    every structure the change touches is
//                                                      read and checked; the WritePlan holds
//                                                      every byte to write; nothing is written
//   Ready      PlanReplacement refuses      Ready      the file is untouched (a contradiction,
//                                                      a read error)
//   Planned    (the plan is empty)          Ready      the content was already on disk
//   Planned    CommitPlan refuses           Ready      the journal could not be written (a
//                                                      journal in the way, a folder that may
//                                                      not be written, a full disk) or the
//                                                      originals not read; the file is untouched
//   Planned    CommitPlan                   Committed  the plan is written in stage order and
//                                                      flushed, and its journal removed
//   Planned    CommitPlan fails or throws   Broken     every call gives STG_E_REVERTED until
//                                                      the file is opened again; the document
//                                                      was put back, or its journal is left for
//                                                      that open to put it back
//   Committed  Structures::Rebuild          Ready      the new header and directory entries
//                                                      are taken in; cached table sectors are
//                                                      dropped
//
// Broken is entered before CommitPlan begins and left only by its success or
// by a refusal that touched nothing, so neither a failure nor an exception in
// between can skip it.

#include "platform/storage/CompoundFile.h"

#include "platform/storage/File.h"
#include "platform/storage/Journal.h"
#include "platform/storage/Stream.h"
#include "platform/storage/Structures.h"

namespace tavrin::storage {

CompoundFile::CompoundFile(std::unique_ptr<File> file, std::unique_ptr<Structures> parts)
    : file_(std::move(file)), parts_(std::move(parts)) {}

CompoundFile::~CompoundFile() = default;

namespace {

HRESULT Failed(const Status& status, std::string* error) {
  if (error) *error = status.text();
  return status.code();
}

}  // namespace

HRESULT CompoundFile::Open(const std::string& nativePath, std::unique_ptr<CompoundFile>& out,
                           std::string* error) {
  out.reset();
  std::unique_ptr<File> file;
  if (Status opened = File::Open(nativePath, file); !opened.ok()) return Failed(opened, error);
  return Open(std::move(file), out, error);
}

HRESULT CompoundFile::Open(std::unique_ptr<File> file, std::unique_ptr<CompoundFile>& out,
                           std::string* error) {
  out.reset();
  const Status recovered = RecoverDocument(*file);
  if (!recovered.ok()) return Failed(recovered, error);
  std::unique_ptr<Structures> parts;
  if (Status read = Structures::Open(*file, parts); !read.ok()) return Failed(read, error);
  out.reset(new CompoundFile(std::move(file), std::move(parts)));
  if (error) error->clear();
  // S_OK, or TAVRIN_S_ROLLEDBACK when an unfinished change was undone first.
  return recovered.code();
}

HRESULT CompoundFile::Fail(HRESULT code, std::string text) const {
  lastError_ = std::move(text);
  return code;
}

HRESULT CompoundFile::FindRootStream(std::u16string_view name,
                                     std::optional<std::uint32_t>& found) const {
  found.reset();
  if (broken_) return S_OK;
  Directory& directory = parts_->directory;
  if (Status searched = directory.FindChild(0, name, found); !searched.ok()) {
    found.reset();
    return Fail(searched.code(), searched.text());
  }
  if (found && directory.entry(*found).type != EntryType::kStream) found.reset();
  return S_OK;
}

std::optional<std::uint32_t> CompoundFile::FindRootStream(std::u16string_view name) const {
  std::optional<std::uint32_t> found;
  FindRootStream(name, found);
  return found;
}

HRESULT CompoundFile::ReadStream(std::uint32_t entry, std::string& bytes) const {
  bytes.clear();
  if (broken_) return Fail(STG_E_REVERTED, "a write failed; the file must be opened again");
  // An entry no lookup has reached in a large directory is only known to be
  // a stream once the whole tree has been checked.
  if (!parts_->directory.Reached(entry)) {
    if (Status whole = parts_->directory.MakeWhole(); !whole.ok()) {
      return Fail(whole.code(), whole.text());
    }
  }
  Status read = storage::ReadStream(*parts_, entry, bytes);
  return read.ok() ? S_OK : Fail(read.code(), read.text());
}

HRESULT CompoundFile::ReplaceStream(std::uint32_t entry, std::string_view bytes) {
  if (broken_) return Fail(STG_E_REVERTED, "a write failed; the file must be opened again");
  // A change checks every entry that names a chain.
  if (Status whole = parts_->directory.MakeWhole(); !whole.ok()) {
    return Fail(whole.code(), whole.text());
  }
  Replacement change(file_->size());
  if (Status planned = PlanReplacement(*parts_, entry, bytes, change); !planned.ok()) {
    return Fail(planned.code(), planned.text());
  }
  if (change.plan.empty()) return S_OK;

  broken_ = true;
  // The commit point: the only place this engine writes to a document.
  if (const CommitResult committed = CommitPlan(*file_, change.plan); !committed.status.ok()) {
    broken_ = committed.documentTouched;
    return Fail(committed.status.code(), committed.status.text());
  }
  change.header.raw = change.header.Encode();  // what the file now holds
  Directory directory = std::move(parts_->directory);
  for (const auto& [index, raw] : change.entries) directory.Replace(index, raw);
  parts_ = Structures::Rebuild(*file_, std::move(change.header), std::move(directory));
  broken_ = false;
  return S_OK;
}

}  // namespace tavrin::storage
