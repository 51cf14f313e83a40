#include "platform/FilePaths.h"

#include <filesystem>
#include <system_error>

namespace tavrin {

std::string ExecutablePath(std::string_view fallback) {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(fallback) : self.string();
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  std::size_t slash = path.find_last_of('/');
  std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = path.find_last_of('.');
  // A leading dot names a hidden file; it is no extension.
  if (dot == std::string_view::npos || dot <= nameStart) dot = path.size();
  return std::string(path.substr(0, dot)) + std::string(extension);
}

}  // namespace tavrin
