#pragma once
// The one sequence every read and write of a document's property set runs:
// initialise the storage services, open the file as a storage, open the set,
// read the properties, (for a write) put new values in and write them back,
// release everything, and report each failure in a plain message.
//
// What happens between the read and the write belongs to the caller: a read
// fills its grid from the values, a write replaces the value parts of the
// selected entries. Either may raise a conversion error; the frame still
// releases everything and lets the error go on.

#include <deque>
#include <functional>
#include <span>
#include <string>

#include "platform/Dialogs.h"
#include "platform/storage/Com.h"

namespace tavrin {

// Texts a write points its string entries at; they live until the write has
// returned.
class KeptTexts {
 public:
  const char* Keep(std::string text) { return texts_.emplace_back(std::move(text)).c_str(); }

 private:
  std::deque<std::string> texts_;
};

// Called after a read that found any of the properties; entry i is PROPID
// i + 2.
using ReadAction = std::function<void(std::span<const PROPVARIANT> values)>;
// Called after a read that found any of the properties, to replace the value
// parts of the entries to be written.
using WriteAction = std::function<void(std::span<PROPVARIANT> values, KeptTexts& texts)>;

// Reads properties 2 .. count + 1 of the set `fmtid` of the file `path`
// (native bytes).
void ReadPropertySet(const std::string& path, const FMTID& fmtid, ULONG count, Dialogs& dialogs,
                     const ReadAction& fill);

// What a write did to its set.
enum class SetWrite {
  kUnchanged,  // written back as it was: no value differed from the file's
  kChanged,    // some value is now another
  kFailed,     // refused or failed, with its message shown; the set is as it was
};

// For a write refused because the set's code page (given) cannot hold a new
// text: a line that says which row and which character, or nothing.
using UntranslatableText = std::function<std::string(unsigned codePage)>;

// Reads properties 2 .. count + 1 of the set, lets `replace` change them,
// and writes all of them back. When the set holds none of them, nothing is
// replaced and all are written as they were read (empty). A write refused
// for a text the set's code page cannot hold says so in its message, in the
// words of `untranslatable`.
// Told, after a write that went through, of entry i offered a value for a
// property the set lacks and does not take (see TakesNewProperty).
using KeptAbsent = std::function<void(std::size_t i)>;

SetWrite WritePropertySet(const std::string& path, const FMTID& fmtid, ULONG count,
                          Dialogs& dialogs, const WriteAction& replace,
                          const UntranslatableText& untranslatable = {},
                          const KeptAbsent& keptAbsent = {});

// The message for a failed storage open.
std::string OpenFailureMessage(HRESULT hr);

// The message when the document at `path` has a journal beside it that
// cannot be used (TAVRIN_E_UNUSABLEJOURNAL): it names the journal, which only
// the user can judge.
std::string UnusableJournalMessage(const std::string& path);

// The message when opening the document at `path` rolled back a change that
// a crash or a kill left unfinished (TAVRIN_S_ROLLEDBACK): it names the
// document, which is as it was before that change.
std::string RolledBackMessage(const std::string& path);

// The message when a write to the document at `path` is refused because its
// folder, where the journal of the change must go, may not be written: it
// names the folder (the real one, past any link).
std::string FolderNotWritableMessage(const std::string& path);

}  // namespace tavrin
