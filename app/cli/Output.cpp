#include "app/cli/Output.h"

#include <cstdio>

#include "app/cli/Json.h"
#include "filetimes/FileDate.h"
#include "platform/CodePage.h"

namespace tavrin::cli {

std::string EscapedPath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (AppendCommonEscape(c, out)) continue;
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(byte));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::string JsonPathMembers(std::string_view path) {
  return "\"path\":" + (IsUtf8(path) ? JsonString(path) : std::string("null")) +
         ",\"path_bytes\":\"" + HexBytes(path) + "\"";
}

std::string MessageLine(std::string_view path, const ScriptedDialogs::Shown& box) {
  std::string text = codepage::Cp932ToUtf8(box.text);
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " / ");
  // Line breaks of other kinds would start a line the reader takes for a
  // message of its own.
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return EscapedPath(path) + ": " + codepage::Cp932ToUtf8(box.caption) + ": " + text + "\n";
}

bool IsNote(const ScriptedDialogs::Shown& box) {
  return box.kind == ScriptedDialogs::Kind::kMessage &&
         box.text == CreationTimeNotSettableMessage();
}

bool IsMissingSet(const ScriptedDialogs::Shown& box) {
  // STG_E_FILENOTFOUND from opening the set: the stream is not there.
  return box.text == "Error PropSetStg.Open\r\nHResult = $80030002";
}

std::vector<ScriptedDialogs::Shown> MessagesOf(const std::vector<ScriptedDialogs::Shown>& boxes) {
  std::vector<ScriptedDialogs::Shown> messages;
  for (const auto& box : boxes) {
    if (box.kind != ScriptedDialogs::Kind::kConfirm && box.kind != ScriptedDialogs::Kind::kWarn) {
      messages.push_back(box);
    }
  }
  return messages;
}

}  // namespace tavrin::cli
