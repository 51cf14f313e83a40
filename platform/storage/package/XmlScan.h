#pragma once
// Where things are in the bytes of one XML part, so that a change can splice
// new text into it and leave every other byte as it was: attribute order,
// quoting, namespace prefixes, declarations and whitespace are the writer's,
// not ours.
//
// The scan refuses, with TAVRIN_E_BADPACKAGE and a text saying why, a part
// larger than kPartLimit, one that is not well-formed, and one with a
// document type declaration: entity declarations are how a few hundred bytes
// expand to gigabytes, and no property part needs one.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/Status.h"

namespace tavrin::storage::package {

// The largest part read or written, as the archive's read limit.
inline constexpr std::size_t kPartLimit = 16u << 20;

// [begin, end) in the part's bytes.
struct ByteRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct XmlAttribute {
  std::string ns;     // namespace URI; empty for an unprefixed attribute
  std::string local;  // name without prefix
  ByteRange value;    // between the quotes, as written
  std::string text;   // the value with references resolved, UTF-8
};

struct XmlElement {
  std::string ns;
  std::string local;
  std::string qname;  // as written: "prefix:local" or "local"
  int parent = -1;    // index into XmlDocument::elements, -1 for the root
  ByteRange tag;      // the whole element, start tag to end tag
  ByteRange content;  // between the tags; empty and at the "/>" for <a/>
  bool selfClosing = false;
  bool hasChildren = false;
  std::string text;  // its own character data, references resolved, UTF-8
  std::vector<XmlAttribute> attributes;

  const XmlAttribute* Attribute(std::string_view ns, std::string_view local) const;
};

struct XmlDocument {
  std::vector<XmlElement> elements;  // document order
  // Every namespace declaration, with the element that makes it.
  struct Binding {
    std::string prefix;  // "" for a default namespace
    std::string uri;
    std::size_t element;
  };
  std::vector<Binding> bindings;
  // False for a part declared in another encoding than UTF-8: the byte
  // offsets are then not those of UTF-8 text, so it is read but not changed.
  bool utf8 = true;

  // The first element named so whose parent is `parent` (-1: the root itself).
  std::optional<std::size_t> Child(int parent, std::string_view ns, std::string_view local) const;
  std::vector<std::size_t> Children(int parent, std::string_view ns, std::string_view local) const;
  // The prefix bound to `ns` in scope inside `element` ("" for a default
  // namespace), if any whose prefix no nearer declaration rebinds.
  std::optional<std::string> PrefixOf(std::string_view ns, std::size_t element) const;
};

Status ScanXml(std::string_view bytes, XmlDocument& out);

}  // namespace tavrin::storage::package
