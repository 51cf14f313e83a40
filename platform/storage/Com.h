#pragma once
// The structured-storage services the program is written against, in the
// shape of the platform's COM interfaces: HRESULT results, reference-counted
// interfaces obtained through out-parameters and released with Release().
// Behind them are our compound-file engine and property-set codec.
//
// Callers hold interfaces in ComPtr, which releases what it holds; the
// objects delete themselves when their last reference goes, as COM objects do.
//
// File names are the system's own path bytes: on this platform there is no
// wide-character file API to feed, and a conversion could not be undone for
// every name.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/HResult.h"
#include "platform/storage/Guid.h"

namespace tavrin::storage {
class File;
}
#include "platform/storage/PropVariant.h"

namespace tavrin {

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;

inline constexpr DWORD STGM_READ = 0x0;
inline constexpr DWORD STGM_WRITE = 0x1;
inline constexpr DWORD STGM_READWRITE = 0x2;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x10;
inline constexpr DWORD STGM_TRANSACTED = 0x10000;

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStorage{0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPropertySetStorage{
    0x0000013A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPropertyStorage{
    0x00000138, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

class IStorage : public IUnknown {
 public:
  static constexpr const IID& kIid = IID_IStorage;
};

class IPropertyStorage : public IUnknown {
 public:
  static constexpr const IID& kIid = IID_IPropertyStorage;
  // S_OK when any of the named properties exists, S_FALSE when none does;
  // each missing one is VT_EMPTY with a zero value part.
  virtual HRESULT ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[], PROPVARIANT rgpropvar[]) = 0;
  // Replaces the named properties the set has (a compound file's property
  // that reads as VT_EMPTY is left as it is); the change is in the file
  // when this returns S_OK, and a failure to put it there is the result:
  // STG_E_ACCESSDENIED only when the file's folder may not be written.
  virtual HRESULT WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                const PROPVARIANT rgpropvar[], PROPID propidNameFirst) = 0;
  // Whether WriteMultiple adds the property `propid` when the set lacks it
  // and is given a value for it. A package's parts hold an absent value as
  // an absent element, and take a new one where the format has a home for
  // it; a compound file's set keeps the properties it has, and leaves the
  // others absent.
  virtual bool TakesNewProperty(PROPID propid) const = 0;
};

class IPropertySetStorage : public IUnknown {
 public:
  static constexpr const IID& kIid = IID_IPropertySetStorage;
  // Opens an existing set; a set the file lacks gives STG_E_FILENOTFOUND
  // and is never created.
  virtual HRESULT Open(const FMTID& rfmtid, DWORD grfMode, IPropertyStorage** ppprstg) = 0;
};

// Opens a compound file for reading and writing with exclusive use (the only
// mode offered: grfMode must be STGM_READWRITE | STGM_SHARE_EXCLUSIVE).
// TAVRIN_S_ROLLEDBACK, a success, when an unfinished change was rolled back
// first, by this open or by the first use of an open made ahead.
HRESULT StgOpenStorage(const char* nativePath, IStorage* pstgPriority, DWORD grfMode,
                       void* snbExclude, DWORD reserved, IStorage** ppstgOpen);

// While a scope lives on this thread, the compound file behind the last
// storage released is kept open, lock and all, and the next StgOpenStorage
// of the same path on this thread takes it back instead of opening the file
// and reading its structures again. A command that opens one document for
// each of its two property sets, one after the other, touches the file once
// this way. A file whose write failed is never kept. The scope's end closes
// the file, so nothing is held past the command.
class StorageReuseScope {
 public:
  StorageReuseScope();
  ~StorageReuseScope();
  StorageReuseScope(const StorageReuseScope&) = delete;
  StorageReuseScope& operator=(const StorageReuseScope&) = delete;

  struct Kept;

 private:
  std::unique_ptr<Kept> kept_;
  Kept* outerKept_;
};

// Within a scope, opens `nativePath` as StgOpenStorage would (read-write,
// locked for exclusive use, a leftover journal not yet looked at: the
// StgOpenStorage that takes the open rolls it back, and says so) and keeps
// the open for the next StgOpenStorage of that path, so that a command which
// reads a document's file times first still opens it once. Asked again for
// the same path, it gives the same open. The file it gives stays valid until
// that StgOpenStorage or the scope's end. Null when
// no scope lives on this thread or the file cannot be opened so (read-only,
// no regular file, in use, missing ...): the caller then opens it its own
// way, and the StgOpenStorage that follows says why it cannot.
const storage::File* OpenStorageAhead(const char* nativePath);

// Per-thread initialisation of the services: S_OK the first time on a
// thread, S_FALSE when already initialised; each call wants one
// CoUninitialize.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// How many CoInitialize calls of this thread are not yet matched.
int CoInitializeDepth();

// Holds one reference to an interface and releases it.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For an out-parameter; whatever was held is released first.
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  // Asks the held object for another interface.
  template <typename U>
  HRESULT As(ComPtr<U>& out) const {
    return p_->QueryInterface(U::kIid, reinterpret_cast<void**>(out.Put()));
  }

 private:
  T* p_ = nullptr;
};

}  // namespace tavrin
