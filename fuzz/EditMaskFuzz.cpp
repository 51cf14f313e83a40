// The masked cell editor driven by a stream of keys, clicks and pastes. After
// every step it must still be a picture of its template: the display keeps the
// template's length and literals, the cursor rests on a slot or at the end, a
// refused step changes nothing, and leaving an untouched cell gives its text
// back byte for byte.
//
// Input: a template choice (one of the program's, or one taken from the
// input), the cell's text, then one operation per byte with its arguments.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/CodePage.h"
#include "platform/controls/EditMask.h"

namespace tavrin {
namespace {

// The grids' own templates first: they are where a fault would matter.
const std::string_view kMasks[] = {
    "0000/00/00 00:00:00", "00:00:00 & 0000\x93\xFA", "9", "99/99",
    "0\x82\x30",  // a literal whose second byte looks like a slot
};

struct Snapshot {
  std::string display;
  std::size_t cursor;
  std::pair<std::size_t, std::size_t> selection;
  bool modified;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

Snapshot Take(const EditMaskSession& session) {
  return {session.DisplayText(), session.Cursor(), session.SelectionOffsets(), session.Modified()};
}

class Checker {
 public:
  explicit Checker(std::string_view mask) : mask_(mask) {
    for (std::size_t at = 0; at < mask.size();) {
      const std::size_t length = codepage::CharLength(mask, at);
      const bool slot = length == 1 && (mask[at] == '0' || mask[at] == '9');
      starts_.push_back(at);
      slot_.push_back(slot);
      required_.push_back(slot && mask[at] == '0');
      at += length;
    }
    starts_.push_back(mask.size());
  }

  void Invariants(const EditMaskSession& session) const {
    const std::string display = session.DisplayText();
    FUZZ_CHECK(display.size() == mask_.size());
    FUZZ_CHECK(session.PositionCount() + 1 == starts_.size());
    for (std::size_t i = 0; i + 1 < starts_.size(); ++i) {
      const std::size_t at = starts_[i];
      if (slot_[i]) {
        const char shown = display[at];
        FUZZ_CHECK((shown >= '0' && shown <= '9') || shown == '_');
      } else {
        FUZZ_CHECK(display.compare(at, starts_[i + 1] - at, mask_, at, starts_[i + 1] - at) == 0);
      }
    }
    FUZZ_CHECK(session.Cursor() <= session.PositionCount());
    FUZZ_CHECK(session.CursorOffset() == starts_[session.Cursor()]);
    // Typing lands where the caret is drawn: never on a literal.
    FUZZ_CHECK(session.Cursor() == session.PositionCount() || slot_[session.Cursor()]);
    const auto [from, to] = session.SelectionOffsets();
    FUZZ_CHECK(from <= to && to <= display.size());
    FUZZ_CHECK(session.HasSelection() == (from != to));
  }

  // Whether a committed text, loaded again, must show exactly the same:
  // every slot filled and no literal that the loader would take for a digit.
  bool ReloadsExactly(const EditMaskSession& session) const {
    const std::string display = session.DisplayText();
    for (std::size_t i = 0; i + 1 < starts_.size(); ++i) {
      const char first = mask_[starts_[i]];
      if (slot_[i] && display[starts_[i]] == '_') return false;
      if (!slot_[i] && ((first >= '0' && first <= '9') || first == '_')) return false;
    }
    return true;
  }

  // The text the cell would hold, read off the display the way rule 5 of
  // EditMask.h says: literals in place, empty optional slots left out, empty
  // required ones as "_", and nothing at all when every slot is empty.
  std::string Candidate(const std::string& display) const {
    bool anyFilled = false;
    for (std::size_t i = 0; i + 1 < starts_.size(); ++i) {
      if (slot_[i] && display[starts_[i]] != '_') anyFilled = true;
    }
    if (!anyFilled) return {};
    std::string text;
    for (std::size_t i = 0; i + 1 < starts_.size(); ++i) {
      const std::size_t at = starts_[i];
      if (!slot_[i]) {
        text.append(mask_, at, starts_[i + 1] - at);
      } else if (required_[i] || display[at] != '_') {
        text += display[at];
      }
    }
    return text;
  }

