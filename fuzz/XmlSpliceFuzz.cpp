// The scan and splices of package property parts: for any part the scan
// takes, a new text spliced into a leaf element (or one of its attributes)
// gives a part that scans again, whose element reads exactly the new text,
// and whose bytes outside the replaced range are the old ones.
//
// Input: an element choice, an attribute choice, a counted text whose bytes
// pick characters (markup, quotes, line ends, multibyte ones), then the part.

#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/storage/package/XmlScan.h"
#include "platform/storage/package/XmlSplice.h"

namespace tavrin {
namespace {

using namespace storage::package;

std::string NewText(const std::string& choices) {
  static const char* const kPieces[] = {
      "a",    "&",  "<", ">",   "\"",    "'",        "\r",           "\n",
      "\r\n", "\t", " ", "]]>", "&amp;", "\xC3\xA9", "\xE6\x97\xA5", "x:y"};
  std::string text;
  for (char c : choices) {
    text += kPieces[static_cast<unsigned char>(c) % (sizeof kPieces / sizeof kPieces[0])];
  }
  return text;
}

void CheckSplice(std::string_view part, const Splice& splice, std::size_t index,
                 const XmlAttribute* attribute, const std::string& text) {
  std::string changed = ApplySplices(part, {splice});
  FUZZ_CHECK(changed.compare(0, splice.range.begin, part, 0, splice.range.begin) == 0);
  std::size_t tail = part.size() - splice.range.end;
  FUZZ_CHECK(changed.size() >= tail);
  FUZZ_CHECK(changed.compare(changed.size() - tail, tail, part, splice.range.end, tail) == 0);
  XmlDocument after;
  FUZZ_CHECK(ScanXml(changed, after).ok());
  XmlDocument before;
  FUZZ_CHECK(ScanXml(part, before).ok());
  FUZZ_CHECK(after.elements.size() == before.elements.size());
  const XmlElement& e = after.elements[index];
  FUZZ_CHECK(e.qname == before.elements[index].qname);
  if (attribute == nullptr) {
    FUZZ_CHECK(e.text == text);
    return;
  }
  const XmlAttribute* now = e.Attribute(attribute->ns, attribute->local);
  FUZZ_CHECK(now != nullptr);
  FUZZ_CHECK(now->text == text);
}

}  // namespace
}  // namespace tavrin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrin;
  fuzz::Input input(data, size);
  const std::uint8_t elementChoice = input.Byte();
  const std::uint8_t attributeChoice = input.Byte();
  const std::string text = NewText(input.ShortText(64));
  const std::string part = input.Rest();
  storage::package::XmlDocument doc;
  if (!storage::package::ScanXml(part, doc).ok() || !doc.utf8 || doc.elements.empty()) return 0;
  const std::size_t index = elementChoice % doc.elements.size();
  const storage::package::XmlElement& element = doc.elements[index];
  // Only a leaf's text is ever replaced: a property element has no children.
  if (!element.hasChildren) {
    CheckSplice(part, storage::package::SetElementText(element, text), index, nullptr, text);
  }
  if (!element.attributes.empty()) {
    const auto& attribute = element.attributes[attributeChoice % element.attributes.size()];
    CheckSplice(part, storage::package::SetAttributeText(attribute, text), index, &attribute, text);
  }
  return 0;
}
