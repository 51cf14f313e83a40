// Damaged and hostile streams: never a crash or a read out of bounds (the
// sanitizers watch), never a write of a stream that did not parse completely.

#include <gtest/gtest.h>

#include <string>

#include "tests/storage/PropertySetFixture.h"
#include "tests/storage/PropertySetTestSupport.h"

namespace tavrin::test {
namespace {

using storage::PropertySetStream;

std::vector<std::string> Fixtures() {
  SectionFixture summary{kSummaryFmtid};
  summary.Add(1, I2(-535, false))
      .Add(2, Lpstr("\xe6\x97\xa5 title", false))
      .Add(10, FileTime(12345))
      .Add(17, ClipboardData(-1, "pic"))
      .Add(20, Tag(5) + std::string(8, '\x01'));  // a type we only carry
  SectionFixture doc{kDocSummaryFmtid};
  doc.Add(1, I2(1200))
      .Add(2, Lpstr(std::string("C\0a\0t\0", 6), true, true))
      .Add(12, HeadingPairs({{"Title", 1}}, false))
      .Add(13, VectorLpstr({"T"}, true));
  SectionFixture user{kUserDefinedFmtid};
  user.Add(0, Dictionary({{2, "Name"}})).Add(2, Lpwstr(u"Value"));
  return {BuildStream({summary}), BuildStream({doc, user}, "tail")};
}

// Parsing fails with the header code, or gives a set whose reads fail
// cleanly and which, if writable, writes itself back exactly and takes a
// new title; if not writable, refuses every write.
void Exercise(const std::string& bytes) {
  PropertySetStream set;
  HRESULT hr = PropertySetStream::Parse(bytes, set);
  if (FAILED(hr)) {
    ASSERT_EQ(hr, STG_E_INVALIDHEADER);
    return;
  }
  for (std::size_t section = 0; section < set.Sections().size(); ++section) {
    std::vector<PROPSPEC> ids = AllIds(set, section);
    std::vector<PROPVARIANT> values(ids.size());
    hr = set.ReadMultiple(section, ids, values);
    ASSERT_TRUE(hr == S_OK || hr == S_FALSE || hr == STG_E_INVALIDHEADER) << std::hex << hr;
  }
  std::string out = "untouched";
  if (FAILED(set.Writable())) {
    ASSERT_EQ(WriteText(set, 2, "x", out), set.Writable());
    ASSERT_EQ(out, "untouched");
    return;
  }
  for (std::size_t section = 0; section < 2; ++section) {
    ASSERT_EQ(WriteBackAsRead(set, section, out), S_OK);
    ASSERT_EQ(out, bytes);
  }
  hr = WriteText(set, 2, "A new title", out);
  if (hr == S_OK) {
    PROPVARIANT title = ReadOne(MustParse(out), 2);
    if (title.vt == VT_LPSTR) {
      ASSERT_STREQ(title.pszVal, "A new title");
    }
  } else {
    // A title running into the next property, or a damaged code page that
    // cannot hold the text.
    ASSERT_TRUE(hr == STG_E_INVALIDHEADER || hr == HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION))
        << std::hex << hr;
  }
}

TEST(PropertySetRobustness, EveryTruncation) {
  for (const std::string& stream : Fixtures()) {
    for (std::size_t length = 0; length <= stream.size(); ++length) {
      SCOPED_TRACE(length);
      Exercise(stream.substr(0, length));
      if (HasFatalFailure()) return;
    }
  }
}

// Each byte set to a few telling values reaches every count, size and offset
// with small, huge and sign-bit values; a huge count that became an
// allocation would abort under the sanitizers.
TEST(PropertySetRobustness, EveryByteSetToHostileValues) {
  for (const std::string& stream : Fixtures()) {
    for (std::size_t pos = 0; pos < stream.size(); ++pos) {
      for (char value : {'\x00', '\x01', '\x7f', '\x80', '\xff'}) {
        std::string damaged = stream;
        damaged[pos] = value;
        SCOPED_TRACE(testing::Message() << "byte " << pos << " = " << int{value});
        Exercise(damaged);
        if (HasFatalFailure()) return;
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
