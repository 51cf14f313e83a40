#include "app/cli/WriteOutcome.h"

#include "app/cli/Json.h"
#include "app/cli/Output.h"
#include "app/cli/RowNames.h"
#include "platform/CodePage.h"

namespace tavrin::cli {
namespace {

using codepage::Cp932ToUtf8;

const char* WhyNotStored(RowFate fate) {
  switch (fate) {
    case RowFate::kMissing:
      return "the document lacks this property, and none is added";
    case RowFate::kCodePage:
      return "the set's code page cannot hold the text, so the set is not written";
    case RowFate::kTypeKeeps:
      return "the property's type cannot hold the value, so it keeps its own";
    case RowFate::kSetFailed:
      return "its set was not written";
    case RowFate::kStored:
    case RowFate::kSame:
      break;
  }
  return "";
}

}  // namespace

const char* StatusName(FileStatus status) {
  switch (status) {
    case FileStatus::kChanged:
      return "changed";
    case FileStatus::kUnchanged:
      return "unchanged";
    case FileStatus::kFailed:
      return "failed";
    case FileStatus::kNotProcessed:
      break;
  }
  return "not-processed";
}

const char* FateName(RowFate fate) {
  switch (fate) {
    case RowFate::kStored:
      return "stored";
    case RowFate::kSame:
      return "same";
    case RowFate::kMissing:
      return "missing";
    case RowFate::kCodePage:
      return "code-page";
    case RowFate::kTypeKeeps:
      return "type";
    case RowFate::kSetFailed:
      break;
  }
  return "set-failed";
}

std::string RenderPlan(const FileOutcome& outcome) {
  std::string out = "== " + EscapedPath(outcome.path) + "\n";
  for (const RowOutcome& row : outcome.rows) {
    if (row.fate == RowFate::kSame) continue;
    out += AliasOf({row.set, row.row}) + ": ";
    if (row.fate == RowFate::kStored) {
      out += "'" + Cp932ToUtf8(row.before) + "' -> '" + Cp932ToUtf8(row.after) + "'\n";
    } else {
      out += std::string("not stored: ") + WhyNotStored(row.fate) + "\n";
    }
  }
  return out;
}

std::string RenderOutcomeJson(const FileOutcome& outcome) {
  std::string out = "{" + JsonPathMembers(outcome.path) + ",\"status\":\"" +
                    StatusName(outcome.status) + "\",\"rows\":[";
  for (std::size_t i = 0; i < outcome.rows.size(); ++i) {
    const RowOutcome& row = outcome.rows[i];
    out += i == 0 ? "{" : ",{";
    out += "\"key\":" + JsonString(Rows(row.set)[static_cast<std::size_t>(row.row)].keyUtf8);
    out += ",\"alias\":\"" + AliasOf({row.set, row.row}) + "\"";
    out += ",\"old\":" + (row.read && row.fate != RowFate::kMissing
                              ? JsonString(Cp932ToUtf8(row.before))
                              : std::string("null"));
    out += ",\"new\":" + JsonString(Cp932ToUtf8(row.after));
    out += std::string(",\"stored\":") + (row.fate == RowFate::kStored ? "true" : "false");
    if (row.fate != RowFate::kStored)
      out += std::string(",\"reason\":\"") + FateName(row.fate) + "\"";
    out += "}";
  }
  out += "],\"messages\":[";
  for (std::size_t i = 0; i < outcome.messages.size(); ++i) {
    const auto& box = outcome.messages[i];
    out += i == 0 ? "{" : ",{";
    out += "\"caption\":" + JsonString(Cp932ToUtf8(box.caption));
    out += ",\"text\":" + JsonString(Cp932ToUtf8(box.text)) + "}";
  }
  return out + "]}";
}

}  // namespace tavrin::cli
