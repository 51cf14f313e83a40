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
//
// Anyone who may create a file in the folder can put one in the journal's
// place, and a document may be saved by another program after a crash left
// its journal. So an open applies a journal only when it is beyond doubt
// ours and made for the document as a crash left it (RecoverDocument), and
// removes a file in its place only when it is an unfinished journal of ours.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/storage/File.h"
#include "platform/storage/JournalFormat.h"

namespace tavrin::storage {

// The journal of the document at `documentPath`, in the same folder:
// "<name>.tavrin-journal", or for a name too long to take the suffix, as
// much of the name as fits, a hash of all of it and the suffix.
std::string JournalPathFor(std::string_view documentPath);

// The journal of the document `documentPath` names, for a message: beside the
// file the path leads to, as the engine places it.
std::string JournalPathOf(const std::string& documentPath);

// Which file `document` is, as its journal records it.
DocumentIdentity IdentityOf(const File& document);

// A hash of this boot's id, 0 when it cannot be read.
std::uint64_t CurrentBoot();

// Writes `content` as the journal of `document`, sealed and on disk, and its
// folder entry on disk, or leaves none behind. Refuses with
// TAVRIN_E_UNUSABLEJOURNAL when a journal is in the way, STG_E_ACCESSDENIED
// when the folder may not be written; the document is never touched here.
Status WriteJournal(const File& document, const JournalContent& content);

// Removes the journal of `document` and flushes the folder: once this
// succeeds the change is final.
Status RemoveJournal(const File& document);

// Puts the saved bytes back into `document`, cuts it to its original length
// and flushes it.
Status RestoreDocument(File& document, const JournalContent& content);

// Run by every open of a document, under its lock and before anything reads
// it. Gives S_OK when there is no journal, or an unsealed one of ours (its
// change never began), which is removed; TAVRIN_S_ROLLEDBACK when a journal
// was rolled back and removed. A journal is rolled back only when it is a
// regular file of one name, owned by the document's owner or by this
// process's user, that no one else may write; of this format version, sealed
// and passing its check; made for this very file; and the document is no
// shorter than before the change, no longer than the change makes it, and
// holds in every block the journal saved what was there before or what the
// change wrote. Anything else in its place is left as it is, the document
// untouched, and the open refused with TAVRIN_E_UNUSABLEJOURNAL.
Status RecoverDocument(File& document);

}  // namespace tavrin::storage
