#include "platform/storage/package/XmlScan.h"

#include <expat.h>

#include <algorithm>
#include <memory>

namespace tavrin::storage::package {
namespace {

// Expat reports a name in a namespace as "uri\x01local\x01prefix".
constexpr char kSeparator = '\x01';

struct SplitName {
  std::string ns;
  std::string local;
  std::string prefix;
};

SplitName Split(const char* name) {
  std::string_view whole(name);
  SplitName split;
  std::size_t first = whole.find(kSeparator);
  if (first == std::string_view::npos) {
    split.local = whole;
    return split;
  }
  split.ns = whole.substr(0, first);
  std::string_view rest = whole.substr(first + 1);
  std::size_t second = rest.find(kSeparator);
  split.local = rest.substr(0, second);
  if (second != std::string_view::npos) split.prefix = rest.substr(second + 1);
  return split;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The attributes of a start tag in the order written, by qualified name with
// the range of each value. Expat has checked the tag, so this walk only has
// to find the pieces.
std::vector<std::pair<std::string, ByteRange>> RawAttributes(std::string_view bytes,
                                                             ByteRange tag) {
  std::vector<std::pair<std::string, ByteRange>> found;
  std::size_t at = tag.begin + 1;
  while (at < tag.end && !IsSpace(bytes[at]) && bytes[at] != '>' && bytes[at] != '/') ++at;
  while (at < tag.end) {
    while (at < tag.end && IsSpace(bytes[at])) ++at;
    if (at >= tag.end || bytes[at] == '>' || bytes[at] == '/') break;
    std::size_t nameBegin = at;
    while (at < tag.end && bytes[at] != '=' && !IsSpace(bytes[at])) ++at;
    std::string name(bytes.substr(nameBegin, at - nameBegin));
    while (at < tag.end && bytes[at] != '\'' && bytes[at] != '"') ++at;
    if (at >= tag.end) break;
    char quote = bytes[at++];
    std::size_t valueBegin = at;
    while (at < tag.end && bytes[at] != quote) ++at;
    found.emplace_back(std::move(name), ByteRange{valueBegin, at});
    ++at;
  }
  return found;
}

struct Scan {
  std::string_view bytes;
  XML_Parser parser = nullptr;
  XmlDocument* out = nullptr;
  std::vector<int> open;  // indexes of the elements not yet closed
  std::string refusal;

  std::size_t Here() const { return static_cast<std::size_t>(XML_GetCurrentByteIndex(parser)); }
  std::size_t Count() const { return static_cast<std::size_t>(XML_GetCurrentByteCount(parser)); }

  void Refuse(std::string why) {
    if (refusal.empty()) refusal = std::move(why);
    XML_StopParser(parser, XML_FALSE);
  }
};

void OnStart(void* data, const char* name, const char** attributes) {
  auto& scan = *static_cast<Scan*>(data);
  XmlDocument& doc = *scan.out;
  XmlElement element;
  SplitName split = Split(name);
  element.ns = std::move(split.ns);
  element.local = std::move(split.local);
  element.qname = split.prefix.empty() ? element.local : split.prefix + ":" + element.local;
  element.parent = scan.open.empty() ? -1 : scan.open.back();
  std::size_t begin = scan.Here();
  std::size_t end = begin + scan.Count();
  element.tag = {begin, end};
  element.selfClosing = end >= begin + 2 && scan.bytes[end - 2] == '/';
  element.content = element.selfClosing ? ByteRange{end - 2, end - 2} : ByteRange{end, end};
  auto raw = RawAttributes(scan.bytes, element.tag);
  for (const char** a = attributes; a[0] != nullptr; a += 2) {
    SplitName attribute = Split(a[0]);
    std::string qname =
        attribute.prefix.empty() ? attribute.local : attribute.prefix + ":" + attribute.local;
    XmlAttribute parsed{std::move(attribute.ns), std::move(attribute.local), {}, a[1]};
    for (const auto& [rawName, range] : raw) {
      if (rawName == qname) parsed.value = range;
    }
    element.attributes.push_back(std::move(parsed));
  }
  if (element.parent >= 0)
    doc.elements[static_cast<std::size_t>(element.parent)].hasChildren = true;
  doc.elements.push_back(std::move(element));
  scan.open.push_back(static_cast<int>(doc.elements.size() - 1));
}

void OnEnd(void* data, const char*) {
  auto& scan = *static_cast<Scan*>(data);
  XmlElement& element = scan.out->elements[static_cast<std::size_t>(scan.open.back())];
  scan.open.pop_back();
  if (!element.selfClosing) {
    element.content.end = scan.Here();
    element.tag.end = scan.Here() + scan.Count();
  }
}

void OnText(void* data, const char* text, int length) {
  auto& scan = *static_cast<Scan*>(data);
  if (scan.open.empty()) return;
  scan.out->elements[static_cast<std::size_t>(scan.open.back())].text.append(
      text, static_cast<std::size_t>(length));
}

void OnNamespace(void* data, const char* prefix, const char* uri) {
  auto& scan = *static_cast<Scan*>(data);
  // Reported before the start of the element that declares it.
  scan.out->bindings.push_back(
      {prefix == nullptr ? "" : prefix, uri == nullptr ? "" : uri, scan.out->elements.size()});
}

void OnDoctype(void* data, const char*, const char*, const char*, int) {
  static_cast<Scan*>(data)->Refuse("a document type declaration");
}

void OnEntity(void* data, const char*, int, const char*, int, const char*, const char*, const char*,
              const char*) {
  static_cast<Scan*>(data)->Refuse("an entity declaration");
}

void OnXmlDecl(void* data, const char*, const char* encoding, int) {
  auto& scan = *static_cast<Scan*>(data);
  if (encoding == nullptr) return;
  std::string lower;
  for (const char* c = encoding; *c != '\0'; ++c) {
    lower.push_back(*c >= 'A' && *c <= 'Z' ? static_cast<char>(*c - 'A' + 'a') : *c);
  }
  if (lower != "utf-8" && lower != "utf8") scan.out->utf8 = false;
}

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

const XmlAttribute* XmlElement::Attribute(std::string_view attributeNs,
                                          std::string_view attributeLocal) const {
  for (const XmlAttribute& attribute : attributes) {
    if (attribute.ns == attributeNs && attribute.local == attributeLocal) return &attribute;
  }
  return nullptr;
}

std::optional<std::size_t> XmlDocument::Child(int parent, std::string_view ns,
                                              std::string_view local) const {
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const XmlElement& e = elements[i];
    if (e.parent == parent && e.ns == ns && e.local == local) return i;
  }
  return std::nullopt;
}

std::vector<std::size_t> XmlDocument::Children(int parent, std::string_view ns,
                                               std::string_view local) const {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const XmlElement& e = elements[i];
    if (e.parent == parent && e.ns == ns && e.local == local) found.push_back(i);
  }
  return found;
}

std::optional<std::string> XmlDocument::PrefixOf(std::string_view ns, std::size_t element) const {
  std::vector<std::string> rebound;
  for (int at = static_cast<int>(element); at >= 0;
       at = elements[static_cast<std::size_t>(at)].parent) {
    for (const Binding& binding : bindings) {
      if (binding.element != static_cast<std::size_t>(at)) continue;
      if (std::find(rebound.begin(), rebound.end(), binding.prefix) != rebound.end()) continue;
      if (binding.uri == ns) return binding.prefix;
      rebound.push_back(binding.prefix);
    }
  }
  return std::nullopt;
}

Status ScanXml(std::string_view bytes, XmlDocument& out) {
  out = {};
  if (bytes.size() > kPartLimit) {
    return {TAVRIN_E_BADPACKAGE,
            "an XML part of " + std::to_string(bytes.size()) + " bytes, past the limit"};
  }
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    out.utf8 = false;
  }
  std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS(nullptr, kSeparator));
  if (parser == nullptr) return {E_OUTOFMEMORY, "no XML parser"};
  Scan scan{bytes, parser.get(), &out, {}, {}};
  XML_SetUserData(parser.get(), &scan);
  XML_SetReturnNSTriplet(parser.get(), XML_TRUE);
  XML_SetElementHandler(parser.get(), OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser.get(), OnText);
  XML_SetStartNamespaceDeclHandler(parser.get(), OnNamespace);
  XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
  XML_SetEntityDeclHandler(parser.get(), OnEntity);
  XML_SetXmlDeclHandler(parser.get(), OnXmlDecl);
  // No external entity is ever fetched: the handler is never set, and a
  // document type declaration stops the parse before one could be named.
  XML_Status status =
      XML_Parse(parser.get(), bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
  if (!scan.refusal.empty()) {
    Status refused{TAVRIN_E_BADPACKAGE, "an XML part with " + scan.refusal};
    out = {};
    return refused;
  }
  if (status != XML_STATUS_OK) {
    std::string why = XML_ErrorString(XML_GetErrorCode(parser.get()));
    Status refused{TAVRIN_E_BADPACKAGE,
                   "an XML part that is not well-formed (" + why + " at byte " +
                       std::to_string(XML_GetCurrentByteIndex(parser.get())) + ")"};
    out = {};
    return refused;
  }
  if (!out.utf8) {
    // The offsets of a re-encoded part point nowhere useful; only texts are kept.
    for (XmlElement& e : out.elements) {
      e.tag = e.content = {};
      for (XmlAttribute& a : e.attributes) a.value = {};
    }
  }
  return {};
}

}  // namespace tavrin::storage::package
