// The INI reader over any file and any names, and a write followed by reads.
//
// Every lookup gives at most 2047 bytes of one line (or the default); names
// match without regard to ASCII case; a plain value written under a plain key
// reads back as written, and the write changes no other lookup.
//
// Input: the section, key and default to look up, the section, key and value
// to write, then the file's contents. The file's own section and key names
// are looked up too, so that lookups find something.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/PrivateProfile.h"
#include "platform/WholeFile.h"

namespace tavrin {
namespace {

struct Lookup {
  std::string section;
  std::string key;
  std::string defaultValue;
};

std::string_view Stripped(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Section and key names as a person reading the file would pick them out.
std::vector<Lookup> NamesIn(std::string_view contents) {
  std::vector<std::string> sections;
  std::vector<std::string> keys;
  std::size_t start = 0;
  while (start < contents.size() && (sections.size() < 4 || keys.size() < 4)) {
    std::size_t stop = contents.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) stop = contents.size();
    const std::string_view line = contents.substr(start, stop - start);
    if (const std::size_t open = line.find('['); open != std::string_view::npos) {
      const std::size_t close = line.find(']', open);
      if (close != std::string_view::npos && sections.size() < 4) {
        sections.emplace_back(Stripped(line.substr(open + 1, close - open - 1)));
      }
    }
    if (const std::size_t equals = line.find('=');
        equals != std::string_view::npos && keys.size() < 4) {
      keys.emplace_back(Stripped(line.substr(0, equals)));
    }
    start = stop + 1;
  }
  if (sections.empty()) sections.emplace_back();
  if (keys.empty()) keys.emplace_back();
  std::vector<Lookup> lookups;
  for (const std::string& section : sections) {
    for (const std::string& key : keys) lookups.push_back({section, key, "\x01"});
  }
  return lookups;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ASCII case only, whatever the locale says about other bytes.
std::string Folded(std::string_view text, bool upper) {
  std::string out(text);
  for (char& c : out) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The default comes back without its trailing blanks and cut to the limit.
std::string Fallback(std::string_view defaultValue) {
  std::string_view kept = defaultValue.substr(0, defaultValue.find_last_not_of(" \t") + 1);
  return std::string(kept.substr(0, kProfileValueLimit));
}

// Looks up once and checks what any lookup gives.
std::string CheckedGet(const ProfileReader& reader, const std::string& contents,
                       const Lookup& lookup) {
  std::string value = reader.Get(lookup.section, lookup.key, lookup.defaultValue);
  FUZZ_CHECK(value.size() <= kProfileValueLimit);
  if (value != Fallback(lookup.defaultValue)) {
    // A found value is part of one line of the file.
    FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(contents.find(value) != std::string::npos);
  }
  return value;
}

// ASCII case never changes what a lookup finds.
void CheckCase(const ProfileReader& reader, const Lookup& lookup, const std::string& value) {
  if (!IsAscii(lookup.section) || !IsAscii(lookup.key)) return;
  FUZZ_CHECK(reader.Get(Folded(lookup.section, true), Folded(lookup.key, true),
                        lookup.defaultValue) == value);
  FUZZ_CHECK(reader.Get(Folded(lookup.section, false), Folded(lookup.key, false),
                        lookup.defaultValue) == value);
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Names and values that the file's line format can hold as they are.
bool PlainSection(std::string_view section) {
  return !HasLineBreak(section) && section.find(']') == std::string_view::npos &&
         Stripped(section) == section;
}
bool PlainKey(std::string_view key) {
  return !HasLineBreak(key) && key.find('=') == std::string_view::npos && Stripped(key) == key &&
         !key.starts_with('[');
}
bool PlainValue(std::string_view value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return !HasLineBreak(value) && Stripped(value) == value && !quoted &&
         value.size() <= kProfileValueLimit;
}

bool SameAsciiFold(std::string_view a, std::string_view b) {
  return Folded(a, true) == Folded(b, true);
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  fuzz::Input in(data, size);
  Lookup asked{in.ShortText(), in.ShortText(), in.ShortText()};
  Lookup written{in.ShortText(), in.ShortText(), in.ShortText()};
  const std::string contents = in.Rest();

  const std::string path = fuzz::ScratchFolder() + "/profile.ini";
  FUZZ_CHECK(ReplaceWholeFile(path, contents));
  std::vector<Lookup> lookups = NamesIn(contents);
  lookups.push_back(asked);
  lookups.push_back({written.section, written.key, "\x01"});

  // Lookups are what costs here (each one reads the whole file again), so
  // every lookup is made once per reader, and the case variants only for the
  // names the input chose and the file's first ones.
  const ProfileReader before(path);
  std::vector<std::string> found;
  for (const Lookup& lookup : lookups) found.push_back(CheckedGet(before, contents, lookup));
  CheckCase(before, lookups.front(), found.front());
  CheckCase(before, asked, found[found.size() - 2]);
  CheckCase(before, lookups.back(), found.back());
  // The one-off lookup reads the file anew and answers the same.
  FUZZ_CHECK(GetPrivateProfileString(asked.section, asked.key, asked.defaultValue, path) ==
             found[found.size() - 2]);
  // A file that is not there gives the default.
  FUZZ_CHECK(ProfileReader(path + ".missing").Get(asked.section, asked.key, asked.defaultValue) ==
             Fallback(asked.defaultValue));

  FUZZ_CHECK(WritePrivateProfileString(written.section, written.key, written.defaultValue, path));
  const ProfileReader after(path);
  const std::optional<std::string> rewritten = ReadWholeFile(path);
  FUZZ_CHECK(rewritten.has_value());
  // Only the written key's lookups may change, as long as the section header
  // and the key line were written in a form the reader takes as such (a line
  // break in the value would start lines of its own).
  const bool plainLines =
      PlainSection(written.section) && PlainKey(written.key) && !HasLineBreak(written.defaultValue);
  for (std::size_t i = 0; i < lookups.size(); ++i) {
    const Lookup& lookup = lookups[i];
    const std::string value = CheckedGet(after, *rewritten, lookup);
    const bool aliased =
        SameAsciiFold(lookup.section, written.section) && SameAsciiFold(lookup.key, written.key);
    if (plainLines && !aliased) FUZZ_CHECK(value == found[i]);
  }
  if (plainLines && PlainValue(written.defaultValue)) {
    const std::string value = after.Get(written.section, written.key, "\x01");
    FUZZ_CHECK(value == written.defaultValue);
    CheckCase(after, {written.section, written.key, "\x01"}, value);
  }
  std::remove(path.c_str());
  return 0;
}
