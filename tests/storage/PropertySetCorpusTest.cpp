// The property-set streams of real documents (the shared corpus, when
// present), copied out by python3-olefile into a temporary folder: each
// parses, writes itself back byte for byte, takes a longer and a shorter
// title without touching any other property, and reads as the corpus
// inventory says.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/storage/PropertySetTestSupport.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;
using storage::PropertySetStream;

std::vector<std::vector<std::string>> ReadTsv(const fs::path& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    rows.emplace_back(1);
    for (char c : line) {
      if (c == '\t') {
        rows.back().emplace_back();
      } else {
        rows.back().back() += c;
      }
    }
  }
  return rows;
}

class PropertySetCorpus : public testing::Test {
 protected:
  // "file.si" / "file.dsi" -> the stream's bytes.
  static inline std::map<std::string, std::string> streams_;
  static inline fs::path folder_;

  static void SetUpTestSuite() {
    const char* corpus = std::getenv("TAVRIN_CORPUS");
    if (corpus == nullptr || !fs::is_directory(corpus)) return;
    std::string pattern = (fs::temp_directory_path() / "tavrin-propsets-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    std::string command = "/usr/bin/python3 '" TAVRIN_STORAGE_TEST_DIR
                          "/extract_property_streams.py' '" +
                          std::string(corpus) + "' '" + folder_.string() + "'";
    if (std::system(command.c_str()) != 0) return;
    for (const auto& row : ReadTsv(folder_ / "streams.tsv")) {
      std::ifstream in(folder_ / row[2], std::ios::binary);
      streams_[row[0] + "." + row[1]].assign(std::istreambuf_iterator<char>(in), {});
    }
  }
  static void TearDownTestSuite() {
    if (!folder_.empty()) fs::remove_all(folder_);
  }
  void SetUp() override {
    if (folder_.empty()) GTEST_SKIP() << "no corpus";
    ASSERT_GT(streams_.size(), 100u) << "python3-olefile did not extract the streams";
  }
};

TEST_F(PropertySetCorpus, EveryStreamWritesItselfBackAndTakesNewTitles) {
  int retitled = 0;
  for (const auto& [name, bytes] : streams_) {
    SCOPED_TRACE(name);
    PropertySetStream set;
    ASSERT_EQ(PropertySetStream::Parse(bytes, set), S_OK);
    ASSERT_EQ(set.Writable(), S_OK);
    for (std::size_t section = 0; section < 2; ++section) {
      std::string out;
      ASSERT_EQ(WriteBackAsRead(set, section, out), S_OK);
      EXPECT_TRUE(out == bytes);
    }
    PROPVARIANT title = ReadOne(set, 2);
    if (title.vt != VT_LPSTR) continue;
    ++retitled;
    for (const std::string& text : {std::string(title.pszVal) + " and more", std::string("T")}) {
      std::string out;
      ASSERT_EQ(WriteText(set, 2, text, out), S_OK);
      PropertySetStream now = MustParse(out);
      EXPECT_STREQ(ReadOne(now, 2).pszVal, text.c_str());
      for (std::size_t s = 0; s < set.Sections().size(); ++s) {
        const auto& before = set.Sections()[s].properties;
        const auto& after = now.Sections()[s].properties;
        for (std::size_t j = 0; j < before.size(); ++j) {
          if (s == 0 && before[j].id == 2) continue;
          EXPECT_TRUE(set.BytesOf(before[j]) == now.BytesOf(after[j])) << "PROPID " << before[j].id;
        }
      }
    }
  }
  EXPECT_GT(retitled, 50);
}

TEST_F(PropertySetCorpus, ValuesAgreeWithTheInventory) {
  std::map<std::string, PropertySetStream> sets;
  int compared = 0;
  for (const auto& row : ReadTsv(folder_ / "expected.tsv")) {
    const std::string key = row[0] + "." + row[1];
    if (!streams_.count(key)) continue;
    if (!sets.count(key)) sets[key] = MustParse(streams_[key]);
    PROPVARIANT value = ReadOne(sets[key], static_cast<PROPID>(std::stoul(row[2])));
    const std::string& type = row[3];
    std::string shown;
    if (type == "VT_LPSTR") {
      static const char* digits = "0123456789abcdef";
      for (const char* p = value.pszVal; p != nullptr && *p != '\0'; ++p) {
        shown += digits[static_cast<unsigned char>(*p) >> 4];
        shown += digits[static_cast<unsigned char>(*p) & 15];
      }
    } else if (type == "VT_FILETIME") {
      shown = std::to_string(value.filetime.Ticks());
    } else if (type == "VT_BOOL") {
      shown = std::to_string(static_cast<std::uint16_t>(value.boolVal));
    } else if (type == "VT_I2") {
      shown = std::to_string(value.iVal);
    } else if (type == "VT_UI4") {
      shown = std::to_string(value.ulVal);
    } else {
      shown = std::to_string(value.lVal);
    }
    EXPECT_EQ(shown, row[4]) << key << " PROPID " << row[2] << " " << type;
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace tavrin::test
