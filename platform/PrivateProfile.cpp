#include "platform/PrivateProfile.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/CodePage.h"
#include "platform/WholeFile.h"

namespace tavrin {
namespace {

struct Line {
  std::string text;  // without its line end
  std::string end;   // "\r\n", "\n", "\r" or "" for a last line without one
};

std::vector<Line> SplitLines(const std::string& content) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t stop = content.find_first_of("\r\n", start);
    if (stop == std::string::npos) {
      lines.push_back({content.substr(start), ""});
      break;
    }
    std::size_t endLength = content.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({content.substr(start, stop - start), content.substr(stop, endLength)});
    start = stop + endLength;
  }
  return lines;
}

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t";
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Equal without regard to ASCII case; the second byte of a double-byte
// character is compared as it is, since it may look like a letter.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    std::size_t length = codepage::CharLength(a, i);
    if (length == 2) {
      if (a.substr(i, 2) != b.substr(i, 2)) return false;
    } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
    i += length;
  }
  return true;
}

// The section a line opens, if it opens one.
std::optional<std::string_view> SectionOf(std::string_view line) {
  std::string_view text = Trim(line);
  if (text.empty() || text.front() != '[') return std::nullopt;
  std::size_t close = text.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

// The key a line sets, if it sets one.
std::optional<std::string_view> KeyOf(std::string_view line) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

std::string ValueOf(std::string_view line) {
  std::string_view value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kProfileValueLimit));
}

// Where a section's lines are: its header line, and one past its last line
// that is not blank.
struct SectionSpan {
  std::size_t header;
  std::size_t end;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::optional<std::string_view> name = SectionOf(lines[i].text);
    if (!name || !SameName(*name, section)) continue;
    SectionSpan span{i, i + 1};
    for (std::size_t j = i + 1; j < lines.size() && !SectionOf(lines[j].text); ++j) {
      if (!Trim(lines[j].text).empty()) span.end = j + 1;
    }
    return span;
  }
  return std::nullopt;
}

}  // namespace

ProfileReader::ProfileReader(const std::string& fileName) : contents_(ReadWholeFile(fileName)) {}

std::string ProfileReader::Get(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  // The platform strips trailing blanks from the default, and only those.
  std::string fallback(defaultValue.substr(0, defaultValue.find_last_not_of(" \t") + 1));
  fallback.resize(std::min(fallback.size(), kProfileValueLimit));
  if (!contents_) return fallback;
  std::vector<Line> lines = SplitLines(*contents_);
  std::optional<SectionSpan> span = FindSection(lines, section);
  if (!span) return fallback;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    std::optional<std::string_view> name = KeyOf(lines[i].text);
    if (name && SameName(*name, key)) return ValueOf(lines[i].text);
  }
  return fallback;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& fileName) {
  return ProfileReader(fileName).Get(section, key, defaultValue);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& fileName) {
  std::vector<Line> lines = SplitLines(ReadWholeFile(fileName).value_or(std::string()));
  const std::string newLine = std::string(key) + "=" + std::string(value);
  std::optional<SectionSpan> span = FindSection(lines, section);
  bool replaced = false;
  if (span) {
    for (std::size_t i = span->header + 1; i < span->end && !replaced; ++i) {
      std::optional<std::string_view> name = KeyOf(lines[i].text);
      if (name && SameName(*name, key)) {
        lines[i].text = newLine;
        replaced = true;
      }
    }
    if (!replaced) {
      // A last line without its line end gets one before anything follows it.
      if (lines[span->end - 1].end.empty()) lines[span->end - 1].end = "\r\n";
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(span->end), {newLine, "\r\n"});
    }
  } else {
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = "\r\n";
    lines.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines.push_back({newLine, "\r\n"});
  }
  std::string content;
  for (const Line& line : lines) content += line.text + line.end;
  return ReplaceWholeFile(fileName, content);
}

}  // namespace tavrin
