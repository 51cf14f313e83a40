#pragma once
// The Summary and Document Summary Information of a ZIP package, read from
// and written into its XML property parts:
//
//   Office Open XML  the core properties and the extended properties, each
//                    found through the package relationships by its type
//   OpenDocument     meta.xml, office:document-meta/office:meta
//
// Each PROPID has at most one home per format (PackageMapping.cpp). Reads
// give the property sets' usual types: VT_LPSTR in CP932 ("?" for what
// CP932 cannot show), VT_I4, VT_FILETIME, VT_BOOL. A PROPID without a home,
// or whose home the part lacks, reads VT_EMPTY.
//
// A write changes only the text of the elements (or attribute values) whose
// value differs from what a read gives, splicing the new text into the part's
// bytes; a value for a property the part lacks adds its element after the
// container's last child, in the namespace prefix the part binds. A write
// whose values all equal the read changes nothing at all.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/storage/PropVariant.h"
#include "platform/storage/Status.h"
#include "platform/storage/package/PackageParts.h"
#include "platform/storage/package/XmlScan.h"

namespace tavrin::storage::package {

enum class PackageFormat { kOfficeOpenXml, kOpenDocument };
enum class PropertySetKind { kSummary, kDocSummary };

// Where a part lives in the package, and the roles it plays.
enum class PartRole { kCore, kExtended, kMeta };

class PackageProperties {
 public:
  // Finds and scans the property parts of `parts`. A package that is neither
  // format gives STG_E_FILEALREADYEXISTS (not a document this program
  // knows); a part that cannot be read safely, TAVRIN_E_BADPACKAGE.
  static Status Open(PackageParts& parts, std::unique_ptr<PackageProperties>& out);

  PackageFormat format() const { return format_; }
  // Whether any part that holds properties of `set` is there.
  bool HasSet(PropertySetKind set) const;

  // S_OK whenever a part of the set is there, even with none of the named
  // properties in it: unlike a compound file's set, a package's takes new
  // properties, so a set with none must still be offered for writing.
  // S_FALSE only when no part of the set is there.
  HRESULT ReadMultiple(PropertySetKind set, std::span<const PROPSPEC> specs,
                       std::span<PROPVARIANT> values) const;
  // TAVRIN_E_NOPROPERTYPART for a changed property whose part (or its
  // container element) the package lacks; TAVRIN_E_BADPACKAGE for a part
  // this program can read but not change (not UTF-8). Nothing is written
  // then.
  Status WriteMultiple(PropertySetKind set, std::span<const PROPSPEC> specs,
                       std::span<const PROPVARIANT> values);

  struct Part {
    PartRole role;
    std::string name;
    std::optional<std::string> bytes;  // nothing: the package lacks it
    XmlDocument doc;
    std::optional<std::size_t> container;  // the element the properties are children of
  };

 private:
  PackageProperties(PackageParts& parts, PackageFormat format) : parts_(parts), format_(format) {}
  Status AddPart(PartRole role, std::string name);
  Part* Find(PartRole role);
  const Part* Find(PartRole role) const;

  PackageParts& parts_;
  PackageFormat format_;
  std::vector<Part> held_;
};

}  // namespace tavrin::storage::package
