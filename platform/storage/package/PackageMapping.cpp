#include "platform/storage/package/PackageMapping.h"

#include <array>

namespace tavrin::storage::package {
namespace {

struct Row {
  PROPID propid;
  Home home;
};

constexpr Home Element(PartRole part, std::string_view ns, std::string_view local, Form form) {
  return {part, ns, local, {}, {}, form};
}

constexpr Home Statistic(std::string_view attribute) {
  return {PartRole::kMeta, ns::kMeta, "document-statistic", ns::kMeta, attribute, Form::kInteger};
}

constexpr PartRole kCore = PartRole::kCore;
constexpr PartRole kApp = PartRole::kExtended;
constexpr PartRole kMeta = PartRole::kMeta;

constexpr std::array kOoxmlSummary{
    Row{2, Element(kCore, ns::kDc, "title", Form::kText)},
    Row{3, Element(kCore, ns::kDc, "subject", Form::kText)},
    Row{4, Element(kCore, ns::kDc, "creator", Form::kText)},
    Row{5, Element(kCore, ns::kCore, "keywords", Form::kText)},
    Row{6, Element(kCore, ns::kDc, "description", Form::kText)},
    Row{7, Element(kApp, ns::kExtended, "Template", Form::kText)},
    Row{8, Element(kCore, ns::kCore, "lastModifiedBy", Form::kText)},
    Row{9, Element(kCore, ns::kCore, "revision", Form::kText)},
    Row{10, Element(kApp, ns::kExtended, "TotalTime", Form::kMinutes)},
    Row{11, Element(kCore, ns::kCore, "lastPrinted", Form::kDate)},
    Row{12, Element(kCore, ns::kDcTerms, "created", Form::kDate)},
    Row{13, Element(kCore, ns::kDcTerms, "modified", Form::kDate)},
    Row{14, Element(kApp, ns::kExtended, "Pages", Form::kInteger)},
    Row{15, Element(kApp, ns::kExtended, "Words", Form::kInteger)},
    Row{16, Element(kApp, ns::kExtended, "Characters", Form::kInteger)},
    Row{18, Element(kApp, ns::kExtended, "Application", Form::kText)},
    Row{19, Element(kApp, ns::kExtended, "DocSecurity", Form::kInteger)},
};

constexpr std::array kOoxmlDocSummary{
    Row{2, Element(kCore, ns::kCore, "category", Form::kText)},
    Row{3, Element(kApp, ns::kExtended, "PresentationFormat", Form::kText)},
    Row{5, Element(kApp, ns::kExtended, "Lines", Form::kInteger)},
    Row{6, Element(kApp, ns::kExtended, "Paragraphs", Form::kInteger)},
    Row{7, Element(kApp, ns::kExtended, "Slides", Form::kInteger)},
    Row{8, Element(kApp, ns::kExtended, "Notes", Form::kInteger)},
    Row{9, Element(kApp, ns::kExtended, "HiddenSlides", Form::kInteger)},
    Row{10, Element(kApp, ns::kExtended, "MMClips", Form::kInteger)},
    Row{11, Element(kApp, ns::kExtended, "ScaleCrop", Form::kBoolean)},
    Row{14, Element(kApp, ns::kExtended, "Manager", Form::kText)},
    Row{15, Element(kApp, ns::kExtended, "Company", Form::kText)},
    Row{16, Element(kApp, ns::kExtended, "LinksUpToDate", Form::kBoolean)},
};

constexpr std::array kOdfSummary{
    Row{2, Element(kMeta, ns::kDc, "title", Form::kText)},
    Row{3, Element(kMeta, ns::kDc, "subject", Form::kText)},
    Row{4, Element(kMeta, ns::kMeta, "initial-creator", Form::kText)},
    Row{5, Element(kMeta, ns::kMeta, "keyword", Form::kKeywords)},
    Row{6, Element(kMeta, ns::kDc, "description", Form::kText)},
    Row{7, Home{kMeta, ns::kMeta, "template", ns::kXlink, "href", Form::kText}},
    Row{8, Element(kMeta, ns::kDc, "creator", Form::kText)},
    Row{9, Element(kMeta, ns::kMeta, "editing-cycles", Form::kText)},
    Row{10, Element(kMeta, ns::kMeta, "editing-duration", Form::kDuration)},
    Row{11, Element(kMeta, ns::kMeta, "print-date", Form::kDate)},
    Row{12, Element(kMeta, ns::kMeta, "creation-date", Form::kDate)},
    Row{13, Element(kMeta, ns::kDc, "date", Form::kDate)},
    Row{14, Statistic("page-count")},
    Row{15, Statistic("word-count")},
    Row{16, Statistic("character-count")},
    Row{18, Element(kMeta, ns::kMeta, "generator", Form::kText)},
};

constexpr std::array kOdfDocSummary{
    Row{6, Statistic("paragraph-count")},
};

std::span<const Row> Table(PackageFormat format, PropertySetKind set) {
  if (format == PackageFormat::kOfficeOpenXml) {
    if (set == PropertySetKind::kSummary) return kOoxmlSummary;
    return kOoxmlDocSummary;
  }
  if (set == PropertySetKind::kSummary) return kOdfSummary;
  return kOdfDocSummary;
}

}  // namespace

std::optional<Home> HomeOf(PackageFormat format, PropertySetKind set, PROPID propid) {
  for (const Row& row : Table(format, set)) {
    if (row.propid == propid) return row.home;
  }
  return std::nullopt;
}

VARTYPE TypeOf(Form form) {
  switch (form) {
    case Form::kText:
    case Form::kKeywords:
      return VT_LPSTR;
    case Form::kInteger:
      return VT_I4;
    case Form::kDate:
    case Form::kMinutes:
    case Form::kDuration:
      return VT_FILETIME;
    case Form::kBoolean:
      return VT_BOOL;
  }
  return VT_EMPTY;
}

std::string_view ConventionalPrefix(std::string_view uri) {
  if (uri == ns::kCore) return "cp";
  if (uri == ns::kDc) return "dc";
  if (uri == ns::kDcTerms) return "dcterms";
  if (uri == ns::kXsi) return "xsi";
  if (uri == ns::kMeta) return "meta";
  if (uri == ns::kOffice) return "office";
  if (uri == ns::kXlink) return "xlink";
  return "";
}

}  // namespace tavrin::storage::package
