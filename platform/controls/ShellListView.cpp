#include "platform/controls/ShellListView.h"

#include <cstdio>
#include <filesystem>

namespace tavrin {

std::error_code ShellListView::SetFolder(std::string folder) {
  std::error_code error;
  folder_ = std::move(folder);
  items_ = ListFolder(folder_, error);
  selected_.assign(items_.size(), false);
  listed_ = true;
  NotifyChanged();
  return error;
}

void ShellListView::ShowFolder(std::string folder) {
  folder_ = std::move(folder);
  items_.clear();
  selected_.clear();
  listed_ = false;
  NotifyChanged();
}

const std::vector<FolderItem>& ShellListView::Items() const {
  if (!listed_) {
    std::error_code ignored;  // an unlistable folder shows empty
    items_ = ListFolder(folder_, ignored);
    selected_.assign(items_.size(), false);
    listed_ = true;
  }
  return items_;
}

void ShellListView::ShowPaths(const std::vector<std::string>& paths) {
  items_.clear();
  for (const std::string& path : paths) {
    std::error_code error;
    FolderItem item;
    item.path = path;
    item.name = std::filesystem::path(path).filename().string();
    item.isFolder = std::filesystem::is_directory(path, error);
    items_.push_back(std::move(item));
  }
  selected_.assign(items_.size(), true);
  listed_ = true;
  NotifyChanged();
}

void ShellListView::SetSelected(int index, bool selected) {
  Items();
  selected_.at(Index(index)) = selected;
  NotifyChanged();
}

void ShellListView::Open(int index) {
  const FolderItem& item = Item(index);
  if (!item.isFolder) return;
  OpenFolder(item.path);
}

void ShellListView::OpenFolder(std::string folder) {
  // With a linked combo box the combo lists the folder for us.
  if (onFolderOpened_) {
    onFolderOpened_(folder);
  } else {
    SetFolder(std::move(folder));
  }
}

std::error_code ShellListView::Rename(int index, const std::string& newName) {
  namespace fs = std::filesystem;
  if (newName.empty() || newName == "." || newName == ".." ||
      newName.find('/') != std::string::npos) {
    return std::make_error_code(std::errc::invalid_argument);
  }
  const FolderItem& item = Item(index);
  fs::path target = fs::path(item.path).parent_path() / newName;
  if (target == fs::path(item.path)) return {};
  // rename() would silently replace an existing file of that name.
  std::error_code error;
  if (fs::exists(fs::symlink_status(target, error))) {
    return std::make_error_code(std::errc::file_exists);
  }
  fs::rename(item.path, target, error);
  if (!error) Refresh();
  return error;
}

}  // namespace tavrin
