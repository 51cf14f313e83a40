#include "platform/storage/Journal.h"

#include <memory>
#include <utility>

namespace tavrin::storage {
namespace {

constexpr std::string_view kJournalSuffix = ".tavrin-journal";

Status Unusable(const std::string& journalPath, const std::string& why) {
  return {TAVRIN_E_UNUSABLEJOURNAL, "the journal \"" + journalPath + "\" cannot be used: " + why};
}

Status Fill(File& journal, const JournalContent& content) {
  if (Status written = journal.WriteAt(0, EncodeJournal(content)); !written.ok()) return written;
  // Everything but the seal must be on disk before the seal is, or a power
  // cut could leave a sealed journal with holes in it.
  if (Status synced = journal.Sync(); !synced.ok()) return synced;
  if (Status sealed = journal.WriteAt(kJournalSealOffset, JournalSeal()); !sealed.ok()) {
    return sealed;
  }
  return journal.Sync();
}

Status ReadWhole(const std::string& journalPath, std::string& bytes) {
  std::unique_ptr<File> journal;
  if (Status opened = File::OpenToRead(journalPath, journal); !opened.ok()) return opened;
  bytes.resize(journal->size());
  std::size_t got = 0;
  if (Status read = journal->ReadAt(0, bytes.data(), bytes.size(), got); !read.ok()) return read;
  bytes.resize(got);
  return {};
}

}  // namespace

std::string JournalPathFor(std::string_view documentPath) {
  return std::string(documentPath) + std::string(kJournalSuffix);
}

std::string JournalPathOf(const std::string& documentPath) {
  std::string resolved;
  if (ActiveSystemCalls().RealPath(-1, documentPath.c_str(), resolved) != 0) {
    resolved = documentPath;
  }
  return JournalPathFor(resolved);
}

Status WriteJournal(const File& document, const JournalContent& content) {
  const std::string path = JournalPathFor(document.path());
  std::unique_ptr<File> journal;
  if (Status created = File::Create(path, journal); !created.ok()) {
    if (created.code() == STG_E_FILEALREADYEXISTS) {
      return Unusable(path, "it is in the way of a new change");
    }
    return created;
  }
  Status written = Fill(*journal, content);
  journal.reset();  // flushed already: closing can lose nothing
  if (written.ok()) written = SyncFolder(FolderOf(path));
  // The document is untouched, so a journal that did not make it is worth
  // nothing; one that cannot be removed either is unsealed or restores what
  // the document already holds, and the next open deals with it.
  if (!written.ok()) static_cast<void>(RemoveFile(path));
  return written;
}

Status RemoveJournal(const File& document) {
  const std::string path = JournalPathFor(document.path());
  if (Status removed = RemoveFile(path); !removed.ok()) return removed;
  return SyncFolder(FolderOf(path));
}

Status RestoreDocument(File& document, const JournalContent& content) {
  for (const SavedRegion& region : content.regions) {
    if (Status written = document.WriteAt(region.offset, region.bytes); !written.ok()) {
      return written;
    }
  }
  // Cut even when the length looks right: a write that failed may have made
  // the file longer than anyone counted.
  if (Status cut = document.Truncate(content.originalLength); !cut.ok()) return cut;
  return document.Sync();
}

Status RecoverDocument(File& document) {
  const std::string path = JournalPathFor(document.path());
  std::string bytes;
  if (Status read = ReadWhole(path, bytes); !read.ok()) {
    if (read.code() == STG_E_FILENOTFOUND) return {};
    return Unusable(path, read.text());
  }
  JournalContent content;
  std::string problem;
  switch (DecodeJournal(bytes, content, problem)) {
    case JournalState::kUnsealed:
      break;
    case JournalState::kDamaged:
      return Unusable(path, problem);
    case JournalState::kSound:
      if (Status restored = RestoreDocument(document, content); !restored.ok()) {
        return {restored.code(), "rolling back an unfinished change failed: " + restored.text()};
      }
      break;
  }
  return RemoveJournal(document);
}

}  // namespace tavrin::storage
