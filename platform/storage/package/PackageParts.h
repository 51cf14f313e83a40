#pragma once
// What the property sets of a package need from the archive that holds it:
// a part's content by name, and one all-or-nothing change of several parts.
// The ZIP archive answers it in the program; tests answer it from memory.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/Status.h"

namespace tavrin::storage::package {

struct PartChange {
  std::string name;
  std::string content;
};

class PackageParts {
 public:
  virtual ~PackageParts() = default;
  // The content of part `name` (no leading "/"), or nothing when the package
  // has no such part; `limit` bounds what is read.
  virtual Status Read(std::string_view name, std::size_t limit,
                      std::optional<std::string>& content) const = 0;
  // Replaces the named parts' content, all of them or none.
  virtual Status Write(const std::vector<PartChange>& changes) = 0;
};

}  // namespace tavrin::storage::package
