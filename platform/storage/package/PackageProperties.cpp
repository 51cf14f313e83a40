#include "platform/storage/package/PackageProperties.h"

#include <algorithm>
#include <map>

#include "platform/CodePage.h"
#include "platform/storage/PropertyValue.h"
#include "platform/storage/package/PackageMapping.h"
#include "platform/storage/package/PackageValues.h"
#include "platform/storage/package/XmlSplice.h"

namespace tavrin::storage::package {
namespace {

constexpr std::string_view kRelationshipsPart = "_rels/.rels";
constexpr std::string_view kMetaPart = "meta.xml";

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A relationship target of the package itself, as a part name.
std::string PartNameOf(std::string_view target) {
  while (!target.empty() && target.front() == '/') target.remove_prefix(1);
  if (target.substr(0, 2) == "./") target.remove_prefix(2);
  return std::string(target);
}

PROPVARIANT TextValue(std::string cp932) {
  auto storage = std::make_shared<PropVariantStorage>();
  storage->text = std::move(cp932);
  PROPVARIANT value;
  value.vt = VT_LPSTR;
  value.pszVal = storage->text.c_str();
  value.storage = std::move(storage);
  return value;
}

PROPVARIANT TimeValue(FILETIME time) {
  PROPVARIANT value;
  value.vt = VT_FILETIME;
  value.filetime = time;
  return value;
}

// What a read of the set gives for `text` found at a home of `form`.
PROPVARIANT ValueOf(Form form, const std::string& text) {
  PROPVARIANT value;
  switch (form) {
    case Form::kText:
    case Form::kKeywords:
      return TextValue(codepage::Utf8ToCp932ForDisplay(text));
    case Form::kInteger:
      if (auto number = ParseInteger(text)) {
        value.vt = VT_I4;
        value.lVal = *number;
        value.ulVal = static_cast<std::uint32_t>(*number);
        value.iVal = static_cast<std::int16_t>(*number);
        value.uiVal = static_cast<std::uint16_t>(*number);
      }
      break;
    case Form::kDate:
      if (auto time = ParseW3cDateTime(text)) return TimeValue(*time);
      break;
    case Form::kMinutes:
      if (auto time = ParseMinutes(text)) return TimeValue(*time);
      break;
    case Form::kDuration:
      if (auto time = ParseIsoDuration(text)) return TimeValue(*time);
      break;
    case Form::kBoolean:
      if (auto flag = ParseBoolean(text)) {
        value.vt = VT_BOOL;
        value.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
      }
      break;
  }
  return value;
}

// The UTF-8 text that stores `value` at a home of `form`; nothing for a date
// of FILETIME 0, "no time set", which removes the element.
std::optional<std::string> TextFor(Form form, const PROPVARIANT& value) {
  switch (form) {
    case Form::kText:
    case Form::kKeywords:
      return codepage::Cp932ToUtf8(value.pszVal == nullptr ? "" : value.pszVal);
    case Form::kInteger:
      return std::to_string(value.lVal);
    case Form::kDate:
      if (value.filetime.Ticks() == 0) return std::nullopt;
      return FormatW3cDateTime(value.filetime);
    case Form::kMinutes:
      return FormatMinutes(value.filetime);
    case Form::kDuration:
      return FormatIsoDuration(value.filetime);
    case Form::kBoolean:
      return value.boolVal != 0 ? "true" : "false";
  }
  return std::nullopt;
}

std::vector<std::string> Keywords(std::string_view text) {
  std::vector<std::string> words;
  while (true) {
    std::size_t comma = text.find(',');
    std::string_view word = text.substr(0, comma);
    while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
    while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
    if (!word.empty()) words.emplace_back(word);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return words;
}

// The changes to one part, as they are collected.
struct PartEdit {
  std::vector<Splice> splices;
  // New elements whose value is in attributes, so that several properties of
  // one element (the OpenDocument statistics) make one element.
  struct NewElement {
    std::string_view ns;
    std::string_view local;
    std::vector<std::pair<std::string_view, std::string>> attributes;  // local name, value
    std::string_view attributeNs;
  };
  std::vector<NewElement> newElements;
};

// Names new markup inside the container of `part`: the prefix the part binds
// to each namespace, or one declared on the new element itself.
class NewMarkup {
 public:
  NewMarkup(const XmlDocument& doc, std::size_t scope) : doc_(doc), scope_(scope) {}

  // The qualified name of an element in `uri`.
  std::string ElementName(std::string_view uri, std::string_view local) {
    auto prefix = doc_.PrefixOf(uri, scope_);
    if (!prefix) prefix = Declare(uri);
    return prefix->empty() ? std::string(local) : *prefix + ":" + std::string(local);
  }
  // The qualified name of an attribute in `uri`; an attribute needs a prefix.
  std::string AttributeName(std::string_view uri, std::string_view local) {
    auto prefix = doc_.PrefixOf(uri, scope_);
    if (!prefix || prefix->empty()) prefix = Declare(uri);
    return *prefix + ":" + std::string(local);
  }
  std::string Declarations() const { return declarations_; }

 private:
  std::string Declare(std::string_view uri) {
    std::string prefix(ConventionalPrefix(uri));
    if (prefix.empty() && !declaredDefault_) {
      declarations_ += " xmlns=\"" + EscapeAttribute(uri) + "\"";
      declaredDefault_ = true;
      return prefix;
    }
    if (prefix.empty()) prefix = "ns" + std::to_string(++unnamed_);
    declarations_ += " xmlns:" + prefix + "=\"" + EscapeAttribute(uri) + "\"";
    return prefix;
  }

  const XmlDocument& doc_;
  std::size_t scope_;
  std::string declarations_;
  bool declaredDefault_ = false;
  int unnamed_ = 0;
};

std::string ElementMarkup(const PackageProperties::Part& part, std::string_view ns,
                          std::string_view local, std::string_view attributeNs,
                          const std::vector<std::pair<std::string_view, std::string>>& attributes,
                          const std::optional<std::string>& text, Form form) {
  NewMarkup names(part.doc, *part.container);
  std::string name = names.ElementName(ns, local);
  std::string attributeText;
  for (const auto& [attributeLocal, value] : attributes) {
    attributeText += " " + names.AttributeName(attributeNs, attributeLocal) + "=\"" +
                     EscapeAttribute(value) + "\"";
  }
  if (form == Form::kDate && ns == ns::kDcTerms) {
    // Readers of the core properties want the type of a dcterms date said.
    std::string type = names.ElementName(ns::kDcTerms, "W3CDTF");
    attributeText += " " + names.AttributeName(ns::kXsi, "type") + "=\"" + type + "\"";
  }
  std::string start = "<" + name + names.Declarations() + attributeText;
  if (!text) return start + "/>";
  return start + ">" + EscapeText(*text) + "</" + name + ">";
}

// Where new children of the container go: after its last child element.
Splice AppendToContainer(const PackageProperties::Part& part, std::string markup) {
  const XmlDocument& doc = part.doc;
  const int container = static_cast<int>(*part.container);
  std::optional<std::size_t> lastEnd;
  for (const XmlElement& e : doc.elements) {
    if (e.parent == container) lastEnd = e.tag.end;
  }
  if (lastEnd) return {{*lastEnd, *lastEnd}, std::move(markup)};
  return AppendChild(doc.elements[*part.container], std::move(markup));
}

// The element whose children are the part's properties.
std::optional<std::size_t> ContainerOf(PartRole role, const XmlDocument& doc) {
  if (doc.elements.empty()) return std::nullopt;
  const XmlElement& root = doc.elements[0];
  switch (role) {
    case PartRole::kCore:
      if (root.ns == ns::kCore && root.local == "coreProperties") return 0;
      break;
    case PartRole::kExtended:
      if (root.ns == ns::kExtended && root.local == "Properties") return 0;
      break;
    case PartRole::kMeta:
      if (root.ns == ns::kOffice && root.local == "document-meta") {
        return doc.Child(0, ns::kOffice, "meta");
      }
      break;
  }
  return std::nullopt;
}

}  // namespace

Status PackageProperties::Open(PackageParts& parts, std::unique_ptr<PackageProperties>& out) {
  out.reset();
  std::optional<std::string> rels;
  if (Status s = parts.Read(kRelationshipsPart, kPartLimit, rels); !s.ok()) return s;
  if (rels) {
    std::unique_ptr<PackageProperties> made(
        new PackageProperties(parts, PackageFormat::kOfficeOpenXml));
    XmlDocument doc;
    if (Status s = ScanXml(*rels, doc); !s.ok()) {
      return {s.code(), std::string(kRelationshipsPart) + ": " + s.text()};
    }
    std::string core;
    std::string extended;
    for (const XmlElement& e : doc.elements) {
      if (e.parent != 0 || e.ns != ns::kRelationships || e.local != "Relationship") continue;
      const XmlAttribute* type = e.Attribute("", "Type");
      const XmlAttribute* target = e.Attribute("", "Target");
      const XmlAttribute* mode = e.Attribute("", "TargetMode");
      if (type == nullptr || target == nullptr || (mode != nullptr && mode->text == "External")) {
        continue;
      }
      if (core.empty() && EndsWith(type->text, "/metadata/core-properties")) {
        core = PartNameOf(target->text);
      } else if (extended.empty() && EndsWith(type->text, "/extended-properties")) {
        extended = PartNameOf(target->text);
      }
    }
    if (Status s = made->AddPart(PartRole::kCore, core); !s.ok()) return s;
    if (Status s = made->AddPart(PartRole::kExtended, extended); !s.ok()) return s;
    out = std::move(made);
    return {};
  }
  // An OpenDocument package names its media type in its first member.
  std::optional<std::string> mimetype;
  if (Status s = parts.Read("mimetype", 256, mimetype);
      !s.ok() && s.code() != TAVRIN_E_BADPACKAGE) {
    return s;
  }
  if (!mimetype || mimetype->rfind("application/vnd.oasis.opendocument.", 0) != 0) {
    return {STG_E_FILEALREADYEXISTS, "a ZIP archive that is no document package"};
  }
  std::unique_ptr<PackageProperties> made(
      new PackageProperties(parts, PackageFormat::kOpenDocument));
  if (Status s = made->AddPart(PartRole::kMeta, std::string(kMetaPart)); !s.ok()) return s;
  out = std::move(made);
  return {};
}

Status PackageProperties::AddPart(PartRole role, std::string name) {
  Part part{role, name, std::nullopt, {}, std::nullopt};
  if (!name.empty()) {
    if (Status s = parts_.Read(name, kPartLimit, part.bytes); !s.ok()) {
      return {s.code(), name + ": " + s.text()};
    }
  }
  if (part.bytes) {
    if (Status s = ScanXml(*part.bytes, part.doc); !s.ok()) {
      return {s.code(), name + ": " + s.text()};
    }
    part.container = ContainerOf(role, part.doc);
  }
  held_.push_back(std::move(part));
  return {};
}

PackageProperties::Part* PackageProperties::Find(PartRole role) {
  for (Part& part : held_) {
    if (part.role == role) return &part;
  }
  return nullptr;
}

const PackageProperties::Part* PackageProperties::Find(PartRole role) const {
  for (const Part& part : held_) {
    if (part.role == role) return &part;
  }
  return nullptr;
}

bool PackageProperties::HasSet(PropertySetKind) const {
  // Either format keeps properties of both sets in each of its parts.
  return std::any_of(held_.begin(), held_.end(), [](const Part& part) { return part.bytes; });
}

namespace {

PROPVARIANT ReadHome(const PackageProperties::Part& part, const Home& home) {
  if (!part.bytes || !part.container) return {};
  const XmlDocument& doc = part.doc;
  const int container = static_cast<int>(*part.container);
  if (home.form == Form::kKeywords) {
    std::string joined;
    auto found = doc.Children(container, home.ns, home.local);
    if (found.empty()) return {};
    for (std::size_t i : found) {
      if (!joined.empty()) joined += ", ";
      joined += doc.elements[i].text;
    }
    return ValueOf(home.form, joined);
  }
  auto element = doc.Child(container, home.ns, home.local);
  if (!element) return {};
  const XmlElement& e = doc.elements[*element];
  if (home.attributeLocal.empty()) return ValueOf(home.form, e.text);
  const XmlAttribute* attribute = e.Attribute(home.attributeNs, home.attributeLocal);
  if (attribute == nullptr) return {};
  return ValueOf(home.form, attribute->text);
}

}  // namespace

HRESULT PackageProperties::ReadMultiple(PropertySetKind set, std::span<const PROPSPEC> specs,
                                        std::span<PROPVARIANT> values) const {
  for (std::size_t i = 0; i < specs.size(); ++i) {
    values[i] = {};
    if (specs[i].ulKind != PRSPEC_PROPID) continue;
    auto home = HomeOf(format_, set, specs[i].propid);
    if (!home) continue;
    const Part* part = Find(home->part);
    if (part == nullptr) continue;
    values[i] = ReadHome(*part, *home);
  }
  return HasSet(set) ? S_OK : S_FALSE;
}

Status PackageProperties::WriteMultiple(PropertySetKind set, std::span<const PROPSPEC> specs,
                                        std::span<const PROPVARIANT> values) {
  std::map<PartRole, PartEdit> edits;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const PROPVARIANT& value = values[i];
    if (value.vt == VT_EMPTY || specs[i].ulKind != PRSPEC_PROPID) continue;
    auto home = HomeOf(format_, set, specs[i].propid);
    // A property with no home in this format is never written.
    if (!home || value.vt != TypeOf(home->form)) continue;
    Part* part = Find(home->part);
    if (part != nullptr && SameValue(ReadHome(*part, *home), value)) continue;
    if (part == nullptr || !part->bytes || !part->container) {
      std::string name = part != nullptr && !part->name.empty() ? part->name
                         : home->part == PartRole::kCore        ? "the core properties part"
                                                                : "the extended properties part";
      return {TAVRIN_E_NOPROPERTYPART,
              "property " + std::to_string(specs[i].propid) + " has no part to go to: " + name +
                  (part != nullptr && part->bytes ? " has no container" : " is absent")};
    }
    if (!part->doc.utf8) {
      return {TAVRIN_E_BADPACKAGE, part->name + " is not UTF-8: it is read but not changed"};
    }
    std::optional<std::string> text = TextFor(home->form, value);
    const XmlDocument& doc = part->doc;
    const int container = static_cast<int>(*part->container);
    PartEdit& edit = edits[home->part];
    if (home->form == Form::kKeywords) {
      auto found = doc.Children(container, home->ns, home->local);
      std::vector<std::string> words = Keywords(*text);
      std::string added;
      NewMarkup names(doc, *part->container);
      std::string name = names.ElementName(home->ns, home->local);
      for (std::size_t w = found.empty() ? 0 : 1; w < words.size(); ++w) {
        added += "<" + name + names.Declarations() + ">" + EscapeText(words[w]) + "</" + name + ">";
      }
      if (found.empty()) {
        if (!added.empty()) edit.splices.push_back(AppendToContainer(*part, added));
        continue;
      }
      const XmlElement& first = doc.elements[found[0]];
      if (words.empty()) {
        edit.splices.push_back({first.tag, ""});
      } else {
        edit.splices.push_back(SetElementText(first, words[0]));
        edit.splices.push_back({{first.tag.end, first.tag.end}, added});
      }
      for (std::size_t k = 1; k < found.size(); ++k) {
        edit.splices.push_back({doc.elements[found[k]].tag, ""});
      }
      continue;
    }
    auto element = doc.Child(container, home->ns, home->local);
    if (home->attributeLocal.empty()) {
      if (element && text) {
        edit.splices.push_back(SetElementText(doc.elements[*element], *text));
      } else if (element) {
        edit.splices.push_back({doc.elements[*element].tag, ""});
      } else if (text) {
        edit.splices.push_back(AppendToContainer(
            *part, ElementMarkup(*part, home->ns, home->local, {}, {}, text, home->form)));
      }
      continue;
    }
    if (!element) {
      auto same =
          std::find_if(edit.newElements.begin(), edit.newElements.end(),
                       [&](const PartEdit::NewElement& n) { return n.local == home->local; });
      if (same == edit.newElements.end()) {
        edit.newElements.push_back({home->ns, home->local, {}, home->attributeNs});
        same = edit.newElements.end() - 1;
        if (home->local == "template") {
          same->attributes.emplace_back("type", "simple");
          same->attributes.emplace_back("actuate", "onRequest");
        }
      }
      same->attributes.emplace_back(home->attributeLocal, *text);
      continue;
    }
    const XmlElement& e = doc.elements[*element];
    if (const XmlAttribute* attribute = e.Attribute(home->attributeNs, home->attributeLocal)) {
      edit.splices.push_back(SetAttributeText(*attribute, *text));
    } else {
      NewMarkup names(doc, *element);
      Splice added =
          AddAttribute(e, names.AttributeName(home->attributeNs, home->attributeLocal), *text);
      added.bytes.insert(0, names.Declarations());
      edit.splices.push_back(std::move(added));
    }
  }

  std::vector<PartChange> changes;
  std::vector<std::pair<Part*, XmlDocument>> rescanned;
  for (auto& [role, edit] : edits) {
    Part& part = *Find(role);
    for (const auto& n : edit.newElements) {
      edit.splices.push_back(
          AppendToContainer(part, ElementMarkup(part, n.ns, n.local, n.attributeNs, n.attributes,
                                                std::nullopt, Form::kInteger)));
    }
    std::string changed = ApplySplices(*part.bytes, std::move(edit.splices));
    if (changed == *part.bytes) continue;
    // What we write we check as strictly as what we read.
    XmlDocument doc;
    if (Status s = ScanXml(changed, doc); !s.ok()) {
      return {E_FAIL, part.name + ": the changed part would not be well-formed: " + s.text()};
    }
    changes.push_back({part.name, changed});
    rescanned.emplace_back(&part, std::move(doc));
  }
  if (changes.empty()) return {};
  if (Status s = parts_.Write(changes); !s.ok()) return s;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    Part& part = *rescanned[i].first;
    part.bytes = std::move(changes[i].content);
    part.doc = std::move(rescanned[i].second);
    part.container = ContainerOf(part.role, part.doc);
  }
  return {};
}

}  // namespace tavrin::storage::package
