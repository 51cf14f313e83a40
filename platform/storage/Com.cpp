#include "platform/storage/Com.h"

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WritePolicy.h"
#include "platform/storage/CompoundFile.h"
#include "platform/storage/File.h"
#include "platform/storage/Journal.h"
#include "platform/storage/PropertySet.h"
#include "platform/storage/package/PackageStorage.h"

namespace tavrin {

// At most one document is held, opened ahead or kept after use.
struct StorageReuseScope::Kept {
  std::string path;
  std::unique_ptr<storage::File> ahead;
  std::unique_ptr<storage::CompoundFile> file;
};

namespace {

thread_local int coInitializeDepth = 0;
// The innermost live scope of this thread, or null.
thread_local StorageReuseScope::Kept* reuseScope = nullptr;

// Called as a storage goes: the file is closed unless a scope keeps it.
void Keep(std::string path, std::unique_ptr<storage::CompoundFile> file) {
  if (reuseScope == nullptr || file == nullptr || !file->usable()) return;
  reuseScope->ahead.reset();
  reuseScope->file = std::move(file);  // closes whatever was kept before
  reuseScope->path = std::move(path);
}

// The compound file of `path`: the one the scope kept, else one made from
// the scope's open ahead of time, else null; the scope gives up what it held.
HRESULT TakeKept(std::string_view path, std::unique_ptr<storage::CompoundFile>& out) {
  if (reuseScope == nullptr || reuseScope->path != path) return S_OK;
  if (reuseScope->file != nullptr) {
    out = std::move(reuseScope->file);
    return S_OK;
  }
  if (reuseScope->ahead != nullptr) {
    return storage::CompoundFile::Open(std::move(reuseScope->ahead), out);
  }
  return S_OK;
}

// The stream that holds a property set. Only the standard sets are offered:
// they are the only ones this program opens.
std::optional<std::u16string_view> PropertySetStreamName(const FMTID& fmtid) {
  if (fmtid == storage::FMTID_SummaryInformation) return u"\x0005SummaryInformation";
  // The user-defined set is the second section of the same stream.
  if (fmtid == storage::FMTID_DocSummaryInformation ||
      fmtid == storage::FMTID_UserDefinedProperties) {
    return u"\x0005"
           u"DocumentSummaryInformation";
  }
  return std::nullopt;
}

class Storage;

class PropertyStorage final : public IPropertyStorage {
 public:
  PropertyStorage(Storage& owner, std::uint32_t entry, storage::PropertySetStream parsed,
                  std::size_t section);
  ~PropertyStorage() override;

  HRESULT QueryInterface(const IID& riid, void** ppvObject) override;
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;
  HRESULT ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[], PROPVARIANT rgpropvar[]) override;
  HRESULT WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[], const PROPVARIANT rgpropvar[],
                        PROPID propidNameFirst) override;
  bool TakesNewProperty(PROPID) const override { return false; }

 private:
  Storage& owner_;
  std::uint32_t entry_;
  storage::PropertySetStream parsed_;
  std::size_t section_;
  std::atomic<ULONG> refs_{1};
};

// One open compound file, answering as the storage and as its property-set
// storage. It keeps the file (and its lock) while any interface lives.
class Storage final : public IStorage, public IPropertySetStorage {
 public:
  Storage(std::string path, std::unique_ptr<storage::CompoundFile> file)
      : path_(std::move(path)), file_(std::move(file)) {}

