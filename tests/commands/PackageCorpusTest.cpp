// The window's show and change commands on copies of every package of the
// office corpus (TAVRIN_CORPUS with "-office", when it is there), checked by
// an independent reader (tests/support/package_props.py: zipfile and
// ElementTree): each row shows what that reader finds; a title change
// changes the title element of one member and nothing else; with every row
// selected and nothing typed the file stays byte for byte; a damaged package
// is refused with a code and left as it was.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/UpdateFixture.h"
#include "support/Corpus.h"
#include "support/ScratchDir.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

const char* const kReader = TAVRIN_TEST_SUPPORT_DIR "/package_props.py";

struct Package {
  fs::path path;
  std::string kind;  // ooxml, odf, noprops, badzip
};

std::vector<Package> OfficeCorpus() {
  std::vector<Package> packages;
  const char* corpus = std::getenv("TAVRIN_CORPUS");
  if (corpus == nullptr) return packages;
  const fs::path folder = std::string(corpus) + "-office";
  std::ifstream manifest(folder / "MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // the column names
  while (std::getline(manifest, line)) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() >= 7) packages.push_back({folder / fields[0], fields[6]});
  }
  return packages;
}

// `text` as a JSON string, escaped as Python's json.dumps escapes it.
std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

// The rows of both grids, as UTF-8, in the reader's JSON form.
std::string ShownRows(testing::UpdateForm& user) {
  std::string json = "{";
  for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary}) {
    json += set == RowSet::kSummary ? "\"summary\": [" : ", \"docsummary\": [";
    const auto& keys = ItemNames(set);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      json += (i == 0 ? "" : ", ") +
              JsonString(codepage::Cp932ToUtf8(user.GridOf(set).Values(keys[i])));
    }
    json += "]";
  }
  return json + "}";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(PackageCorpus, EachRowShowsWhatAnIndependentReaderFinds) {
  fixture::ScratchDir dir;
  std::vector<std::string> argv{"/usr/bin/python3", kReader, "show"};
  std::vector<std::string> shown;
  for (const Package& p : OfficeCorpus()) {
    if (p.kind != "ooxml" && p.kind != "odf") continue;
    const std::string copy = testing::WritableCopy(p.path, dir.path() / p.path.filename());
    testing::UpdateForm user;
    user.Show(copy);
    const std::vector<std::string> messages = user.Messages();
    // A package whose part cannot be read (one encrypted) is refused, with its code.
    shown.push_back(messages.empty() ? ShownRows(user) : messages.front());
    argv.push_back(copy);
  }
  if (shown.empty()) GTEST_SKIP() << "no office corpus";
  const std::vector<std::string> expected = Lines(fixture::RunProcess(argv).output);
  ASSERT_EQ(expected.size(), shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    SCOPED_TRACE(argv[i + 3]);
    if (expected[i].starts_with("{\"error\"")) {
      EXPECT_TRUE(shown[i].starts_with("Error StgOpenStorage\r\nHResult = $A0040003")) << shown[i];
    } else {
      EXPECT_EQ(shown[i], expected[i]);
    }
  }
}

TEST(PackageCorpus, ATitleChangesOnlyItsElementAndANoOpUpdateNothing) {
  fixture::ScratchDir dir;
  const std::string title = "Tavrin の題 & <x> \"q\"";
  int changed = 0;
  for (const Package& p : OfficeCorpus()) {
    SCOPED_TRACE(p.path.string());
    const std::string name = p.path.filename().string();
    const std::string original = fixture::ReadWholeFile(p.path.string());

    const std::string same = testing::WritableCopy(p.path, dir.path() / ("same-" + name));
    testing::UpdateForm all;
    all.Show(same);
    for (RowSet set : {RowSet::kSummary, RowSet::kDocSummary}) {
      for (int row = 0; row < static_cast<int>(ItemNames(set).size()); ++row) {
        all.Select(set, row);
      }
    }
    all.Update(same);
    EXPECT_EQ(fixture::ReadWholeFile(same), original);

    const std::string copy = testing::WritableCopy(p.path, dir.path() / name);
    testing::UpdateForm user;
    user.Show(copy);
    const std::vector<std::string> shownMessages = user.Messages();
    user.Put(RowSet::kSummary, summary_row::kTitle, title);
    user.Update(copy);
    if (p.kind == "badzip") {
      // Refused when shown and when changed, with the code in the message
      // (one that is a compound file, encrypted, has no property set).
      ASSERT_FALSE(shownMessages.empty());
      EXPECT_TRUE(shownMessages[0].starts_with("Error StgOpenStorage\r\nHResult = $A004") ||
                  shownMessages[0] == "Error PropSetStg.Open\r\nHResult = $80030002")
          << shownMessages[0];
      EXPECT_EQ(fixture::ReadWholeFile(copy), original);
      continue;
    }
    if (fixture::ReadWholeFile(copy) == original) {
      // A package without a part for the title, or with one it cannot read
      // (encrypted), says so.
      for (const std::string& message : user.Messages()) {
        EXPECT_TRUE(message.starts_with("Error PropSetStg.Open\r\n") ||
                    message.starts_with("Error StgOpenStorage\r\nHResult = $A0040003") ||
                    message.starts_with("Error PropStg.WriteMultiple\r\nHResult = $A0040006") ||
                    message.find(codepage::Cp932("は変更していません")) != std::string::npos)
            << message;
      }
      EXPECT_NE(p.kind, "ooxml");
      continue;
    }
    ++changed;
    EXPECT_EQ(
        fixture::RunProcess({"/usr/bin/python3", kReader, "compare", p.path.string(), copy, title})
            .output,
        "OK\n");
  }
  if (OfficeCorpus().empty()) GTEST_SKIP() << "no office corpus";
  EXPECT_GT(changed, 0);
}

}  // namespace
}  // namespace tavrin
