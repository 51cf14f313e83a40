#include "platform/controls/EditMask.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace tavrin {
namespace {

bool IsDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

// A character that can sit in a slot of a loaded text: a digit, or the
// placeholder of an empty slot. Only ever tested at a character boundary:
// "_" is also the second byte of two-byte characters such as "ダ".
bool IsSlotChar(char ch) {
  return IsDigit(ch) || ch == '_';
}

}  // namespace

const std::string& EditMaskRefusalMessage() {
  static const std::string message =
      codepage::Cp932("入力値が不正です。エスケープキーで変更を取り消せます");
  return message;
}

EditMaskSession::EditMaskSession(std::string_view mask, std::string cellText)
    : original_(std::move(cellText)) {
  std::size_t offset = 0;
  for (std::size_t at = 0; at < mask.size();) {
    const std::size_t length = codepage::CharLength(mask, at);
    Position position;
    if (mask[at] == '0') {
      position.kind = Kind::kRequired;
    } else if (mask[at] == '9') {
      position.kind = Kind::kOptional;
    } else {
      position.literal = std::string(mask.substr(at, length));
    }
    positions_.push_back(std::move(position));
    offsets_.push_back(offset);
    // A slot shows one byte whatever it holds, so the offsets never move.
    offset += IsSlot(positions_.size() - 1) ? 1 : length;
    at += length;
  }
  offsets_.push_back(offset);
  Load();
}

void EditMaskSession::Load() {
  const std::string_view text = original_;
  std::size_t at = 0;
  for (std::size_t pos = 0; pos < positions_.size();) {
    if (!IsSlot(pos)) {
      if (at < text.size() && !IsSlotChar(text[at])) {
        at += codepage::CharLength(text, at);
      }
      ++pos;
      continue;
    }
    std::size_t runEnd = pos;
    while (IsSlot(runEnd)) ++runEnd;
    std::size_t digitsEnd = at;
    while (digitsEnd < text.size() && IsSlotChar(text[digitsEnd])) ++digitsEnd;
    const bool fits = digitsEnd - at <= runEnd - pos;
    for (std::size_t slot = pos; slot < runEnd; ++slot) {
      const std::size_t source = at + (slot - pos);
      const bool filled = fits && source < digitsEnd && text[source] != '_';
      positions_[slot].digit = filled ? text[source] : '\0';
    }
    at = digitsEnd;
    pos = runEnd;
  }
  cursor_ = anchor_ = NextSlot(0);
  edited_ = false;
}

std::string EditMaskSession::DisplayText() const {
  std::string display;
  display.reserve(offsets_.back());
  for (const Position& position : positions_) {
    if (position.kind == Kind::kLiteral) {
      display += position.literal;
    } else {
      display += position.digit != '\0' ? position.digit : '_';
    }
  }
  return display;
}

std::size_t EditMaskSession::NextSlot(std::size_t pos) const {
  while (pos < positions_.size() && !IsSlot(pos)) ++pos;
  return pos;
}

std::size_t EditMaskSession::PositionAtOffset(std::size_t byteOffset) const {
  // The last position that starts at or before the offset; past the end is
  // the end.
  if (byteOffset >= offsets_.back()) return positions_.size();
  const auto after = std::upper_bound(offsets_.begin(), offsets_.end() - 1, byteOffset);
  return static_cast<std::size_t>(after - offsets_.begin()) - 1;
}

std::pair<std::size_t, std::size_t> EditMaskSession::SelectionOffsets() const {
  const std::size_t from = std::min(anchor_, cursor_);
  const std::size_t to = std::max(anchor_, cursor_);
  return {OffsetOf(from), OffsetOf(to)};
}

void EditMaskSession::SelectAll() {
  anchor_ = 0;
  cursor_ = positions_.size();
}

void EditMaskSession::MoveTo(std::size_t pos, bool extend) {
  cursor_ = pos;
  if (!extend) anchor_ = cursor_;
}

void EditMaskSession::Left(bool extend) {
  if (HasSelection() && !extend) {
    MoveTo(NextSlot(std::min(anchor_, cursor_)), false);
    return;
  }
  std::size_t pos = cursor_;
  while (pos > 0 && !IsSlot(--pos)) {
  }
  if (IsSlot(pos)) MoveTo(pos, extend);
}

void EditMaskSession::Right(bool extend) {
  if (HasSelection() && !extend) {
    MoveTo(NextSlot(std::max(anchor_, cursor_)), false);
    return;
  }
  if (cursor_ < positions_.size()) MoveTo(NextSlot(cursor_ + 1), extend);
}

