#pragma once

#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/FolderListing.h"
#include "platform/controls/Control.h"

namespace tavrin {

// The folder list view: the items of one folder in sorted order, each with a
// selected flag. Several items may be selected at once.
class ShellListView : public Control {
 public:
  using Control::Control;

  const std::string& Folder() const { return folder_; }
  // Lists `folder` anew; the selection is cleared. A folder that cannot be
  // listed leaves the view empty and gives the reason.
  std::error_code SetFolder(std::string folder);
  // Shows `folder`, listed only when its items are first asked for (by a
  // view, or a command): a form without a screen, built for every file a
  // script shows, never lists it. The selection is cleared.
  void ShowFolder(std::string folder);
  std::error_code Refresh() { return SetFolder(folder_); }
  // Shows exactly `paths`, in this order and all selected, in place of a
  // folder's listing: how a script hands the batch command its files.
  void ShowPaths(const std::vector<std::string>& paths);

  int Count() const { return static_cast<int>(Items().size()); }
  const FolderItem& Item(int index) const { return Items().at(Index(index)); }
  // The item's parsing name: its absolute path.
  const std::string& ParsingName(int index) const { return Item(index).path; }

  bool Selected(int index) const {
    Items();
    return selected_.at(Index(index));
  }
  void SetSelected(int index, bool selected);

  // The user opened an item: a folder is entered and the linked combo box
  // follows it; a file is left alone.
  void Open(int index);
  // Goes to `folder` (the user went up, say), with the combo box following.
  void OpenFolder(std::string folder);
  void SetOnFolderOpened(std::function<void(const std::string&)> handler) {
    onFolderOpened_ = std::move(handler);
  }

  // The user gave an item a new name in place. The file or folder is
  // renamed; on failure nothing changes and the reason is given.
  std::error_code Rename(int index, const std::string& newName);

 private:
  static std::size_t Index(int index) { return static_cast<std::size_t>(index); }
  // A view that nobody looks at (a form without a screen) never lists its
  // folder: the listing is made when first asked for.
  const std::vector<FolderItem>& Items() const;

  std::string folder_;
  mutable bool listed_ = false;
  mutable std::vector<FolderItem> items_;
  mutable std::vector<bool> selected_;
  std::function<void(const std::string&)> onFolderOpened_;
};

}  // namespace tavrin
