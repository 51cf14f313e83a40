// The property sets of document packages over parts held in memory: what a
// read gives for each home, and that a write splices exactly the changed
// text into the part and nothing else.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/CodePage.h"
#include "platform/storage/PropertySet.h"
#include "platform/storage/PropertyValue.h"
#include "platform/storage/package/PackageProperties.h"
#include "platform/storage/package/PackageValues.h"
#include "platform/storage/package/XmlScan.h"

namespace tavrin::test {
namespace {

using namespace storage::package;

class MemoryParts final : public PackageParts {
 public:
  std::map<std::string, std::string, std::less<>> parts;
  int writes = 0;

  storage::Status Read(std::string_view name, std::size_t limit,
                       std::optional<std::string>& content) const override {
    content.reset();
    auto found = parts.find(name);
    if (found == parts.end()) return {};
    if (found->second.size() > limit) return {TAVRIN_E_BADPACKAGE, "too large"};
    content = found->second;
    return {};
  }
  storage::Status Write(const std::vector<PartChange>& changes) override {
    ++writes;
    for (const PartChange& change : changes) parts[change.name] = change.content;
    return {};
  }
};

const std::string kRels =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="/props/core1.xml"/>)"
    R"(</Relationships>)";

// Single quotes, odd spacing and a comment: all of it must survive a change.
const std::string kCore =
    "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\r\n"
    "<cp:coreProperties xmlns:cp='http://schemas.openxmlformats.org/package/2006/metadata/"
    "core-properties' xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
    "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
    "xmlns:dcterms='http://purl.org/dc/terms/'>\r\n"
    "  <dc:title>Old &amp; title</dc:title><!-- keep -->\r\n"
    "  <dc:creator>作者 \xF0\x9F\x98\x80</dc:creator>\r\n"
    "  <cp:keywords/>\r\n"
    "  <cp:revision>7</cp:revision>\r\n"
    "  <dcterms:created xsi:type='dcterms:W3CDTF'>2024-05-01T10:20:30Z</dcterms:created>\r\n"
    "  <dcterms:modified xsi:type='dcterms:W3CDTF'>2024-05-02T09:00:00+09:00</dcterms:modified>\r\n"
    "  <cp:lastPrinted>2024-05-03T08:00:00</cp:lastPrinted>\r\n"
    "</cp:coreProperties>";

const std::string kApp =
    R"(<?xml version="1.0"?><Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties" xmlns:vt="http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes">)"
    R"(<TotalTime>90</TotalTime><Pages>3</Pages><Words>not a number</Words><Company>ACME</Company>)"
    R"(<ScaleCrop>false</ScaleCrop><LinksUpToDate>1</LinksUpToDate>)"
    R"(<TitlesOfParts><vt:vector size="1" baseType="lpstr"><vt:lpstr>x</vt:lpstr></vt:vector></TitlesOfParts>)"
    R"(</Properties>)";

const std::string kMeta =
    R"(<?xml version="1.0" encoding="UTF-8"?>)"
    R"(<office:document-meta xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:meta="urn:oasis:names:tc:opendocument:xmlns:meta:1.0" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.3">)"
    R"(<office:meta><meta:initial-creator>Ann</meta:initial-creator><dc:creator>Bob</dc:creator>)"
    R"(<meta:keyword>alpha</meta:keyword><meta:keyword>beta</meta:keyword>)"
    R"(<meta:editing-duration>P1DT2H3M4.5S</meta:editing-duration>)"
    R"(<meta:creation-date>2024-05-01T10:20:30.123456789</meta:creation-date>)"
    R"(<meta:template xlink:type="simple" xlink:href='Normal.ott'/>)"
    R"(<meta:document-statistic meta:page-count="2" meta:paragraph-count="5"/>)"
    R"(</office:meta></office:document-meta>)";

