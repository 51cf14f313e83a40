#include "platform/FolderListing.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tavrin {
namespace fs = std::filesystem;

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
  });
}

// The mount table escapes blanks and a few other bytes as octal "\040".
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

FolderItem ItemFor(const std::string& name, const std::string& path) {
  FolderItem item{name, path, false, 0, 0};
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    item.isFolder = S_ISDIR(st.st_mode);
    item.size = item.isFolder ? 0 : static_cast<std::uintmax_t>(st.st_size);
    item.modifiedUnixSeconds = st.st_mtim.tv_sec;
  }
  return item;
}

}  // namespace

std::vector<std::string> VolumeMountPoints(const std::string& mountTable) {
  std::vector<std::string> points{"/"};
  std::ifstream in(mountTable);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint;
    if (!(fields >> device >> mountPoint)) continue;
    mountPoint = UnescapeMountField(mountPoint);
    // Only volumes backed by a device are drives to a user; the kernel's own
    // file systems (proc, sysfs, tmpfs, overlays) are not.
    if (device.rfind("/dev/", 0) != 0 || mountPoint == "/") continue;
    if (mountPoint.rfind("/boot", 0) == 0) continue;
    if (std::find(points.begin(), points.end(), mountPoint) == points.end()) {
      points.push_back(mountPoint);
    }
  }
  return points;
}

std::vector<FolderItem> ListFolder(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<FolderItem> items;
  if (folder.empty()) {
    for (const std::string& point : VolumeMountPoints()) items.push_back(ItemFor(point, point));
    return items;
  }
  std::vector<FolderItem> files;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    FolderItem item = ItemFor(name, it->path().string());
    (item.isFolder ? items : files).push_back(std::move(item));
  }
  if (error) return {};
  auto byName = [](const FolderItem& a, const FolderItem& b) {
    return LessIgnoringCase(a.name, b.name);
  };
  std::sort(items.begin(), items.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  items.insert(items.end(), std::make_move_iterator(files.begin()),
               std::make_move_iterator(files.end()));
  return items;
}

std::string ParentFolder(const std::string& folder) {
  std::string text = fs::path(folder).lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  if (text.empty() || text == "/") return {};
  std::string parent = fs::path(text).parent_path().string();
  return parent.empty() ? "/" : parent;
}

std::vector<std::string> FolderChain(const std::string& folder) {
  std::vector<std::string> chain;
  for (std::string f = folder; !f.empty(); f = ParentFolder(f)) chain.push_back(f);
  chain.push_back({});
  std::reverse(chain.begin(), chain.end());
  return chain;
}

}  // namespace tavrin
