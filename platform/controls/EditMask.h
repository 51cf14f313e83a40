#pragma once
// The masked editor of a grid cell, apart from any window toolkit: a view
// feeds it keys and clicks and draws what it reports; tests drive it alone.
//
// A mask is a CP932 template. "0" is a position that requires a digit, "9" a
// position that takes one digit or nothing; every other character, one byte
// or two ("日"), is a literal that stands in place, is stepped over by the
// cursor and is kept in the cell's text. Digit positions are called slots.
//
// Rules this editor keeps, and why:
//
// 1. Nothing incomplete is ever stored. Leaving a cell the user has not
//    changed gives back its text byte for byte, even a text that never fitted
//    the template (a value read from a file is not ours to rewrite just
//    because someone clicked into it). Leaving a changed cell gives the
//    completed text, or is refused while a required slot is empty; then the
//    only way out without completing it is Escape, which restores the text
//    the cell had. So a cell holds either its old text or a full entry, never
//    the template with gaps, and the commands that write values only ever see
//    texts the user typed in full or texts that came from elsewhere.
//    Every way of leaving the cell (focus moving away, a click elsewhere, the
//    arrow keys moving to another row) goes through Commit().
//
// 2. Loading a cell's text. The text is read alongside the template. Each run
//    of slots takes the run of digits found at that place, left-aligned when
//    it is shorter ("2004/1/31" shows "2004/1_/31"); "_" in the text stands
//    for an empty slot. A run of digits longer than its slots is not shown at
//    all: cutting "10000" days to "1000" would put a different number in
//    front of the user, and one edit elsewhere in the cell would store it.
//    Where the template has a literal, the text's character is taken as that
//    literal whatever it is ("2004-01-31" maps like "2004/01/31"), unless it
//    is a digit: then the text has fewer separators and the digits belong to
//    the next slots. Whatever follows the end of the template is not shown.
//
// 3. Editing overwrites and never shifts: a fixed-width field whose digits
//    slid about under Backspace would scramble dates. Typing fills the first
//    slot at or after the cursor; Backspace and Delete empty one slot (or
//    every slot of the selection) and leave the rest where it is.
//
// 4. The cursor rests on a slot or after the last position, never on a
//    literal, so typing always lands where the caret is drawn.
//
// 5. The cell counts as changed when the user has edited it and the text it
//    would now hold differs from the text it had. Typing a digit into an empty
//    date and erasing it again leaves the cell unchanged, so it can be left
//    without a complaint. The text it would hold has the literals in place,
//    empty optional slots left out, and is the empty text when every slot is
//    empty; so emptying the "9" cell gives the empty text, and erasing a
//    value the template could not show (which was already shown as blanks)
//    still counts as a change.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

// The CP932 text shown when the user tries to leave an incomplete masked
// cell.
const std::string& EditMaskRefusalMessage();

// True when an editor of the template `mask` on a cell holding `cellText`
// can be left holding `text`: the cell's own text, left alone, or an entry
// typed in full over it (the empty text only where every slot is optional).
// What another way in (the command line) may put into a masked cell.
bool EditorCanLeaveWith(std::string_view mask, const std::string& cellText, std::string_view text);

class EditMaskSession {
 public:
  // Both CP932. `cellText` may be anything; see rule 2.
  EditMaskSession(std::string_view mask, std::string cellText);

  // The template with digits in filled slots and "_" in empty ones.
  std::string DisplayText() const;

  // Positions are the template's characters, so the cursor runs from 0 to
  // PositionCount(); a view places the caret by the byte offset.
  std::size_t PositionCount() const { return positions_.size(); }
  std::size_t Cursor() const { return cursor_; }
  std::size_t CursorOffset() const { return OffsetOf(cursor_); }

  // The selection as byte offsets into DisplayText(), begin <= end; empty
  // when nothing is selected.
  std::pair<std::size_t, std::size_t> SelectionOffsets() const;
  bool HasSelection() const { return anchor_ != cursor_; }
  void SelectAll();

  // Moves; with `extend` the selection grows from where it was anchored, as
  // with Shift held or the mouse dragged.
  void Left(bool extend = false);
  void Right(bool extend = false);
  void Home(bool extend = false);
  void End(bool extend = false);
  // A click at a byte offset into DisplayText(). An offset inside a literal,
  // also between the two bytes of one, lands on the next slot.
  void PlaceCursor(std::size_t byteOffset, bool extend = false);

  // Each gives false when it did nothing, so the view can beep: a non-digit,
  // no slot left after the cursor, nothing before it to erase.
  bool Type(char ch);
  bool Backspace();
  bool Delete();
  // Types `cp932` character by character. A character equal to the
  // template's literal at that point is stepped over, so a formatted value
  // pastes whole. All or nothing: a refused character leaves the session as
  // it was.
  bool Paste(std::string_view cp932);

  // Whether the user has changed the cell; see rule 5.
  bool Modified() const;

  // The text to store on leaving the cell, or nothing when an edited cell
  // still has an empty required slot; then the cursor moves to that slot and
  // the session goes on.
  std::optional<std::string> Commit();

  // Escape: back to the text the cell had, which is also returned.
  const std::string& Revert();

 private:
  enum class Kind { kRequired, kOptional, kLiteral };
  struct Position {
    Kind kind = Kind::kLiteral;
    std::string literal;  // CP932 character, for literals only
    char digit = '\0';    // '\0' while the slot is empty
  };

  void Load();
  bool IsSlot(std::size_t pos) const {
    return pos < positions_.size() && positions_[pos].kind != Kind::kLiteral;
  }
  // The first slot at or after `pos`, or PositionCount().
  std::size_t NextSlot(std::size_t pos) const;
  std::size_t OffsetOf(std::size_t pos) const { return offsets_[pos]; }
  std::size_t PositionAtOffset(std::size_t byteOffset) const;
  void MoveTo(std::size_t pos, bool extend);
  void EraseSelection();
  // The slot the digit went into, or PositionCount() when there was none.
  std::size_t Fill(char digit);
  // The text the cell would hold now; an empty required slot shows as "_".
  std::string Candidate() const;

  std::string original_;
  std::vector<Position> positions_;
  std::vector<std::size_t> offsets_;  // display offset of each position, and the end
  std::size_t cursor_ = 0;
  std::size_t anchor_ = 0;
  bool edited_ = false;
};

}  // namespace tavrin
