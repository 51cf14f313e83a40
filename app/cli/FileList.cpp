#include "app/cli/FileList.h"

#include <sys/stat.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <span>

#include "platform/DocumentExtensions.h"
#include "platform/FolderListing.h"
#include "platform/WholeFile.h"

namespace tavrin::cli {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Whether the name ends in one of the extensions, without regard to ASCII
// case.
bool HasExtension(const std::string& name, std::span<const std::string> extensions) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ending = name.substr(dot + 1);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::find(extensions.begin(), extensions.end(), ending) != extensions.end();
}

// The documents under `folder`, in the folder view's order (its folders
// first, names without regard to case). A folder reached through a link is
// not walked: a link to a folder above would never end.
std::string Walk(const std::string& folder, std::span<const std::string> extensions,
                 std::vector<std::string>& files) {
  std::error_code error;
  const std::vector<FolderItem> items = ListFolder(folder, error);
  if (error) return "cannot walk '" + folder + "': " + error.message();
  for (const FolderItem& item : items) {
    if (item.isFolder) {
      struct stat link {};
      if (::lstat(item.path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) continue;
      if (std::string problem = Walk(item.path, extensions, files); !problem.empty()) {
        return problem;
      }
    } else if (HasExtension(item.name, extensions)) {
      files.push_back(item.path);
    }
  }
  return {};
}

}  // namespace

std::vector<std::string> SplitNames(const std::string& list, bool nullSeparated) {
  const char end = nullSeparated ? '\0' : '\n';
  std::vector<std::string> names;
  for (std::size_t at = 0; at < list.size();) {
    std::size_t stop = list.find(end, at);
    if (stop == std::string::npos) stop = list.size();
    if (stop > at) names.push_back(list.substr(at, stop - at));
    at = stop + 1;
  }
  return names;
}

std::string GatherFiles(const CommandLine& line, std::vector<std::string>& files) {
  std::vector<std::string> named = line.files;
  if (!line.filesFrom.empty()) {
    std::string list;
    if (line.filesFrom == "-") {
      char buffer[1 << 16];
      for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) {
        list.append(buffer, got);
      }
    } else if (std::optional<std::string> read = ReadWholeFile(line.filesFrom)) {
      list = std::move(*read);
    } else {
      return "cannot read the list '" + line.filesFrom + "'";
    }
    for (std::string& name : SplitNames(list, line.nullSeparated)) named.push_back(std::move(name));
  }
  std::vector<std::string> extensions = line.extensions;
  if (extensions.empty()) {
    extensions.assign(std::begin(kDocumentExtensions), std::end(kDocumentExtensions));
  }
  files.clear();
  for (std::string& name : named) {
    if (!line.recursive || !IsFolder(name)) {
      files.push_back(std::move(name));
    } else if (std::string problem = Walk(name, extensions, files); !problem.empty()) {
      return problem;
    }
  }
  return {};
}

}  // namespace tavrin::cli
