#pragma once
// The home of each property of the two sets in each package format.

#include <optional>
#include <string_view>

#include "platform/storage/PropVariant.h"
#include "platform/storage/package/PackageProperties.h"

namespace tavrin::storage::package {

namespace ns {
inline constexpr std::string_view kCore =
    "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
inline constexpr std::string_view kExtended =
    "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties";
inline constexpr std::string_view kDc = "http://purl.org/dc/elements/1.1/";
inline constexpr std::string_view kDcTerms = "http://purl.org/dc/terms/";
inline constexpr std::string_view kXsi = "http://www.w3.org/2001/XMLSchema-instance";
inline constexpr std::string_view kRelationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
inline constexpr std::string_view kMeta = "urn:oasis:names:tc:opendocument:xmlns:meta:1.0";
inline constexpr std::string_view kXlink = "http://www.w3.org/1999/xlink";
}  // namespace ns

// How a value is written in its part.
enum class Form {
  kText,
  kInteger,
  kDate,      // W3C date-time
  kMinutes,   // editing time in whole minutes
  kDuration,  // editing time as an ISO 8601 duration
  kBoolean,
  kKeywords,  // OpenDocument: one element per keyword
};

struct Home {
  PartRole part;
  std::string_view ns;  // the element, a child of the part's container
  std::string_view local;
  std::string_view attributeNs;  // empty: the value is the element's text
  std::string_view attributeLocal;
  Form form;
};

std::optional<Home> HomeOf(PackageFormat format, PropertySetKind set, PROPID propid);

// The type a read gives for `form`, and a write takes.
VARTYPE TypeOf(Form form);

// The prefix a new declaration binds `uri` to when the part has none.
std::string_view ConventionalPrefix(std::string_view uri);

}  // namespace tavrin::storage::package
