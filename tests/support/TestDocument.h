#pragma once
// A small document for tests of the layers above the engine: a compound file
// with the two property sets given, and a body stream beside them.

#include <optional>
#include <string>

#include "storage/PropertySetFixture.h"
#include "support/CfbFixture.h"
#include "support/ScratchDir.h"

namespace tavrin::testing {

struct TestDocument {
  explicit TestDocument(std::optional<test::SectionFixture> summarySection,
                        std::optional<test::SectionFixture> docSummarySection = {},
                        std::optional<test::SectionFixture> userDefinedSection = {})
      : summary(std::move(summarySection)),
        docSummary(std::move(docSummarySection)),
        userDefined(std::move(userDefinedSection)) {}

  std::optional<test::SectionFixture> summary;
  std::optional<test::SectionFixture> docSummary;
  std::optional<test::SectionFixture> userDefined;
  int version = 3;

  std::string Bytes() const {
    fixture::CfbWriter writer(fixture::CfbOptions{version});
    if (summary) writer.AddStream("\x05SummaryInformation", test::BuildStream({*summary}));
    if (docSummary) {
      std::vector<test::SectionFixture> sections{*docSummary};
      if (userDefined) sections.push_back(*userDefined);
      writer.AddStream(
          "\x05"
          "DocumentSummaryInformation",
          test::BuildStream(sections));
    }
    writer.AddStream("WordDocument", std::string(5000, 'w'));
    return writer.Build().bytes;
  }

  std::string WriteTo(const fixture::ScratchDir& dir, const std::string& name) const {
    return dir.Put(name, Bytes());
  }
};

// A Summary section in code page 932 holding the given title, author and a
// page count.
inline test::SectionFixture SummaryWith(const std::string& title, const std::string& author,
                                        int pages) {
  test::SectionFixture section(test::kSummaryFmtid);
  section.Add(1, test::I2(932)).Add(2, test::Lpstr(title)).Add(4, test::Lpstr(author));
  section.Add(14, test::I4(pages));
  return section;
}

}  // namespace tavrin::testing
