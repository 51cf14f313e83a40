#include "platform/storage/Journal.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/storage/Crc32.h"

namespace tavrin::storage {
namespace {

constexpr std::string_view kJournalSuffix = ".tavrin-journal";

// FNV-1a: enough to tell apart names, and boots, that differ.
std::uint64_t Hash(std::string_view bytes) {
  std::uint64_t hash = 0xCBF29CE484222325u;
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 0x100000001B3u;
  }
  return hash;
}

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

// The first `length` bytes of the journal, all of them or a failure.
Status ReadJournal(const File& journal, std::uint64_t length, std::string& bytes) {
  bytes.resize(static_cast<std::size_t>(length));
  std::size_t got = 0;
  if (Status read = journal.ReadAt(0, bytes.data(), bytes.size(), got); !read.ok()) return read;
  if (got != bytes.size()) return {STG_E_READFAULT, "it grew shorter while it was read"};
  return {};
}

// Why the file in the journal's place cannot be one this program made for
// `document`, or nothing. Anyone who may create a file in the folder can put
// one there, or a second name for another user's file; only a file of one
// name, owned by the document's owner or by us, that no one else may write,
// is looked at further.
std::string Untrusted(const File& journal, const File& document) {
  const struct statx& info = journal.status();
  if (info.stx_nlink != 1) return "it has " + std::to_string(info.stx_nlink) + " names";
  if (info.stx_uid != document.status().stx_uid && info.stx_uid != ::geteuid()) {
    return "it belongs to user " + std::to_string(info.stx_uid) +
           ", who owns neither the document nor this process";
  }
  if ((info.stx_mode & (S_IWGRP | S_IWOTH)) != 0) return "users other than its owner may write it";
  return {};
}

bool SameFile(const DocumentIdentity& made, const DocumentIdentity& now) {
  // A file system that keeps no birth time gives 0.
  return made.device == now.device && made.inode == now.inode &&
         (made.birth == 0 || now.birth == 0 || made.birth == now.birth);
}

// Why a journal with this header cannot have been made for `document` as a
// crash leaves it, or nothing. A crashed change never shortens a document,
// so rolling back never makes one longer; it may cut back what the change
// added, never more.
std::string NotMadeFor(const JournalContent& made, const File& document) {
  const DocumentIdentity now = IdentityOf(document);
  if (!SameFile(made.document, now)) {
    const auto named = [](const DocumentIdentity& file) {
      return "inode " + std::to_string(file.inode) + " of device " + std::to_string(file.device) +
             ", made at " + std::to_string(file.birth);
    };
    return "it was made for another file (" + named(made.document) + "; the document is " +
           named(now) + ")";
  }
  if (document.size() < made.originalLength) {
    return "the document is " + std::to_string(document.size()) + " bytes long, shorter than the " +
           std::to_string(made.originalLength) + " it had before the change";
  }
  if (document.size() > made.finalLength) {
    return "the document is " + std::to_string(document.size()) +
           " bytes long, longer than the change makes it (" + std::to_string(made.finalLength) +
           ")";
  }
  return {};
}

// Whether each block the journal saved holds, now, what it held before the
// change or what the change wrote there: a crash leaves nothing else, while
// another program's change since leaves other bytes. A power cut may also
// leave noise where writes had not reached the disk, which no check can
// tell from another program's bytes; so after the machine restarted, and
// only then, a block that holds neither is let pass.
Status HoldsWhatACrashLeaves(const File& document, const JournalContent& content,
                             const std::string& journalPath) {
  const std::uint64_t boot = CurrentBoot();
  if (content.boot != 0 && boot != 0 && boot != content.boot) return {};
  std::string now;
  for (const SavedRegion& region : content.regions) {
    now.resize(region.bytes.size());
    std::size_t got = 0;
    if (Status read = document.ReadAt(region.offset, now.data(), now.size(), got); !read.ok()) {
      return read;
    }
    if (got != now.size()) return {STG_E_READFAULT, "the document grew shorter while it was read"};
    std::size_t at = 0;
    std::size_t block = 0;
    for (const std::size_t piece : BlockPieces(region.offset, now.size())) {
      const std::string_view held = std::string_view(now).substr(at, piece);
      if (held != std::string_view(region.bytes).substr(at, piece) &&
          Crc32(held) != region.intended[block]) {
        return Unusable(journalPath, "at offset " + std::to_string(region.offset + at) +
                                         " the document holds neither what it held before the "
                                         "change nor what the change wrote");
      }
      at += piece;
      ++block;
    }
  }
  return {};
}

}  // namespace

