#pragma once
// The rollback journal that makes a change to a document all or nothing, in
// the manner of the rollback journals of embedded databases.
//
// Before the first byte of a change reaches a document, the bytes the change
// will overwrite and the document's length are written to
// "<document>.tavrin-journal" beside it, flushed, sealed and flushed again,
// and the folder is flushed. Then the change is written and the document
// flushed. Removing the journal, and flushing the folder, is the commit
// point: until then, any open of the document (after a crash, a kill or a
// power cut) puts the saved bytes back first. See docs/crash-safety.md.

#include <string>
#include <string_view>

#include "platform/storage/File.h"
#include "platform/storage/JournalFormat.h"

namespace tavrin::storage {

// The journal of the document at `documentPath`, in the same folder.
std::string JournalPathFor(std::string_view documentPath);

// The journal of the document `documentPath` names, for a message: beside the
// file the path leads to, as the engine places it.
std::string JournalPathOf(const std::string& documentPath);

// Writes `content` as the journal of `document`, sealed and on disk, and its
// folder entry on disk, or leaves none behind. Refuses with
// TAVRIN_E_UNUSABLEJOURNAL when a journal is in the way; the document is
// never touched here.
Status WriteJournal(const File& document, const JournalContent& content);

// Removes the journal of `document` and flushes the folder: once this
// succeeds the change is final.
Status RemoveJournal(const File& document);

// Puts the saved bytes back into `document`, cuts it to its original length
// and flushes it.
Status RestoreDocument(File& document, const JournalContent& content);

// Run by every open of a document, under its lock and before anything reads
// it. A sealed journal that passes its check is rolled back and removed; an
// unsealed one (its change never began) is removed; one that cannot be read
// or fails its check is left where it is, and the open is refused with
// TAVRIN_E_UNUSABLEJOURNAL.
Status RecoverDocument(File& document);

}  // namespace tavrin::storage