MemoryParts Ooxml() {
  MemoryParts parts;
  parts.parts = {{"_rels/.rels", kRels}, {"props/core1.xml", kCore}, {"docProps/app.xml", kApp}};
  return parts;
}

MemoryParts Odf() {
  MemoryParts parts;
  parts.parts = {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"meta.xml", kMeta}};
  return parts;
}

std::unique_ptr<PackageProperties> OpenOrFail(MemoryParts& parts) {
  std::unique_ptr<PackageProperties> props;
  storage::Status s = PackageProperties::Open(parts, props);
  EXPECT_TRUE(s.ok()) << s.text();
  return props;
}

PROPVARIANT ReadOne(const PackageProperties& props, PropertySetKind set, PROPID id) {
  PROPSPEC spec{PRSPEC_PROPID, id};
  PROPVARIANT value;
  EXPECT_TRUE(SUCCEEDED(props.ReadMultiple(set, {&spec, 1}, {&value, 1})));
  return value;
}

// Ticks of a local (Tokyo, +9) wall time, the way the grids show FILETIMEs.
std::uint64_t Utc(const char* w3c) {
  return ParseW3cDateTime(w3c).value().Ticks();
}

constexpr auto kSummary = PropertySetKind::kSummary;
constexpr auto kDoc = PropertySetKind::kDocSummary;

TEST(PackagePropertiesTest, ReadsEachFormForItsHome) {
  struct Case {
    bool odf;
    PropertySetKind set;
    PROPID id;
    VARTYPE vt;
    std::string text;     // VT_LPSTR, as UTF-8
    std::int64_t number;  // VT_I4, VT_BOOL
    std::uint64_t ticks;  // VT_FILETIME
  };
  constexpr std::uint64_t kMinute = 600'000'000;
  const Case cases[] = {
      {false, kSummary, 2, VT_LPSTR, "Old & title", 0, 0},
      // What CP932 cannot show is "?".
      {false, kSummary, 4, VT_LPSTR, "作者 ?", 0, 0},
      {false, kSummary, 5, VT_LPSTR, "", 0, 0},
      {false, kSummary, 9, VT_LPSTR, "7", 0, 0},
      {false, kSummary, 10, VT_FILETIME, "", 0, 90 * kMinute},
      {false, kSummary, 12, VT_FILETIME, "", 0, Utc("2024-05-01T10:20:30Z")},
      {false, kSummary, 13, VT_FILETIME, "", 0, Utc("2024-05-02T00:00:00Z")},
      // No zone: local wall time, so shown as written.
      {false, kSummary, 11, VT_FILETIME, "", 0, Utc("2024-05-02T23:00:00Z")},
      {false, kSummary, 14, VT_I4, "", 3, 0},
      {false, kSummary, 15, VT_EMPTY, "", 0, 0},
      {false, kSummary, 17, VT_EMPTY, "", 0, 0},
      {false, kDoc, 15, VT_LPSTR, "ACME", 0, 0},
      {false, kDoc, 11, VT_BOOL, "", VARIANT_FALSE, 0},
      {false, kDoc, 16, VT_BOOL, "", VARIANT_TRUE, 0},
      {false, kDoc, 4, VT_EMPTY, "", 0, 0},
      {false, kDoc, 13, VT_EMPTY, "", 0, 0},
      {true, kSummary, 4, VT_LPSTR, "Ann", 0, 0},
      {true, kSummary, 8, VT_LPSTR, "Bob", 0, 0},
      {true, kSummary, 5, VT_LPSTR, "alpha, beta", 0, 0},
      {true, kSummary, 7, VT_LPSTR, "Normal.ott", 0, 0},
      {true, kSummary, 10, VT_FILETIME, "", 0, (26 * 60 + 3) * kMinute + 45'000'000},
      {true, kSummary, 12, VT_FILETIME, "", 0, Utc("2024-05-01T01:20:30.123Z")},
      {true, kSummary, 14, VT_I4, "", 2, 0},
      {true, kSummary, 19, VT_EMPTY, "", 0, 0},
      {true, kDoc, 6, VT_I4, "", 5, 0},
      {true, kDoc, 15, VT_EMPTY, "", 0, 0},
  };
  MemoryParts ooxml = Ooxml();
  MemoryParts odf = Odf();
  auto ooxmlProps = OpenOrFail(ooxml);
  auto odfProps = OpenOrFail(odf);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.odf ? "odf " : "ooxml ") + std::to_string(c.id));
    PROPVARIANT v = ReadOne(c.odf ? *odfProps : *ooxmlProps, c.set, c.id);
    ASSERT_EQ(v.vt, c.vt);
    if (c.vt == VT_LPSTR) {
      EXPECT_EQ(v.pszVal, codepage::Utf8ToCp932ForDisplay(c.text));
    } else if (c.vt == VT_I4) {
      EXPECT_EQ(v.lVal, c.number);
    } else if (c.vt == VT_BOOL) {
      EXPECT_EQ(v.boolVal, c.number);
    } else if (c.vt == VT_FILETIME) {
      EXPECT_EQ(v.filetime.Ticks(), c.ticks);
    }
  }
}

