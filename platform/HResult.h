#pragma once
// Result codes of the storage layer, with the values the platform gives them.

#include <cstdint>

namespace tavrin {

using HRESULT = std::int32_t;

constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

constexpr HRESULT MakeHResult(std::uint32_t bits) {
  return static_cast<HRESULT>(bits);
}
// A Win32 error code as an HRESULT of the Win32 facility.
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t error) {
  return error == 0 ? 0 : MakeHResult((error & 0xFFFFu) | 0x80070000u);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHResult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeHResult(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000Eu);

inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHResult(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeHResult(0x80030002u);
inline constexpr HRESULT STG_E_PATHNOTFOUND = MakeHResult(0x80030003u);
inline constexpr HRESULT STG_E_TOOMANYOPENFILES = MakeHResult(0x80030004u);
inline constexpr HRESULT STG_E_ACCESSDENIED = MakeHResult(0x80030005u);
inline constexpr HRESULT STG_E_INVALIDHANDLE = MakeHResult(0x80030006u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeHResult(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = MakeHResult(0x80030009u);
inline constexpr HRESULT STG_E_WRITEFAULT = MakeHResult(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = MakeHResult(0x8003001Eu);
inline constexpr HRESULT STG_E_SHAREVIOLATION = MakeHResult(0x80030020u);
inline constexpr HRESULT STG_E_LOCKVIOLATION = MakeHResult(0x80030021u);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = MakeHResult(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = MakeHResult(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeHResult(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDHEADER = MakeHResult(0x800300FBu);
inline constexpr HRESULT STG_E_INVALIDNAME = MakeHResult(0x800300FCu);
inline constexpr HRESULT STG_E_UNKNOWN = MakeHResult(0x800300FDu);
inline constexpr HRESULT STG_E_UNIMPLEMENTEDFUNCTION = MakeHResult(0x800300FEu);
inline constexpr HRESULT STG_E_INVALIDFLAG = MakeHResult(0x800300FFu);
inline constexpr HRESULT STG_E_REVERTED = MakeHResult(0x80030102u);
inline constexpr HRESULT STG_E_OLDFORMAT = MakeHResult(0x80030104u);
inline constexpr HRESULT STG_E_DOCFILECORRUPT = MakeHResult(0x80030109u);
// This program's own: a journal beside the document that cannot be used to
// restore it, so the document may be half changed. The customer bit (0x2000
// 0000) keeps it apart from every code the platform defines.
inline constexpr HRESULT TAVRIN_E_UNUSABLEJOURNAL = MakeHResult(0xA0040001u);
// This program's own success: the document opened, after a change that a
// crash or a kill left unfinished was rolled back from its journal. The user
// is to be told; everything else treats it as S_OK.
inline constexpr HRESULT TAVRIN_S_ROLLEDBACK = MakeHResult(0x20040002u);
// This program's own, for ZIP packages (Office Open XML, OpenDocument): a
// file that is not a ZIP archive or whose records contradict each other, or
// whose property part is not well-formed XML, declares a document type or
// passes the size limit; a well-formed one using what the engine does not
// change (ZIP64, several disks, encryption, an unknown compression method); a
// member whose content is larger than the reader allows.
inline constexpr HRESULT TAVRIN_E_BADPACKAGE = MakeHResult(0xA0040003u);
inline constexpr HRESULT TAVRIN_E_UNSUPPORTEDPACKAGE = MakeHResult(0xA0040004u);
inline constexpr HRESULT TAVRIN_E_MEMBERTOOLARGE = MakeHResult(0xA0040005u);
// A change to a property whose part the package lacks: creating the part
// would take a relationship and a content type this program does not write.
inline constexpr HRESULT TAVRIN_E_NOPROPERTYPART = MakeHResult(0xA0040006u);

inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_NO_UNICODE_TRANSLATION = 1113;

}  // namespace tavrin
