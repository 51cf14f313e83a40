#pragma once
// Changes to an XML part made by replacing byte ranges, never by writing the
// document out again: whatever lies outside the ranges is the writer's own.

#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/package/XmlScan.h"

namespace tavrin::storage::package {

// Replaces `range` (empty: inserts at range.begin) with `bytes`.
struct Splice {
  ByteRange range;
  std::string bytes;
};

// `part` with every splice applied. Splices must not overlap; two insertions
// at one place go in the order given.
std::string ApplySplices(std::string_view part, std::vector<Splice> splices);

// UTF-8 text as character data: & < > escaped, and a carriage return as a
// reference, since a reader turns a literal one into a line feed.
std::string EscapeText(std::string_view text);
// The same for an attribute value: both quotes, and the whitespace a reader
// would normalise to spaces, are escaped too.
std::string EscapeAttribute(std::string_view text);

// The splice that makes `element`'s content the text `text` (UTF-8,
// unescaped); <a/> becomes <a>text</a>.
Splice SetElementText(const XmlElement& element, std::string_view text);

// The splice that appends `markup` as the last content of `element`.
Splice AppendChild(const XmlElement& element, std::string markup);

// The splice that makes the value of `attribute` `text`.
Splice SetAttributeText(const XmlAttribute& attribute, std::string_view text);

// The splice that adds ` qname="text"` after the last attribute of `element`.
Splice AddAttribute(const XmlElement& element, std::string_view qname, std::string_view text);

}  // namespace tavrin::storage::package