PROPVARIANT Text(const std::string& utf8, std::string& keep) {
  keep = codepage::Cp932(utf8);
  PROPVARIANT v;
  v.vt = VT_LPSTR;
  v.pszVal = keep.c_str();
  return v;
}

PROPVARIANT Number(std::int32_t n) {
  PROPVARIANT v;
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

PROPVARIANT Time(std::uint64_t ticks) {
  PROPVARIANT v;
  v.vt = VT_FILETIME;
  v.filetime = FILETIME::FromTicks(ticks);
  return v;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Each write's whole expected part: the original with exactly one piece
// replaced, so any other byte that moves fails the case.
TEST(PackagePropertiesTest, WriteSplicesOnlyTheChangedText) {
  struct Case {
    const char* name;
    bool odf;
    PropertySetKind set;
    PROPID id;
    std::function<PROPVARIANT(std::string&)> value;
    std::string part;
    std::string from;
    std::string to;
  };
  const std::string kXsiType = " xsi:type=\"dcterms:W3CDTF\"";
  const Case cases[] = {
      {"escaped title", false, kSummary, 2, [](std::string& k) { return Text("A<&>\"Б", k); },
       "props/core1.xml", "Old &amp; title", "A&lt;&amp;&gt;\"Б"},
      {"self-closing element", false, kSummary, 5, [](std::string& k) { return Text("k1", k); },
       "props/core1.xml", "<cp:keywords/>", "<cp:keywords>k1</cp:keywords>"},
      {"added with the part's prefix", false, kSummary, 3,
       [](std::string& k) { return Text("Sub", k); }, "props/core1.xml", "</cp:lastPrinted>\r\n",
       "</cp:lastPrinted><dc:subject>Sub</dc:subject>\r\n"},
      {"added date says its type", false, kSummary, 12, [](std::string&) { return Time(0); },
       "props/core1.xml", "", ""},
      {"date in UTC with Z", false, kSummary, 13,
       [](std::string&) { return Time(Utc("2025-01-02T03:04:05Z")); }, "props/core1.xml",
       "2024-05-02T09:00:00+09:00", "2025-01-02T03:04:05Z"},
      {"added in the default namespace", false, kDoc, 14,
       [](std::string& k) { return Text("Boss", k); }, "docProps/app.xml", "</TitlesOfParts>",
       "</TitlesOfParts><Manager>Boss</Manager>"},
      {"minutes", false, kSummary, 10, [](std::string&) { return Time(120 * 600'000'000ull); },
       "docProps/app.xml", "<TotalTime>90<", "<TotalTime>120<"},
      {"keywords split", true, kSummary, 5, [](std::string& k) { return Text("x, y ,z", k); },
       "meta.xml", "<meta:keyword>alpha</meta:keyword><meta:keyword>beta</meta:keyword>",
       "<meta:keyword>x</meta:keyword><meta:keyword>y</meta:keyword>"
       "<meta:keyword>z</meta:keyword>"},
      // Single-quoted, as some writers quote.
      {"attribute value", true, kSummary, 7, [](std::string& k) { return Text("a\"b'c", k); },
       "meta.xml", "Normal.ott", "a&quot;b&apos;c"},
      {"attribute added", true, kSummary, 15, [](std::string&) { return Number(40); }, "meta.xml",
       "meta:paragraph-count=\"5\"", "meta:paragraph-count=\"5\" meta:word-count=\"40\""},
      {"duration", true, kSummary, 10, [](std::string&) { return Time(3'600'000'0000ull); },
       "meta.xml", "P1DT2H3M4.5S", "PT1H0M0S"},
      {"undeclared namespace declared on the element", true, kSummary, 3,
       [](std::string& k) { return Text("S", k); }, "meta.xml", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryParts parts = c.odf ? Odf() : Ooxml();
    if (std::string(c.name) == "undeclared namespace declared on the element") {
      parts.parts["meta.xml"] =
          Replaced(Replaced(kMeta, R"( xmlns:dc="http://purl.org/dc/elements/1.1/")", ""),
                   "<dc:creator>Bob</dc:creator>", "");
    }
    const std::string before = parts.parts[c.part];
    auto props = OpenOrFail(parts);
    ASSERT_NE(props, nullptr);
    std::string keep;
    PROPSPEC spec{PRSPEC_PROPID, c.id};
    PROPVARIANT value = c.value(keep);
    if (std::string(c.name) == "added date says its type") {
      // dcterms:created removed first (FILETIME 0), then added back.
      ASSERT_TRUE(props->WriteMultiple(c.set, {&spec, 1}, {&value, 1}).ok());
      ASSERT_EQ(parts.parts[c.part].find("dcterms:created"), std::string::npos);
      value = Time(Utc("2020-01-01T00:00:00Z"));
      ASSERT_TRUE(props->WriteMultiple(c.set, {&spec, 1}, {&value, 1}).ok());
      EXPECT_NE(parts.parts[c.part].find("<dcterms:created" + kXsiType +
                                         ">2020-01-01T00:00:00Z</dcterms:created>"),
                std::string::npos);
      EXPECT_EQ(ReadOne(*props, c.set, c.id).filetime.Ticks(), Utc("2020-01-01T00:00:00Z"));
      continue;
    }
    storage::Status s = props->WriteMultiple(c.set, {&spec, 1}, {&value, 1});
    ASSERT_TRUE(s.ok()) << s.text();
    EXPECT_EQ(parts.writes, 1);
    if (c.from.empty()) {
      EXPECT_NE(
          parts.parts[c.part].find(
              R"(<dc:subject xmlns:dc="http://purl.org/dc/elements/1.1/">S</dc:subject></office:meta>)"),
          std::string::npos)
          << parts.parts[c.part];
    } else {
      EXPECT_EQ(parts.parts[c.part], Replaced(before, c.from, c.to));
    }
    // The new value reads back, from the new bytes.
    PROPVARIANT back = ReadOne(*props, c.set, c.id);
    EXPECT_TRUE(storage::SameValue(back, value) ||
                (c.id == 5 && c.odf && std::string(back.pszVal) == "x, y, z"));
    XmlDocument doc;
    EXPECT_TRUE(ScanXml(parts.parts[c.part], doc).ok());
  }
}

TEST(PackagePropertiesTest, StatisticsAddedTogetherMakeOneElement) {
  MemoryParts parts = Odf();
  parts.parts["meta.xml"] = Replaced(
      kMeta, R"(<meta:document-statistic meta:page-count="2" meta:paragraph-count="5"/>)", "");
  auto props = OpenOrFail(parts);
  PROPSPEC specs[] = {{PRSPEC_PROPID, 14}, {PRSPEC_PROPID, 16}};
  PROPVARIANT values[] = {Number(4), Number(900)};
  ASSERT_TRUE(props->WriteMultiple(kSummary, specs, values).ok());
  EXPECT_NE(
      parts.parts["meta.xml"].find(
          R"(<meta:document-statistic meta:page-count="4" meta:character-count="900"/></office:meta>)"),
      std::string::npos)
      << parts.parts["meta.xml"];
}

// Writing back every property as read, of every PROPID, writes nothing.
TEST(PackagePropertiesTest, WritingWhatWasReadWritesNothing) {
  for (bool odf : {false, true}) {
    MemoryParts parts = odf ? Odf() : Ooxml();
    auto props = OpenOrFail(parts);
    for (PropertySetKind set : {kSummary, kDoc}) {
      std::vector<PROPSPEC> specs;
      for (PROPID id = 1; id <= 20; ++id) specs.push_back({PRSPEC_PROPID, id});
      std::vector<PROPVARIANT> values(specs.size());
      ASSERT_TRUE(SUCCEEDED(props->ReadMultiple(set, specs, values)));
      ASSERT_TRUE(props->WriteMultiple(set, specs, values).ok());
    }
    EXPECT_EQ(parts.writes, 0);
  }
}

TEST(PackagePropertiesTest, RefusalsChangeNothing) {
  struct Case {
    const char* name;
    std::string part;
    std::string content;  // replaces the part; empty: removes it
    HRESULT open;         // what the open gives
    HRESULT write;        // then what a title change gives
  };
  const std::string kBomb =
      R"(<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;">]>)"
      R"(<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties">&lol2;</cp:coreProperties>)";
  const Case cases[] = {
      {"entity expansion", "props/core1.xml", kBomb, TAVRIN_E_BADPACKAGE, S_OK},
      {"doctype alone", "props/core1.xml", "<!DOCTYPE a SYSTEM \"file:///etc/passwd\"><a/>",
       TAVRIN_E_BADPACKAGE, S_OK},
      {"not well-formed", "props/core1.xml", "<a><b></a>", TAVRIN_E_BADPACKAGE, S_OK},
      {"past the size limit", "props/core1.xml", std::string(kPartLimit + 1, ' '),
       TAVRIN_E_BADPACKAGE, S_OK},
      {"bad relationships", "_rels/.rels", "<Relationships", TAVRIN_E_BADPACKAGE, S_OK},
      {"core part absent", "props/core1.xml", "", S_OK, TAVRIN_E_NOPROPERTYPART},
      {"another root", "props/core1.xml", "<x/>", S_OK, TAVRIN_E_NOPROPERTYPART},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryParts parts = Ooxml();
    if (c.content.empty()) {
      parts.parts.erase(c.part);
    } else {
      parts.parts[c.part] = c.content;
    }
    const auto before = parts.parts;
    std::unique_ptr<PackageProperties> props;
    storage::Status s = PackageProperties::Open(parts, props);
    ASSERT_EQ(s.code(), c.open) << s.text();
    if (!s.ok()) continue;
    std::string keep;
    PROPSPEC spec{PRSPEC_PROPID, 2};
    PROPVARIANT value = Text("New", keep);
    EXPECT_EQ(props->WriteMultiple(kSummary, {&spec, 1}, {&value, 1}).code(), c.write);
    EXPECT_EQ(parts.writes, 0);
    EXPECT_EQ(parts.parts, before);
  }
  MemoryParts zip;
  zip.parts = {{"readme.txt", "not a document"}};
  std::unique_ptr<PackageProperties> props;
  EXPECT_EQ(PackageProperties::Open(zip, props).code(), STG_E_FILEALREADYEXISTS);
}

}  // namespace
}  // namespace tavrin::test
