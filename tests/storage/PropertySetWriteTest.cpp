// Writing property sets: only what changed changes, every other byte stays.
// Most checks compare with the stream the fixture builds from scratch with
// the new value, which pins the size fields, padding, offsets and every byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/storage/PropertySetFixture.h"
#include "tests/storage/PropertySetTestSupport.h"

namespace tavrin::test {
namespace {

using storage::PropertySetStream;

enum class Layout { kPlain, kTitleLastThenGap, kSizePastStreamEnd };

// A Summary stream whose title comes second, or last and followed by bytes
// nothing points at, or in a section declared longer than the stream.
std::string SummaryStream(const std::string& codePage, const std::string& title,
                          const std::string& author = "Author", Layout layout = Layout::kPlain) {
  SectionFixture summary{kSummaryFmtid};
  summary.Add(1, codePage)
      .Add(2, title)
      .Add(4, Lpstr(author))
      .Add(12, FileTime(0x01D0000012345678ull))
      .Add(17, ClipboardData(-1, "thumbnail bytes"))
      .Add(0x80000000u, I4(1041));
  if (layout == Layout::kTitleLastThenGap) {
    std::rotate(summary.entries.begin() + 1, summary.entries.begin() + 2, summary.entries.end());
    summary.tail = "gap!";
  }
  if (layout == Layout::kSizePastStreamEnd) summary.sizeAdjust = 6;
  return BuildStream({summary});
}

// A Document Summary stream as Office writes it: packed vectors at unaligned
// offsets, then a user-defined section with a dictionary, then zeros.
std::string DocSummaryStream(const std::string& company = "Company") {
  SectionFixture doc{kDocSummaryFmtid};
  doc.Add(1, I2(1252))
      .Add(15, Lpstr(company))
      .Add(11, Bool(false))
      .Add(13, VectorLpstr({"Doc"}, true))
      .Add(12, HeadingPairs({{"Title", 1}}, true))
      .Add(14, Lpstr("Manager"));
  SectionFixture user{kUserDefinedFmtid};
  user.Add(0, Dictionary({{2, "Client"}})).Add(1, I2(1252)).Add(2, Lpstr("ACME"));
  return BuildStream({doc, user}, std::string(12, '\0'));
}

TEST(PropertySetWrite, EverythingWrittenBackAsReadLeavesEveryByte) {
  SectionFixture odd{kSummaryFmtid};  // unpadded, shared, lossy, junk after
  odd.Add(1, I2(-535, false)).Add(0, Lpstr("x")).Share(2, 1).Add(3, Lpstr("\xe2\x82\xac"));
  odd.tail = "junk";
  for (const std::string& stream :
       {SummaryStream(I2(1252), Lpstr("Caf\xe9")), DocSummaryStream(),
        SummaryStream(I2(1200), Lpstr(std::string("T\0i\0", 4), true, true)),
        BuildStream({odd}, "trailing"), std::string(), BuildStream({})}) {
    PropertySetStream set = MustParse(stream);
    for (std::size_t section = 0; section < 2; ++section) {
      std::string out;
      ASSERT_EQ(WriteBackAsRead(set, section, out), S_OK);
      EXPECT_EQ(out, stream);
    }
  }
}

TEST(PropertySetWrite, LongerAndShorterTitlesChangeOnlyWhatTheyMust) {
  for (Layout layout : {Layout::kPlain, Layout::kTitleLastThenGap, Layout::kSizePastStreamEnd}) {
    PropertySetStream set = MustParse(SummaryStream(I2(1252), Lpstr("Title"), "Author", layout));
    for (const std::string& text :
         {std::string("A much longer title than before"), std::string()}) {
      std::string out;
      ASSERT_EQ(WriteText(set, 2, text, out), S_OK);
      EXPECT_EQ(out, SummaryStream(I2(1252), Lpstr(text), "Author", layout));
    }
  }
}

// A section declared longer than its stream keeps its excess as the stream
// grows or shrinks, as long as the size still fits its field.
TEST(PropertySetWrite, ASizePastTheStreamsEndMovesWithItWhileItFits) {
  const auto stream = [](const std::string& title, std::uint32_t declared) {
    SectionFixture summary{kSummaryFmtid};
    summary.Add(1, I2(1252)).Add(2, Lpstr(title));
    summary.sizeAdjust = declared - static_cast<std::int64_t>(summary.Build().size());
    return BuildStream({summary});
  };
  PropertySetStream set = MustParse(stream("Title", 0xFFFFFFF8u));
  std::string out;
  ASSERT_EQ(WriteText(set, 2, "T", out), S_OK);
  EXPECT_EQ(out, stream("T", 0xFFFFFFF4u));
  ASSERT_EQ(WriteText(set, 2, "Title!!!", out), S_OK);
  EXPECT_EQ(out, stream("Title!!!", 0xFFFFFFFCu));
  out = "untouched";
  EXPECT_EQ(WriteText(set, 2, "A longer title", out), STG_E_INVALIDHEADER);
  EXPECT_EQ(out, "untouched");
}

TEST(PropertySetWrite, ChangesInTheFirstSectionKeepTheUserDefinedSection) {
  PropertySetStream set = MustParse(DocSummaryStream());
  const std::string company = "A company with a much longer name";
  std::string out;
  ASSERT_EQ(WriteText(set, 15, company, out), S_OK);
  EXPECT_EQ(out, DocSummaryStream(company));
  EXPECT_EQ(MustParse(out).Sections()[1].offset, set.Sections()[1].offset + 28);
}

TEST(PropertySetWrite, FixedSizeValuesAreOverwrittenWhereTheyStand) {
  auto stream = [](bool scale, std::int32_t bytes, std::uint64_t ticks) {
    SectionFixture doc{kDocSummaryFmtid};
    doc.Add(1, I2(1252)).Add(11, Bool(scale, false)).Add(4, I4(bytes)).Add(13, FileTime(ticks));
    return BuildStream({doc});
  };
  PropertySetStream set = MustParse(stream(false, 100, 5));
  std::vector<PROPSPEC> ids = Ids({11, 4, 13, 3});
  std::vector<PROPVARIANT> values(ids.size());
  ASSERT_EQ(set.ReadMultiple(0, ids, values), S_OK);
  values[0].boolVal = VARIANT_TRUE;
  values[1].lVal = -5;
  values[2].filetime = FILETIME::FromTicks(0);
  values[3].vt = VT_LPSTR;  // a property the set lacks stays absent
  values[3].pszVal = "never stored";
  std::string out;
  ASSERT_EQ(set.WriteMultiple(0, ids, values, out), S_OK);
  EXPECT_EQ(out, stream(true, -5, 0));  // the unpadded boolean stays unpadded
}

TEST(PropertySetWrite, TextConvertsToTheSetsCodePageOrIsRefused) {
  const std::string japanese = "\x93\xfa\x96\x7b";  // CP932
  struct Case {
    std::string codePage;
    bool wide;
    std::string stored;  // what the set then holds; empty: refused
  } cases[] = {
      {I2(932), false, japanese},
      {I2(-535), false, "\xe6\x97\xa5\xe6\x9c\xac"},
      {I2(1200), true, std::string("\xe5\x65\x2c\x67", 4)},
      {I2(1201), true, std::string("\x65\xe5\x67\x2c", 4)},
      {I2(12345), false, japanese},
      {I2(1252), false, ""},
  };
  for (const Case& c : cases) {
    PropertySetStream set = MustParse(SummaryStream(c.codePage, Lpstr("x", true, c.wide)));
    std::string out = "untouched";
    HRESULT hr = WriteText(set, 2, japanese, out);
    if (c.stored.empty()) {
      EXPECT_EQ(hr, MakeHResult(0x80070459u));
      EXPECT_EQ(out, "untouched");
    } else {
      ASSERT_EQ(hr, S_OK);
      EXPECT_EQ(out, SummaryStream(c.codePage, Lpstr(c.stored, true, c.wide)));
    }
  }
}

TEST(PropertySetWrite, TextWrittenToAUtf16SetReadsBackAsWritten) {
  for (std::int16_t codePage : {std::int16_t{1200}, std::int16_t{1201}}) {
    SCOPED_TRACE(codePage);
    PropertySetStream set = MustParse(SummaryStream(I2(codePage), Lpstr("", true, true)));
    std::string out;
    ASSERT_EQ(WriteText(set, 2, "Bob", out), S_OK);
    PropertySetStream now = MustParse(out);
    EXPECT_STREQ(ReadOne(now, 2).pszVal, "Bob");
  }
}

TEST(PropertySetWrite, AnUnchangedLossyValueKeepsItsOriginalBytes) {
  // "Café" reads as "Caf?"; given back (at another address) it stays "Café"
  // while the author next to it changes.
  PropertySetStream set = MustParse(SummaryStream(I2(1252), Lpstr("Caf\xe9")));
  std::vector<PROPSPEC> ids = Ids({2, 4});
  std::vector<PROPVARIANT> values(2);
  ASSERT_EQ(set.ReadMultiple(0, ids, values), S_OK);
  ASSERT_STREQ(values[0].pszVal, "Caf?");
  std::string sameText = "Caf?";
  values[0].pszVal = sameText.c_str();
  values[1].pszVal = "Someone else";
  std::string out;
  ASSERT_EQ(set.WriteMultiple(0, ids, values, out), S_OK);
  EXPECT_EQ(out, SummaryStream(I2(1252), Lpstr("Caf\xe9"), "Someone else"));
}

TEST(PropertySetWrite, SharedBytesStayForTheOtherEntry) {
  // A PROPID 0 that is no dictionary shares its bytes with the title.
  SectionFixture odd{kSummaryFmtid};
  odd.Add(0, Lpstr("")).Share(2, 0).Add(4, Lpstr("Author"));
  PropertySetStream set = MustParse(BuildStream({odd}));
  std::string out;
  ASSERT_EQ(WriteText(set, 2, "New title", out), S_OK);
  PropertySetStream now = MustParse(out);
  EXPECT_STREQ(ReadOne(now, 2).pszVal, "New title");
  EXPECT_EQ(now.BytesOf(now.Sections()[0].properties[0]), Lpstr(""));
  EXPECT_STREQ(ReadOne(now, 4).pszVal, "Author");
}

TEST(PropertySetWrite, RefusalsLeaveNothingWritten) {
  // A title whose declared size runs into the next property: readable, but
  // which bytes are its own cannot be told. The others can still change.
  SectionFixture overlap{kSummaryFmtid};
  std::string title = Lpstr("abc");
  title[4] = '\x0c';
  overlap.Add(2, title).Add(14, I4(1)).Add(4, Lpstr("Author"));
  PropertySetStream set = MustParse(BuildStream({overlap}));
  std::string out = "untouched";
  EXPECT_EQ(WriteText(set, 2, "x", out), STG_E_INVALIDHEADER);
  EXPECT_EQ(out, "untouched");
  EXPECT_EQ(WriteText(set, 4, "x", out), S_OK);

  // The code page, and a changed value of a type that is only carried.
  PropertySetStream summary = MustParse(SummaryStream(I2(1252), Lpstr("T")));
  out = "untouched";
  std::vector<PROPVARIANT> values(1);
  values[0].vt = VT_I2;
  values[0].iVal = 932;
  EXPECT_EQ(summary.WriteMultiple(0, Ids({1}), values, out), STG_E_INVALIDPARAMETER);
  ASSERT_EQ(summary.ReadMultiple(0, Ids({17}), values), S_OK);
  CLIPDATA other = *values[0].pclipdata;
  other.ulClipFmt = 3;
  values[0].pclipdata = &other;
  EXPECT_EQ(summary.WriteMultiple(0, Ids({17}), values, out), STG_E_UNIMPLEMENTEDFUNCTION);
  EXPECT_EQ(out, "untouched");
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

TEST(PropertySetWrite, AValueReachingIntoItsNeighbourIsNeverChangedThroughIt) {
  // PROPID 12's date has only its tag in its slot: its eight value bytes are
  // PROPID 14's tag and count. Changing the count would change the date.
  SectionFixture section(kSummaryFmtid);
  section.Add(1, I2(1252)).Add(12, Tag(64)).Add(14, I4(7));
  storage::PropertySetStream set = MustParse(BuildStream({section}));
  PROPVARIANT dateBefore = ReadOne(set, 12);
  std::vector<PROPSPEC> ids = Ids({14});
  std::vector<PROPVARIANT> values(1);
  ASSERT_EQ(set.ReadMultiple(0, ids, values), S_OK);
  values[0].lVal = 8;
  std::string out = "untouched";
  EXPECT_EQ(set.WriteMultiple(0, ids, values, out), STG_E_INVALIDHEADER);
  EXPECT_EQ(out, "untouched");
  EXPECT_EQ(ReadOne(set, 12).filetime, dateBefore.filetime);
}

// A title whose stored length runs `extra` bytes past its own characters.
std::string TitleReachingOn(std::uint32_t extra) {
  std::string title = Lpstr("abc");
  title[4] = static_cast<char>(4 + extra);
  return title;
}

// Values that read past their own bytes into others': a change to bytes such
// a value reads, or to the value itself, is refused up front with the code of
// a malformed set, and nothing is written. A change elsewhere in the same set
// still goes through.
TEST(PropertySetWrite, OverlappingValuesRefuseChangesWhereTheyOverlap) {
  PROPVARIANT text;
  text.vt = VT_LPSTR;
  text.pszVal = "a changed value, longer than before";
  PROPVARIANT wide;
  wide.vt = VT_LPWSTR;
  wide.pwszVal = u"wide";

  // A vector of two strings holding one: the second's length is the next
  // property's type tag (30), its characters that property and the next.
  SectionFixture vector(kDocSummaryFmtid);
  vector.Add(1, I2(1252))
      .Add(13, Tag(0x101E) + Le(2, 4) + PadTo4(Counted(std::string("A\0", 2))))
      .Add(2, Lpstr("abc"))
      .Add(4, Lpstr("Author"))
      .Add(5, Lpstr("Keywords, long enough"))
      .Add(14, Lpstr("beyond"));
  // Two strings, fitting neither way before the next property: packed, the
  // second is that property's empty tag; aligned, its length takes a byte of
  // that tag and three of the page count's (768) and runs past the section.
  // Packed wins, as long as the page count stays and the section ends where
  // it does; a page count of another type (512) or a longer text after it
  // would let the aligned reading win.
  SectionFixture undecided(kDocSummaryFmtid);
  undecided.Add(1, I2(1252))
      .Add(2, Lpstr("before"))
      .Add(13, Tag(0x101E) + Le(2, 4) + Counted("A"))
      .Add(3, Tag(0))
      .Add(14, I4(5))
      .Add(5, Lpstr(std::string(600, 'x')));
  PROPVARIANT i2;
  i2.vt = VT_I2;
  i2.iVal = 1;
  const std::string longer(800, 'y');
  PROPVARIANT longText;
  longText.vt = VT_LPSTR;
  longText.pszVal = longer.c_str();
  // The code page is a VT_I2 with no room for its value: it reads the title's
  // type tag, which another type would change.
  SectionFixture codePage(kSummaryFmtid);
  codePage.Add(1, Tag(2)).Add(2, Lpstr("title")).Add(4, Lpstr("Author"));
  // A property one byte before the title: its type tag is that byte and the
  // title's first three, which another type for the title would change.
  SectionFixture shortSlot(kSummaryFmtid);
  shortSlot.Add(1, I2(1252)).Add(19, std::string(1, '\0')).Add(2, Lpstr("title"));
  shortSlot.Add(4, Lpstr("Author"));
  // The title's length runs into the page count; as another type it would
  // still leave the count's bytes, but whose bytes are whose is unknown.
  SectionFixture longTitle(kSummaryFmtid);
  longTitle.Add(1, I2(1252)).Add(2, TitleReachingOn(8)).Add(14, I4(1)).Add(4, Lpstr("Author"));
  // The first section's last title reads the second section's size, count
  // and first PROPID, and a longer company name changes that size.
  SectionFixture first(kSummaryFmtid);
  first.Add(1, I2(1252)).Add(4, Lpstr("Author")).Add(2, TitleReachingOn(12));
  first.sizeAdjust = 12;
  SectionFixture second(kDocSummaryFmtid);
  second.Add(15, Lpstr("Company"));
  // The first section runs on into the second one's table, and its page
  // count's entry points `at` bytes into that table: at the size (then its
  // type tag) or at the property count.
  SectionFixture counted(kSummaryFmtid);
  counted.Add(1, I2(1252)).Add(4, Lpstr("Author")).Add(14, I4(1));
  const auto inTable = [&](std::uint32_t at) {
    std::string stream = BuildStream({counted, second});
    const std::uint32_t start = 28 + 2 * 20;
    const std::uint32_t secondStart = start + static_cast<std::uint32_t>(counted.Build().size());
    stream.replace(start, 4, Le(secondStart + 12 - start, 4));
    stream.replace(start + 8 + 2 * 8 + 4, 4, Le(secondStart + at - start, 4));
    return stream;
  };

  // A vector of variants the codec only carries (its first element is itself
  // a vector), whose count is believed because the section has room for 29
  // elements after it: a shorter title after it would take that room away.
  SectionFixture room(kDocSummaryFmtid);
  room.Add(1, I2(1252))
      .Add(4, Lpstr("Author"))
      .Add(12, Tag(0x100C) + Le(29, 4) + Tag(0x101E))
      .Add(2, Lpstr(std::string(100, 't')));
  PROPVARIANT shortText;
  shortText.vt = VT_LPSTR;
  shortText.pszVal = "abc";

  const struct {
    const char* what;
    std::string stream;
    std::size_t section;
    PROPID refused;
    const PROPVARIANT& value;
    std::size_t allowedSection;
    PROPID allowed;  // outside every overlap: takes `text`
  } cases[] = {
      {"neighbour inside a vector's reach", BuildStream({vector}), 0, 4, text, 0, 14},
      {"the type tag the code page reads", BuildStream({codePage}), 0, 2, wide, 0, 4},
      {"a type tag reaching into the next property", BuildStream({shortSlot}), 0, 2, wide, 0, 4},
      {"the long value itself, as another type", BuildStream({longTitle}), 0, 2, wide, 0, 4},
      {"the table of a section a value reaches into", BuildStream({first, second}), 1, 15, text, 0,
       4},
      {"a property inside another section's table", inTable(4), 0, 14, text, 0, 4},
      {"a count a vector's losing reading looked at", BuildStream({undecided}), 0, 14, i2, 0, 2},
      {"where the section a vector overruns ends", BuildStream({undecided}), 0, 5, longText, 0, 2},
      {"the table a property lies in", inTable(0), 1, 15, text, 0, 4},
      {"the room a vector's count needs", BuildStream({room}), 0, 2, shortText, 0, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PropertySetStream set = MustParse(c.stream);
    ASSERT_EQ(set.Writable(), S_OK);
    std::string out = "untouched";
    EXPECT_EQ(set.WriteMultiple(c.section, Ids({c.refused}), std::span(&c.value, 1), out),
              STG_E_INVALIDHEADER);
    EXPECT_EQ(out, "untouched");
    ASSERT_EQ(set.WriteMultiple(c.allowedSection, Ids({c.allowed}), std::span(&text, 1), out),
              S_OK);
    EXPECT_STREQ(ReadOne(MustParse(out), c.allowed, c.allowedSection).pszVal, text.pszVal);
  }
}

}  // namespace
}  // namespace tavrin::test
