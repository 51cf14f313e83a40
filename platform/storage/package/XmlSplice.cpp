#include "platform/storage/package/XmlSplice.h"

#include <algorithm>

namespace tavrin::storage::package {
namespace {

std::string Escape(std::string_view text, bool attribute) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      // Both quotes, since a value may be quoted with either.
      case '\'':
        out += attribute ? "&apos;" : "'";
        break;
      case '\n':
        out += attribute ? "&#10;" : "\n";
        break;
      case '\t':
        out += attribute ? "&#9;" : "\t";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string ApplySplices(std::string_view part, std::vector<Splice> splices) {
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.range.begin < b.range.begin; });
  std::string out;
  out.reserve(part.size());
  std::size_t at = 0;
  for (const Splice& splice : splices) {
    out.append(part.substr(at, splice.range.begin - at));
    out += splice.bytes;
    at = std::max(at, splice.range.end);
  }
  out.append(part.substr(at));
  return out;
}

std::string EscapeText(std::string_view text) {
  return Escape(text, false);
}

std::string EscapeAttribute(std::string_view text) {
  return Escape(text, true);
}

Splice SetElementText(const XmlElement& element, std::string_view text) {
  if (element.selfClosing) {
    // "/>" becomes ">text</qname>".
    return {{element.content.begin, element.content.begin + 2},
            ">" + EscapeText(text) + "</" + element.qname + ">"};
  }
  return {element.content, EscapeText(text)};
}

Splice AppendChild(const XmlElement& element, std::string markup) {
  if (element.selfClosing) {
    return {{element.content.begin, element.content.begin + 2},
            ">" + markup + "</" + element.qname + ">"};
  }
  return {{element.content.end, element.content.end}, std::move(markup)};
}

Splice SetAttributeText(const XmlAttribute& attribute, std::string_view text) {
  return {attribute.value, EscapeAttribute(text)};
}

Splice AddAttribute(const XmlElement& element, std::string_view qname, std::string_view text) {
  // Just after the last value's closing quote, else just after the name.
  std::size_t at = element.tag.begin + 1 + element.qname.size();
  for (const XmlAttribute& attribute : element.attributes) {
    at = std::max(at, attribute.value.end + 1);
  }
  return {{at, at}, " " + std::string(qname) + "=\"" + EscapeAttribute(text) + "\""};
}

}  // namespace tavrin::storage::package