  HRESULT QueryInterface(const IID& riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IStorage) {
      *ppvObject = static_cast<IStorage*>(this);
    } else if (riid == IID_IPropertySetStorage) {
      *ppvObject = static_cast<IPropertySetStorage*>(this);
    } else {
      *ppvObject = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      Keep(std::move(path_), std::move(file_));
      delete this;
    }
    return left;
  }

  HRESULT Open(const FMTID& rfmtid, DWORD grfMode, IPropertyStorage** ppprstg) override {
    if (ppprstg == nullptr) return STG_E_INVALIDPOINTER;
    *ppprstg = nullptr;
    if (grfMode != (STGM_READWRITE | STGM_SHARE_EXCLUSIVE)) return STG_E_INVALIDFLAG;
    std::optional<std::u16string_view> name = PropertySetStreamName(rfmtid);
    if (!name) return STG_E_FILENOTFOUND;
    std::optional<std::uint32_t> entry;
    if (HRESULT hr = file_->FindRootStream(*name, entry); FAILED(hr)) return hr;
    if (!entry) return STG_E_FILENOTFOUND;
    std::string bytes;
    if (HRESULT hr = file_->ReadStream(*entry, bytes); FAILED(hr)) return hr;
    storage::PropertySetStream parsed;
    if (HRESULT hr = storage::PropertySetStream::Parse(std::move(bytes), parsed); FAILED(hr)) {
      return hr;
    }
    std::size_t section = SectionOf(parsed, rfmtid);
    // COM objects own themselves: the last Release deletes them.
    *ppprstg = new PropertyStorage(*this, *entry, std::move(parsed), section);
    return S_OK;
  }

  storage::CompoundFile& File() { return *file_; }
  const std::string& Path() const { return path_; }

 private:
  ~Storage() override = default;

  // The section of the set asked for. A stream whose first section carries
  // another identifier was still found under the set's own name, so that
  // section is taken as the set; only the user-defined set lives second.
  static std::size_t SectionOf(const storage::PropertySetStream& parsed, const FMTID& fmtid) {
    const auto& sections = parsed.Sections();
    for (std::size_t i = 0; i < sections.size(); ++i) {
      if (sections[i].fmtid == fmtid) return i;
    }
    return fmtid == storage::FMTID_UserDefinedProperties ? 1 : 0;
  }

  std::string path_;
  std::unique_ptr<storage::CompoundFile> file_;
  std::atomic<ULONG> refs_{1};
};

PropertyStorage::PropertyStorage(Storage& owner, std::uint32_t entry,
                                 storage::PropertySetStream parsed, std::size_t section)
    : owner_(owner), entry_(entry), parsed_(std::move(parsed)), section_(section) {
  static_cast<IStorage&>(owner_).AddRef();
}

PropertyStorage::~PropertyStorage() {
  static_cast<IStorage&>(owner_).Release();
}

HRESULT PropertyStorage::QueryInterface(const IID& riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IPropertyStorage) {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  *ppvObject = static_cast<IPropertyStorage*>(this);
  AddRef();
  return S_OK;
}

ULONG PropertyStorage::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT PropertyStorage::ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                      PROPVARIANT rgpropvar[]) {
  if (cpspec == 0) return S_FALSE;
  if (rgpspec == nullptr || rgpropvar == nullptr) return STG_E_INVALIDPOINTER;
  return parsed_.ReadMultiple(section_, std::span(rgpspec, cpspec), std::span(rgpropvar, cpspec));
}

HRESULT PropertyStorage::WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                       const PROPVARIANT rgpropvar[], PROPID propidNameFirst) {
  if (cpspec == 0) return S_OK;
  if (rgpspec == nullptr || rgpropvar == nullptr) return STG_E_INVALIDPOINTER;
  if (propidNameFirst < 2 || propidNameFirst >= PID_LOCALE) return STG_E_INVALIDPARAMETER;
  // A property that reads as VT_EMPTY, absent or stored so, keeps what it
  // has: the writes offer a typed value for each such row, which only a
  // package's set takes.
  std::vector<PROPVARIANT> current(cpspec);
  if (HRESULT hr = parsed_.ReadMultiple(section_, std::span(rgpspec, cpspec), current);
      FAILED(hr)) {
    return hr;
  }
  std::vector<PROPVARIANT> values(rgpropvar, rgpropvar + cpspec);
  for (ULONG i = 0; i < cpspec; ++i) {
    if (current[i].vt == VT_EMPTY) values[i] = PROPVARIANT{};
  }
  std::string changed;
  HRESULT hr = parsed_.WriteMultiple(section_, std::span(rgpspec, cpspec), values, changed);
  if (FAILED(hr)) return hr;
  // Writing back what is there already leaves the file untouched.
  if (changed == parsed_.Bytes()) return S_OK;
  // A rehearsal has made every check by now.
  if (hr = MayWrite(owner_.Path()); hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
  if (hr = owner_.File().ReplaceStream(entry_, changed); FAILED(hr)) return hr;
  // Later reads see what was written; what we wrote we can always read.
  return storage::PropertySetStream::Parse(std::move(changed), parsed_);
}

}  // namespace