void EditMaskSession::Home(bool extend) {
  MoveTo(NextSlot(0), extend);
}

void EditMaskSession::End(bool extend) {
  MoveTo(positions_.size(), extend);
}

void EditMaskSession::PlaceCursor(std::size_t byteOffset, bool extend) {
  MoveTo(NextSlot(PositionAtOffset(byteOffset)), extend);
}

void EditMaskSession::EraseSelection() {
  const std::size_t from = std::min(anchor_, cursor_);
  const std::size_t to = std::max(anchor_, cursor_);
  for (std::size_t pos = from; pos < to; ++pos) positions_[pos].digit = '\0';
  MoveTo(NextSlot(from), false);
  edited_ = true;
}

std::size_t EditMaskSession::Fill(char digit) {
  const std::size_t slot = NextSlot(HasSelection() ? std::min(anchor_, cursor_) : cursor_);
  if (!IsDigit(digit) || slot == positions_.size()) return positions_.size();
  if (HasSelection()) EraseSelection();
  positions_[slot].digit = digit;
  MoveTo(NextSlot(slot + 1), false);
  edited_ = true;
  return slot;
}

bool EditMaskSession::Type(char ch) {
  return Fill(ch) != positions_.size();
}

bool EditMaskSession::Backspace() {
  if (HasSelection()) {
    EraseSelection();
    return true;
  }
  std::size_t pos = cursor_;
  while (pos > 0 && !IsSlot(--pos)) {
  }
  if (!IsSlot(pos) || pos >= cursor_) return false;
  positions_[pos].digit = '\0';
  MoveTo(pos, false);
  edited_ = true;
  return true;
}

bool EditMaskSession::Delete() {
  if (HasSelection()) {
    EraseSelection();
    return true;
  }
  const std::size_t slot = NextSlot(cursor_);
  if (slot == positions_.size()) return false;
  positions_[slot].digit = '\0';
  MoveTo(slot, false);
  edited_ = true;
  return true;
}

bool EditorCanLeaveWith(std::string_view mask, const std::string& cellText, std::string_view text) {
  if (text == cellText) return true;
  EditMaskSession session(mask, cellText);
  session.SelectAll();
  session.Delete();
  session.Home();
  if (!session.Paste(text)) return false;
  const std::optional<std::string> left = session.Commit();
  return left && *left == text;
}

bool EditMaskSession::Paste(std::string_view cp932) {
  const EditMaskSession before = *this;
  // Where the next literal of the pasted text has to match: right after the
  // slot filled last, before the cursor stepped over the literals.
  std::size_t literalAt = HasSelection() ? std::min(anchor_, cursor_) : cursor_;
  for (std::size_t at = 0; at < cp932.size();) {
    const std::size_t length = codepage::CharLength(cp932, at);
    const std::string_view ch = cp932.substr(at, length);
    bool accepted = false;
    if (length == 1 && IsDigit(ch[0])) {
      const std::size_t slot = Fill(ch[0]);
      accepted = slot != positions_.size();
      literalAt = slot + 1;
    } else if (literalAt < positions_.size() && !IsSlot(literalAt) &&
               positions_[literalAt].literal == ch) {
      accepted = true;
      ++literalAt;
    }
    if (!accepted) {
      *this = before;
      return false;
    }
    at += length;
  }
  return true;
}

std::string EditMaskSession::Candidate() const {
  const bool anyFilled = std::any_of(positions_.begin(), positions_.end(),
                                     [](const Position& p) { return p.digit != '\0'; });
  if (!anyFilled) return {};
  std::string text;
  for (const Position& position : positions_) {
    switch (position.kind) {
      case Kind::kLiteral:
        text += position.literal;
        break;
      case Kind::kRequired:
        text += position.digit != '\0' ? position.digit : '_';
        break;
      case Kind::kOptional:
        if (position.digit != '\0') text += position.digit;
        break;
    }
  }
  return text;
}

bool EditMaskSession::Modified() const {
  return edited_ && Candidate() != original_;
}

std::optional<std::string> EditMaskSession::Commit() {
  if (!Modified()) return original_;
  for (std::size_t pos = 0; pos < positions_.size(); ++pos) {
    if (positions_[pos].kind == Kind::kRequired && positions_[pos].digit == '\0') {
      MoveTo(pos, false);
      return std::nullopt;
    }
  }
  return Candidate();
}

const std::string& EditMaskSession::Revert() {
  Load();
  return original_;
}

}  // namespace tavrin