  std::size_t RequiredSlots() const {
    std::size_t count = 0;
    for (bool required : required_) count += required ? 1 : 0;
    return count;
  }

 private:
  std::string_view mask_;
  std::vector<std::size_t> starts_;
  std::vector<bool> slot_;
  std::vector<bool> required_;
};

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  fuzz::Input in(data, size);
  const std::uint8_t choice = in.Byte();
  constexpr std::size_t kMaskCount = sizeof kMasks / sizeof kMasks[0];
  const std::string mask = choice < kMaskCount ? std::string(kMasks[choice]) : in.ShortText(40);
  const std::string original = in.ShortText(64);

  Checker check(mask);
  EditMaskSession session(mask, original);
  check.Invariants(session);
  const Snapshot loaded = Take(session);
  FUZZ_CHECK(!loaded.modified);
  {
    // Leaving a cell nobody touched gives back its text, whatever it was.
    EditMaskSession untouched(mask, original);
    FUZZ_CHECK(untouched.Commit() == original);
  }

  // Whether the user has typed, erased or pasted a digit since the text was
  // loaded: with the candidate text, that is what "changed" means.
  bool edited = false;
  const auto hasDigit = [](std::string_view text) {
    for (std::size_t at = 0; at < text.size(); at += codepage::CharLength(text, at)) {
      if (codepage::CharLength(text, at) == 1 && text[at] >= '0' && text[at] <= '9') return true;
    }
    return false;
  };

  while (!in.Empty()) {
    const Snapshot before = Take(session);
    const std::uint8_t op = in.Byte();
    const bool extend = (op & 0x80) != 0;
    bool changed = true;
    bool moves = false;
    switch ((op & 0x7F) % 13) {
      case 0:
      case 1:  // typing is what users do most
        changed = session.Type(static_cast<char>(in.Byte()));
        edited = edited || changed;
        break;
      case 2:
        changed = session.Backspace();
        edited = edited || changed;
        break;
      case 3:
        changed = session.Delete();
        edited = edited || changed;
        break;
      case 4:
        session.Left(extend);
        moves = true;
        break;
      case 5:
        session.Right(extend);
        moves = true;
        break;
      case 6:
        session.Home(extend);
        moves = true;
        break;
      case 7:
        session.End(extend);
        moves = true;
        break;
      case 8:
        session.PlaceCursor(in.Byte(), extend);
        moves = true;
        break;
      case 9: {
        const std::string pasted = in.ShortText(32);
        changed = session.Paste(pasted);
        edited = edited || (changed && hasDigit(pasted));
        break;
      }
      case 10:
        session.SelectAll();
        moves = true;
        break;
      case 11: {
        const std::optional<std::string> committed = session.Commit();
        if (!before.modified) {
          FUZZ_CHECK(committed == original);
        } else if (!committed) {
          // Refused: the caret goes to an empty required slot.
          FUZZ_CHECK(check.RequiredSlots() > 0);
          FUZZ_CHECK(session.DisplayText()[session.CursorOffset()] == '_');
          FUZZ_CHECK(mask[session.CursorOffset()] == '0');
        } else {
          FUZZ_CHECK(*committed != original);
          FUZZ_CHECK(committed->size() <= mask.size());
          if (check.ReloadsExactly(session)) {
            EditMaskSession reloaded(mask, *committed);
            FUZZ_CHECK(reloaded.DisplayText() == session.DisplayText());
            FUZZ_CHECK(reloaded.Commit() == committed);
          }
        }
        FUZZ_CHECK(session.DisplayText() == before.display);
        break;
      }
      case 12:
        FUZZ_CHECK(session.Revert() == original);
        FUZZ_CHECK(Take(session) == loaded);
        edited = false;
        break;
    }
    check.Invariants(session);
    FUZZ_CHECK(session.Modified() ==
               (edited && check.Candidate(session.DisplayText()) != original));
    if (!changed) FUZZ_CHECK(Take(session) == before);  // a refused step does nothing
    if (moves) {
      FUZZ_CHECK(session.DisplayText() == before.display);
      FUZZ_CHECK(session.Modified() == before.modified);
    }
  }
  return 0;
}
