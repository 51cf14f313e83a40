#pragma once
// INI files read and written the way the platform's private-profile
// functions do, so that either can read what the other wrote: sections and
// keys matched without regard to ASCII case, blanks and one pair of
// enclosing quotes stripped from a value, at most 2047 bytes of it returned,
// a missing file, section or key giving the default. Names and values are
// CP932; a file name is the system's own bytes.
//
// Each write reaches the file at once and whole, so a failure never leaves
// half a file. New sections and keys go where the platform puts them
// (a new key after the section's last key, a new section at the end), and
// every other line, its line end included, stays as it was.

#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

inline constexpr std::size_t kProfileValueLimit = 2047;

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& fileName);

// A profile read once for many lookups, as start-up reads its settings:
// each lookup answers as GetPrivateProfileString would.
class ProfileReader {
 public:
  explicit ProfileReader(const std::string& fileName);
  std::string Get(std::string_view section, std::string_view key,
                  std::string_view defaultValue) const;

 private:
  std::optional<std::string> contents_;
};

// False when the file cannot be written (a read-only file or folder, a full
// disk); the file is then as it was.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& fileName);

}  // namespace tavrin