std::string JournalPathFor(std::string_view documentPath) {
  const std::size_t slash = documentPath.find_last_of('/');
  const std::size_t nameAt = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view name = documentPath.substr(nameAt);
  if (name.size() + kJournalSuffix.size() <= NAME_MAX) {
    return std::string(documentPath) + std::string(kJournalSuffix);
  }
  // A name within 15 bytes of the limit cannot take the suffix. The journal
  // keeps as much of it as fits with a hash of the whole name, cut where a
  // UTF-8 character begins so that it still reads as the document's.
  char hash[18];
  std::snprintf(hash, sizeof hash, ".%016llx", static_cast<unsigned long long>(Hash(name)));
  std::size_t kept = NAME_MAX - kJournalSuffix.size() - (sizeof hash - 1);
  while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  return std::string(documentPath.substr(0, nameAt)) + std::string(name.substr(0, kept)) + hash +
         std::string(kJournalSuffix);
}

std::string JournalPathOf(const std::string& documentPath) {
  std::string resolved;
  if (ActiveSystemCalls().RealPath(-1, documentPath.c_str(), resolved) != 0) {
    resolved = documentPath;
  }
  return JournalPathFor(resolved);
}

DocumentIdentity IdentityOf(const File& document) {
  const struct statx& info = document.status();
  DocumentIdentity identity;
  identity.device = std::uint64_t{info.stx_dev_major} << 32 | info.stx_dev_minor;
  identity.inode = info.stx_ino;
  if ((info.stx_mask & STATX_BTIME) != 0) {
    identity.birth =
        static_cast<std::uint64_t>(info.stx_btime.tv_sec) * 1000000000u + info.stx_btime.tv_nsec;
  }
  return identity;
}

std::uint64_t CurrentBoot() {
  std::string id;
  if (ActiveSystemCalls().BootId(id) != 0 || id.empty()) return 0;
  return Hash(id);
}

Status WriteJournal(const File& document, const JournalContent& content) {
  const std::string path = JournalPathFor(document.path());
  std::unique_ptr<File> journal;
  if (Status created = File::Create(path, journal); !created.ok()) {
    if (created.code() == STG_E_FILEALREADYEXISTS) {
      return Unusable(path, "it is in the way of a new change");
    }
    if (created.code() == STG_E_ACCESSDENIED) {
      return {created.code(),
              "the folder \"" + FolderOf(path) + "\" may not be written: " + created.text()};
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
  std::unique_ptr<File> journal;
  if (Status opened = File::OpenToRead(path, journal); !opened.ok()) {
    // The usual case, and all it costs: one open that finds nothing.
    if (opened.code() == STG_E_FILENOTFOUND) return {};
    return Unusable(path, opened.text());
  }
  if (const std::string why = Untrusted(*journal, document); !why.empty()) {
    return Unusable(path, why);
  }
  // The header first: it says how long the journal is, which is bounded by
  // the document's length, before more is read.
  std::string bytes;
  const std::uint64_t size = journal->size();
  if (Status read =
          ReadJournal(*journal, std::min<std::uint64_t>(size, kJournalHeaderBytes), bytes);
      !read.ok()) {
    return Unusable(path, read.text());
  }
  JournalHeader header;
  std::string problem;
  switch (CheckJournalHeader(bytes, size, header, problem)) {
    case JournalState::kUnsealed:
      journal.reset();
      return RemoveJournal(document);
    case JournalState::kSealed:
      break;
    case JournalState::kSound:
    case JournalState::kUnusable:
      return Unusable(path, problem);
  }
  if (const std::string why = NotMadeFor(header.content, document); !why.empty()) {
    return Unusable(path, why);
  }
  if (Status read = ReadJournal(*journal, size, bytes); !read.ok()) {
    return Unusable(path, read.text());
  }
  journal.reset();
  JournalContent content;
  if (DecodeJournal(bytes, content, problem) != JournalState::kSound) {
    return Unusable(path, problem);
  }
  if (Status held = HoldsWhatACrashLeaves(document, content, path); !held.ok()) return held;
  if (Status restored = RestoreDocument(document, content); !restored.ok()) {
    return {restored.code(), "rolling back an unfinished change failed: " + restored.text()};
  }
  if (Status removed = RemoveJournal(document); !removed.ok()) return removed;
  return {TAVRIN_S_ROLLEDBACK, "an unfinished change was rolled back from \"" + path + "\""};
}

}  // namespace tavrin::storage
