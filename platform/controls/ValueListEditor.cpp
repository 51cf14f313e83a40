#include "platform/controls/ValueListEditor.h"

#include "platform/CodePage.h"

namespace tavrin {

std::string UnusableCharacterMessage(char32_t character) {
  return codepage::Cp932("「") + codepage::CodePointName(character) +
         codepage::Cp932("」は使用できない文字です。エスケープキーで変更を取り消せます");
}

ValueListEditor::ValueListEditor(std::string name, Control* parent, Rect bounds)
    : Control(std::move(name), parent, bounds) {}

void ValueListEditor::SetTitleCaptions(std::string keyTitle, std::string valueTitle) {
  titles_ = {std::move(keyTitle), std::move(valueTitle)};
  NotifyChanged();
}

void ValueListEditor::SetColWidth(int column, int pixels) {
  colWidths_.at(static_cast<std::size_t>(column)) = pixels;
  NotifyChanged();
}

void ValueListEditor::SetDefaultRowHeight(int pixels) {
  rowHeight_ = pixels;
  NotifyChanged();
}

void ValueListEditor::InsertRow(std::string key, std::string value) {
  // Built in place: a form fills six grids for every file it shows.
  RowData& row = rows_.emplace_back();
  row.key = std::move(key);
  row.value = std::move(value);
  NotifyChanged();
}

int ValueListEditor::FindRow(std::string_view key) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].key == key) return static_cast<int>(i);
  }
  return -1;
}

std::string ValueListEditor::Values(std::string_view key) const {
  int row = FindRow(key);
  return row < 0 ? std::string() : Row(row).value;
}

int ValueListEditor::Put(std::string_view key, std::string value) {
  const int row = FindRow(key);
  if (row >= 0) {
    SetValueAt(row, std::move(value));
    return row;
  }
  InsertRow(std::string(key), std::move(value));
  return RowCount() - 1;
}

void ValueListEditor::SetValues(std::string_view key, std::string value) {
  Put(key, std::move(value));
}

void ValueListEditor::SetValueAt(int rowIndex, std::string value) {
  RowData& row = Row(rowIndex);
  row.value = std::move(value);
  row.asRead = false;
  NotifyChanged();
}

void ValueListEditor::SetReadValues(std::string_view key, std::string value) {
  Row(Put(key, std::move(value))).asRead = true;
}

bool ValueListEditor::UserSetValue(int rowIndex, std::string value) {
  if (!Enabled() || Row(rowIndex).props.readOnly) return false;
  SetValueAt(rowIndex, std::move(value));
  return true;
}

void ValueListEditor::SetItemProps(int rowIndex, ItemProp props) {
  Row(rowIndex).props = std::move(props);
  NotifyChanged();
}

void ValueListEditor::SetReadOnly(int rowIndex, bool readOnly) {
  Row(rowIndex).props.readOnly = readOnly;
  NotifyChanged();
}

void ValueListEditor::SetEditMask(int rowIndex, std::string mask) {
  Row(rowIndex).props.editMask = std::move(mask);
  NotifyChanged();
}

void ValueListEditor::AddPickListEntry(int rowIndex, std::string entry) {
  Row(rowIndex).props.pickList.push_back(std::move(entry));
  NotifyChanged();
}

void ValueListEditor::Repaint() {
  ++repaints_;
  NotifyChanged();
}

const std::string& ValueListEditor::CellText(int column, int gridRow) const {
  if (gridRow == 0) return titles_.at(static_cast<std::size_t>(column));
  const RowData& row = Row(gridRow - 1);
  return column == 0 ? row.key : row.value;
}

}  // namespace tavrin
