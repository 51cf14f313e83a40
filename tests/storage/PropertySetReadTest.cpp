// Reading property sets: typed values, code pages, and the odd layouts real
// writers produce.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/storage/PropertySetFixture.h"
#include "tests/storage/PropertySetTestSupport.h"

namespace tavrin::test {
namespace {

using storage::PropertySetStream;

std::string Text(const PROPVARIANT& value) {
  return value.pszVal ? value.pszVal : "<null>";
}

TEST(PropertySetRead, StandardTypesMissingPropertiesAndOwnership) {
  SectionFixture summary{kSummaryFmtid};
  summary.Add(1, I2(1252))
      .Add(2, Lpstr("Report"))
      .Add(10, FileTime(37ull * 36000000000ull))
      .Add(14, I2(-1))
      .Add(16, Bool(true))
      .Add(17, ClipboardData(-1, "PIC"));
  std::vector<PROPSPEC> ids = Ids({2, 3, 10, 14, 16, 17});
  std::vector<PROPVARIANT> values(ids.size());
  {
    PropertySetStream set = MustParse(BuildStream({summary}));
    ASSERT_EQ(set.ReadMultiple(0, ids, values), S_OK);
    std::vector<PROPVARIANT> none(2);
    EXPECT_EQ(set.ReadMultiple(0, Ids({3, 4}), none), S_FALSE);
  }
  // The set is gone; what the read gave still lives.
  EXPECT_EQ(Text(values[0]), "Report");
  EXPECT_EQ(values[1].vt, VT_EMPTY);
  EXPECT_EQ(values[1].lVal, 0);
  EXPECT_EQ(values[2].filetime.Ticks(), 37ull * 36000000000ull);
  // Integers show through every integer member, as overlapping ones would.
  EXPECT_EQ(values[3].iVal, -1);
  EXPECT_EQ(values[3].lVal, 0xFFFF);
  EXPECT_EQ(values[4].boolVal, VARIANT_TRUE);
  ASSERT_NE(values[5].pclipdata, nullptr);
  EXPECT_EQ(values[5].pclipdata->cbSize, 7u);
  EXPECT_EQ(values[5].pclipdata->ulClipFmt, -1);
  EXPECT_EQ(std::memcmp(values[5].pclipdata->pClipData, "PIC", 3), 0);

  std::string mine = "caller's text";
  values[0].pszVal = mine.c_str();
  ASSERT_EQ(FreePropVariantArray(static_cast<std::uint32_t>(values.size()), values.data()), S_OK);
  EXPECT_EQ(values[0].pszVal, nullptr);
  EXPECT_EQ(values[5].vt, VT_EMPTY);
  EXPECT_EQ(mine, "caller's text");
}

TEST(PropertySetRead, TextReadsAsCp932FromTheSetsCodePage) {
  struct Case {
    std::string codePage;  // the stored PROPID 1, or empty for none
    std::string stored;
    bool wide;
    std::string expected;  // CP932
  } cases[] = {
      {I2(932), "\x93\xfa\x96\x7b\x80", false, "\x93\xfa\x96\x7b\x80"},
      {I2(-535), "\xe6\x97\xa5\xe6\x9c\xac", false, "\x93\xfa\x96\x7b"},
      {I2(1252), "Caf\xe9 ok", false, "Caf? ok"},
      {I2(1200), std::string("\xe5\x65\x2c\x67", 4), true, "\x93\xfa\x96\x7b"},
      // Big-endian UTF-16: ASCII starts with a zero byte, and only a zero
      // unit at an even offset ends the text.
      {I2(1201), std::string("\0T\0i\0t\0l\0e", 10), true, "Title"},
      {I2(1201), std::string("\x30\x42\0A\0\0\0B", 8), true,
       "\x82\xa0"
       "A"},
      {I2(-535),
       "a\xff"
       "b",
       false, "a?b"},
      {I2(12345), "\xe9\xff", false, "\xe9\xff"},
      // Converters that hold a letter back until they see what follows it
      // (Hebrew, Vietnamese) or keep a shift state (ISO-2022-JP): a letter
      // CP932 lacks is still a "?", the last one too.
      {I2(1255), "\xf9\xec\xe5\xed", false, "????"},
      {I2(1255), "ab \xf9", false, "ab ?"},
      {I2(1258), "Vi\xeat", false, "Vi?t"},
      {I2(-15316), "\x1b$B$3\x1b(B!", false, "\x82\xb1!"},
      {"", "\x93\xfa", false, "\x93\xfa"},
      {I2(1252), std::string("ab\0cd", 5), false, "ab"},
      // Characters that come again read the same each time, whether CP932
      // has them, lacks them, or they are no characters at all.
      {I2(-535), "\xd0\x96\xe2\x82\xac\xd0\x96\xff\xd0\x96\xe2\x82\xac\xd0x\xd0\x96\xff", false,
       "\x84\x47?\x84\x47?\x84\x47??x\x84\x47?"},
  };
  for (const Case& c : cases) {
    SectionFixture summary{kSummaryFmtid};
    if (!c.codePage.empty()) summary.Add(1, c.codePage);
    summary.Add(2, Lpstr(c.stored, true, c.wide));
    EXPECT_EQ(Text(ReadOne(MustParse(BuildStream({summary})), 2)), c.expected) << c.stored;
  }
}

// Wide strings and vectors, the vectors packed or aligned, first or last.
TEST(PropertySetRead, WideStringsAndVectors) {
  for (bool packed : {false, true}) {
    for (bool vectorsLast : {false, true}) {
      SectionFixture doc{kDocSummaryFmtid};
      doc.Add(1, I2(1252));
      if (!vectorsLast) doc.Add(2, Lpwstr(u"Cat\u00e9gorie"));
      doc.Add(13, VectorLpstr({"A", "Bc", "Def"}, packed))
          .Add(12, HeadingPairs({{"Title", 1}, {"Parts", 2}}, packed));
      if (vectorsLast) doc.Add(2, Lpwstr(u"Cat\u00e9gorie"));
      PropertySetStream set = MustParse(BuildStream({doc}));
      SCOPED_TRACE(testing::Message() << "packed " << packed << " last " << vectorsLast);
      PROPVARIANT titles = ReadOne(set, 13);
      ASSERT_EQ(titles.calpstr.cElems, 3u);
      EXPECT_STREQ(titles.calpstr.pElems[2], "Def");
      PROPVARIANT pairs = ReadOne(set, 12);
      ASSERT_EQ(pairs.capropvar.cElems, 4u);
      EXPECT_STREQ(pairs.capropvar.pElems[2].pszVal, "Parts");
      EXPECT_EQ(pairs.capropvar.pElems[3].lVal, 2);
      PROPVARIANT category = ReadOne(set, 2);
      EXPECT_EQ(category.vt, VT_LPWSTR);
      EXPECT_EQ(category.pszVal, nullptr);
      EXPECT_EQ(std::u16string(category.pwszVal), u"Cat\u00e9gorie");
    }
  }
}

// A vector's strings are converted one by one as they are read: each must
// read exactly as the same stored bytes do as a single string, in any code
// page, whether it converts cleanly, needs a "?" or stops at a terminator.
TEST(PropertySetRead, VectorStringsReadAsTheSameStringAlone) {
  const std::string wideAb("a\0b\0", 4);
  const struct {
    std::uint16_t codePage;
    std::vector<std::string> stored;  // terminators are added, one byte (two in UTF-16)
  } cases[] = {
      {1252, {"plain", "caf\xE9", "", std::string("cut\0here", 8)}},
      {932, {"\x83\x65\x83\x58\x83\x67", "half\x83"}},
      {65001, {"\xE2\x82\xAC", "bad \xFF byte", "\xE3\x81\x82"}},
      {1200, {wideAb, std::string("\x42\x30", 2), wideAb + std::string("\0\0c\0", 4)}},
      {1201, {std::string("\0a\0b", 4), std::string("\x30\x42", 2), std::string("\0a\0\0\0c", 6)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    const bool wide = c.codePage == 1200 || c.codePage == 1201;
    std::vector<std::string> items;
    SectionFixture set{kDocSummaryFmtid};
    set.Add(1, I2(static_cast<std::int16_t>(c.codePage)));  // the bits count, as writers store them
    for (std::size_t i = 0; i < c.stored.size(); ++i) {
      items.push_back(wide ? c.stored[i] + '\0' : c.stored[i]);
      set.Add(static_cast<std::uint32_t>(100 + i), Lpstr(c.stored[i], true, wide));
    }
    set.Add(13, VectorLpstr(items, false));
    PropertySetStream parsed = MustParse(BuildStream({set}));
    PROPVARIANT vector = ReadOne(parsed, 13);
    ASSERT_EQ(vector.calpstr.cElems, c.stored.size());
    for (std::size_t i = 0; i < c.stored.size(); ++i) {
      EXPECT_EQ(Text(ReadOne(parsed, static_cast<std::uint32_t>(100 + i))),
                vector.calpstr.pElems[i])
          << i;
    }
  }
}

TEST(PropertySetRead, RealWorldLayoutsReadLeniently) {
  // A 16-bit value without padding (so unaligned offsets after it) and a
  // PROPID 0 that is no dictionary.
  SectionFixture odd{kSummaryFmtid};
  odd.Add(1, I2(1252, false)).Add(0, Lpstr("")).Add(2, Lpstr("T", false)).Add(14, I4(9));
  PropertySetStream set = MustParse(BuildStream({odd}));
  EXPECT_EQ(set.Sections()[0].properties[2].offset % 4, 2u);
  EXPECT_EQ(Text(ReadOne(set, 2)), "T");
  EXPECT_EQ(ReadOne(set, 14).lVal, 9);
  EXPECT_EQ(ReadOne(set, 0).vt, VT_EMPTY);  // the dictionary is never a value
  EXPECT_EQ(set.Writable(), S_OK);

  SectionFixture longer{kSummaryFmtid};  // declared past the end of its stream
  longer.Add(2, Lpstr("Long"));
  longer.sizeAdjust = 4;
  EXPECT_EQ(Text(ReadOne(MustParse(BuildStream({longer})), 2)), "Long");

  // Zero-byte stream, zero sections, an empty first section.
  for (const std::string& empty :
       {std::string(), BuildStream({}), BuildStream({SectionFixture{kDocSummaryFmtid}})}) {
    std::vector<PROPVARIANT> values(2);
    EXPECT_EQ(MustParse(empty).ReadMultiple(0, Ids({2, 3}), values), S_FALSE);
  }
}

TEST(PropertySetRead, ABrokenPropertyFailsItsReadAndEveryWrite) {
  SectionFixture summary{kSummaryFmtid};
  std::string overlong = Lpstr("abc");
  overlong[4] = '\x40';  // 64 bytes: past the section's end
  summary.Add(2, Lpstr("Fine")).Add(3, overlong);
  PropertySetStream set = MustParse(BuildStream({summary}));
  EXPECT_EQ(Text(ReadOne(set, 2)), "Fine");
  std::vector<PROPVARIANT> values(2);
  EXPECT_EQ(set.ReadMultiple(0, Ids({2, 3}), values), STG_E_INVALIDHEADER);
  EXPECT_EQ(values[0].vt, VT_EMPTY);
  std::string out = "untouched";
  EXPECT_EQ(WriteText(set, 2, "New", out), STG_E_INVALIDHEADER);
  EXPECT_EQ(out, "untouched");
}

}  // namespace
}  // namespace tavrin::test
