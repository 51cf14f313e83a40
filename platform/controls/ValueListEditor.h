#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/controls/CellPaint.h"
#include "platform/controls/Control.h"

namespace tavrin {

// The CP932 text shown when the user tries to leave a cell holding a
// character CP932 cannot hold. Being CP932 itself, it names the character by
// its code point.
std::string UnusableCharacterMessage(char32_t character);

// The editing properties of one row.
struct ItemProp {
  std::string editMask;               // CP932 template, empty for none
  std::vector<std::string> pickList;  // CP932 entries in drop-down order
  bool readOnly = false;
  friend bool operator==(const ItemProp&, const ItemProp&) = default;
};

// A two-column key/value grid. Grid row 0 is the title row; data row i
// (its row index) is grid row i + 1. Keys are fixed; values are CP932 text.
// Read-only refuses the user only: the program writes every row.
class ValueListEditor : public Control {
 public:
  ValueListEditor(std::string name, Control* parent, Rect bounds);

  const std::string& KeyTitle() const { return titles_[0]; }
  const std::string& ValueTitle() const { return titles_[1]; }
  void SetTitleCaptions(std::string keyTitle, std::string valueTitle);

  int ColWidth(int column) const { return colWidths_.at(static_cast<std::size_t>(column)); }
  void SetColWidth(int column, int pixels);
  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int pixels);

  int RowCount() const { return static_cast<int>(rows_.size()); }
  const std::string& Key(int rowIndex) const { return Row(rowIndex).key; }
  const std::string& Value(int rowIndex) const { return Row(rowIndex).value; }
  void InsertRow(std::string key, std::string value);
  // Room for `rows` rows, so that a grid filled once is allocated once.
  void ReserveRows(int rows) { rows_.reserve(static_cast<std::size_t>(rows)); }

  // By key: an unknown key reads as the empty text, and writing one appends
  // a row for it.
  std::string Values(std::string_view key) const;
  void SetValues(std::string_view key, std::string value);
  // The row index of `key`, or -1.
  int FindRow(std::string_view key) const;

  void SetValueAt(int rowIndex, std::string value);
  // A value as a read of the file showed it. It counts as read until
  // anything else sets the row: a check that refuses a malformed typed text
  // lets a read one pass, since writing it back keeps the stored value.
  void SetReadValues(std::string_view key, std::string value);
  bool HoldsReadValue(int rowIndex) const { return Row(rowIndex).asRead; }
  // An edit by the user; refused (false) on a read-only row.
  bool UserSetValue(int rowIndex, std::string value);

  const ItemProp& ItemProps(int rowIndex) const { return Row(rowIndex).props; }
  void SetItemProps(int rowIndex, ItemProp props);
  void SetReadOnly(int rowIndex, bool readOnly);
  void SetEditMask(int rowIndex, std::string mask);
  void AddPickListEntry(int rowIndex, std::string entry);

  // Asks the view to paint the whole grid again.
  void Repaint();
  int RepaintCount() const { return repaints_; }

  // The owner-draw hook, run for every cell each time the grid paints it;
  // `gridRow` counts the title row as 0.
  using DrawCellHandler = std::function<CellPaint(int column, int gridRow, CellState state)>;
  void SetOnDrawCell(DrawCellHandler handler) { onDrawCell_ = std::move(handler); }
  const DrawCellHandler& OnDrawCell() const { return onDrawCell_; }

  // The text the grid shows in a cell: a title caption, a key or a value.
  const std::string& CellText(int column, int gridRow) const;

 private:
  struct RowData {
    std::string key;
    std::string value;
    ItemProp props;
    bool asRead = false;
  };
  // Sets the value of the row `key`, appending one when there is none; its index.
  int Put(std::string_view key, std::string value);
  const RowData& Row(int rowIndex) const { return rows_.at(static_cast<std::size_t>(rowIndex)); }
  RowData& Row(int rowIndex) { return rows_.at(static_cast<std::size_t>(rowIndex)); }

  std::array<std::string, 2> titles_;
  std::array<int, 2> colWidths_{101, 127};
  int rowHeight_ = 18;
  std::vector<RowData> rows_;
  int repaints_ = 0;
  DrawCellHandler onDrawCell_;
};

}  // namespace tavrin
