#pragma once
// A property-set stream (the bytes of "\005SummaryInformation" or
// "\005DocumentSummaryInformation"): parsed leniently, read as PROPVARIANTs,
// and written back by replacing only the properties whose value changed.
//
// The parsed stream keeps the stream's bytes. Every property is a (PROPID,
// type tag, bytes, offset) entry of its section, in stored order, and a write
// is a splice of those bytes: a changed property's old bytes are replaced by
// its new ones, everything after moves, and only the fields that locate
// things (section offsets in the header, section sizes, property offsets)
// are recomputed. So every byte nobody changed is written back as it was:
// the code page, the locale, a dictionary, types we do not take apart, the
// user-defined section, gaps and trailing bytes.
//
// The promise a write keeps: a value that equals what the read handed out for
// that property keeps the property's original bytes. A lossy conversion to
// CP932 therefore never damages a property nobody changed, and writing back
// everything as read reproduces the stream byte for byte.
//
// Reading is lenient where real files need it (see Parse); writing is strict:
// a stream with any property we could not read is never written.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HResult.h"
#include "platform/storage/Guid.h"
#include "platform/storage/PropVariant.h"

namespace tavrin::storage {

inline constexpr FMTID FMTID_SummaryInformation{
    0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
inline constexpr FMTID FMTID_DocSummaryInformation{
    0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
inline constexpr FMTID FMTID_UserDefinedProperties{
    0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};

struct Property {
  PROPID id = 0;
  std::uint32_t offset = 0;    // as stored: from the start of its section
  std::uint64_t position = 0;  // from the start of the stream
  VARTYPE type = VT_EMPTY;     // the stored tag (meaningless for a dictionary)
  // Bytes from `position` to where the next property, the next section or
  // the section's end begins: the value with its padding and any gap.
  std::uint64_t slotSize = 0;
  // Bytes of the typed value, tag included, padding excluded; 0 when the
  // type is one we only carry, and for PROPID 0.
  std::uint64_t valueSize = 0;
  // Bytes from `position` that what a read hands out depends on: at least the
  // type tag and the value. More than `slotSize` only when the value reads
  // bytes that something else points at (damaged or hostile sets); 0 for
  // PROPID 0, which is never read.
  std::uint64_t reach = 0;
  // S_OK, or why this property cannot be read (its offset or a length in it
  // reaches past its section).
  HRESULT status = S_OK;
  // What a read hands out for this property.
  PROPVARIANT value;
};

struct Section {
  FMTID fmtid;
  std::uint32_t offset = 0;        // from the start of the stream
  std::uint32_t declaredSize = 0;  // as stored
  std::uint64_t size = 0;          // declaredSize, cut at the end of the stream
  unsigned codePage = 0;           // for strings: declared, or the assumed one
  bool declaresCodePage = false;
  std::vector<Property> properties;  // in stored order
};

class PropertySetStream {
 public:
  // Parses a whole stream. Fails with STG_E_INVALIDHEADER when the header or
  // a section's table cannot be read; a property whose value cannot be read
  // does not fail the parse but keeps its error in Property::status.
  //
  // Lenient, as real files need: a zero-byte stream is a set with no
  // sections; zero sections and empty sections are fine; a section size
  // running past the end of the stream is cut there; offsets need no
  // alignment; 16-bit values need no padding; vectors may be packed; PROPID 0
  // is carried as bytes whatever it holds, dictionary or not, in any section.
  static HRESULT Parse(std::string stream, PropertySetStream& out);

  bool IsEmptyStream() const { return bytes_.empty(); }
  std::uint16_t ByteOrder() const { return byteOrder_; }
  std::uint16_t Version() const { return version_; }
  std::uint32_t SystemIdentifier() const { return systemId_; }
  const CLSID& Clsid() const { return clsid_; }
  const std::vector<Section>& Sections() const { return sections_; }
  const std::string& Bytes() const { return bytes_; }
  std::string_view BytesOf(const Property& property) const;

  // S_OK when every property of every section could be read, else the error
  // of the first one that could not: the stream is then never written.
  HRESULT Writable() const;

  // Reads the properties `ids` names from section `section` into `values`
  // (same length): S_OK when any exists, S_FALSE when none does; each missing
  // one is VT_EMPTY with a zero value part. A section the stream lacks reads
  // as empty. PROPID 0 (the dictionary) is never a value and reads as missing.
  // Fails with the property's error when a named property cannot be read, and
  // with STG_E_INVALIDPARAMETER for a PROPSPEC that is not a PROPID; on failure
  // every entry is VT_EMPTY.
  HRESULT ReadMultiple(std::size_t section, std::span<const PROPSPEC> ids,
                       std::span<PROPVARIANT> values) const;

  // Computes in `newStream` the stream that results from writing `values` to
  // the properties `ids` names in section `section`.
  //  - A value equal to what a read hands out keeps the property's bytes.
  //  - A property the section lacks stays absent; VT_EMPTY never adds, never
  //    deletes, and leaves a present property as it is.
  //  - A changed value is taken from the member that belongs to its type tag
  //    (pszVal for VT_LPSTR, lVal for VT_I4 ...), converted from CP932 to the
  //    set's code page for VT_LPSTR, and stored zero-padded to 4 bytes. A
  //    fixed-size value of unchanged type is overwritten where it stands; a
  //    value of another type than the stored one replaces it with that type.
  //  - When `ids` names a PROPID twice, the later value counts.
  // Fails, leaving `newStream` untouched, with Writable()'s error for a stream
  // with a property we could not read; HRESULT_FROM_WIN32(
  // ERROR_NO_UNICODE_TRANSLATION) for text the set's code page cannot hold;
  // STG_E_UNIMPLEMENTEDFUNCTION for a changed value of a type we only carry;
  // STG_E_INVALIDPARAMETER for a PROPSPEC that is not a PROPID, a lengths
  // mismatch, or a change to PROPID 0 or to the code page; STG_E_INVALIDHEADER
  // when the changed property overlaps something: it reads bytes that are
  // not its own (past its slot into another property's, or inside a
  // section's size, count and offset table), or another property reads bytes
  // of its slot or of the table of a section holding it. Such a set is
  // malformed, and the change would change a value nobody changed; this is
  // decided before anything is built, and properties clear of any overlap
  // can still change. STG_E_INVALIDHEADER too when a section's declared size,
  // running past the end of the stream, would outgrow its 32-bit field as the
  // stream grows. E_FAIL if the result, parsed again, did not keep every
  // unchanged property's bytes (a fault of ours, never expected).
  HRESULT WriteMultiple(std::size_t section, std::span<const PROPSPEC> ids,
                        std::span<const PROPVARIANT> values, std::string& newStream) const;

 private:
  HRESULT ParseSection(std::size_t index, std::uint64_t headerEnd);
  void MeasureSlots();
  void DecodeProperties();
  const Property* Find(const Section& section, PROPID id) const;

  std::string bytes_;
  std::uint16_t byteOrder_ = 0;
  std::uint16_t version_ = 0;
  std::uint32_t systemId_ = 0;
  CLSID clsid_;
  std::vector<Section> sections_;
};

}  // namespace tavrin::storage