HRESULT StgOpenStorage(const char* nativePath, IStorage* pstgPriority, DWORD grfMode,
                       void* snbExclude, DWORD reserved, IStorage** ppstgOpen) {
  if (ppstgOpen == nullptr) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (nativePath == nullptr) return STG_E_INVALIDNAME;
  if (pstgPriority != nullptr || snbExclude != nullptr || reserved != 0) {
    return STG_E_INVALIDPARAMETER;
  }
  if (grfMode != (STGM_READWRITE | STGM_SHARE_EXCLUSIVE)) return STG_E_INVALIDFLAG;
  // A package opened ahead is taken as it is: only compound files are kept.
  std::unique_ptr<storage::File> raw;
  if (reuseScope != nullptr && reuseScope->path == nativePath && reuseScope->ahead != nullptr &&
      reuseScope->file == nullptr && storage::package::LooksLikePackage(*reuseScope->ahead)) {
    raw = std::move(reuseScope->ahead);
  }
  std::unique_ptr<storage::CompoundFile> file;
  HRESULT hr = S_OK;
  if (raw == nullptr) hr = TakeKept(nativePath, file);
  if (FAILED(hr)) return hr;
  if (file == nullptr && raw == nullptr) {
    if (storage::Status opened = storage::File::Open(nativePath, raw); !opened.ok()) {
      return opened.code();
    }
  }
  if (raw != nullptr) {
    // Told apart before any journal is looked at: neither engine's change
    // ever writes a file's first bytes, so a cut-off one cannot mislead this.
    if (storage::package::LooksLikePackage(*raw)) {
      const storage::Status recovered = storage::RecoverDocument(*raw);
      if (!recovered.ok()) return recovered.code();
      hr = storage::package::OpenPackageStorage(nativePath, std::move(raw), ppstgOpen);
      return FAILED(hr) ? hr : recovered.code();
    }
    hr = storage::CompoundFile::Open(std::move(raw), file);
    if (FAILED(hr)) return hr;
  }
  *ppstgOpen = new Storage(nativePath, std::move(file));
  // TAVRIN_S_ROLLEDBACK, from the open of this file or of the one made
  // ahead, is passed on: the first storage of the file says it.
  return hr;
}

const storage::File* OpenStorageAhead(const char* nativePath) {
  if (reuseScope == nullptr) return nullptr;
  if (reuseScope->ahead != nullptr && reuseScope->path == nativePath) {
    return reuseScope->ahead.get();
  }
  // Whatever the scope held goes first: two documents are never held at once.
  reuseScope->file.reset();
  reuseScope->ahead.reset();
  std::unique_ptr<storage::File> file;
  if (!storage::File::Open(nativePath, file).ok()) return nullptr;
  reuseScope->path = nativePath;
  reuseScope->ahead = std::move(file);
  return reuseScope->ahead.get();
}

StorageReuseScope::StorageReuseScope()
    : kept_(std::make_unique<Kept>()), outerKept_(std::exchange(reuseScope, kept_.get())) {}

StorageReuseScope::~StorageReuseScope() {
  reuseScope = outerKept_;
}

HRESULT CoInitialize(void*) {
  return coInitializeDepth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (coInitializeDepth > 0) --coInitializeDepth;
}

int CoInitializeDepth() {
  return coInitializeDepth;
}

}  // namespace tavrin
