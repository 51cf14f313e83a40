#include "platform/storage/package/PackageStorage.h"

#include <atomic>

#include "platform/WritePolicy.h"
#include "platform/storage/PropertySet.h"
#include "platform/storage/package/PackageMapping.h"
#include "platform/storage/package/PackageProperties.h"
#include "platform/storage/zip/Archive.h"

namespace tavrin::storage::package {
namespace {

// The parts of a package are the members of its archive.
class ArchiveParts final : public PackageParts {
 public:
  ArchiveParts(const std::string& path, File& file, zip::Archive& archive)
      : path_(path), file_(file), archive_(archive) {}

  Status Read(std::string_view name, std::size_t limit,
              std::optional<std::string>& content) const override {
    content.reset();
    const zip::Member* member = archive_.Find(name);
    if (member == nullptr) return {};
    std::string bytes;
    if (Status s = archive_.Read(*member, limit, bytes); !s.ok()) return s;
    content = std::move(bytes);
    return {};
  }

  Status Write(const std::vector<PartChange>& changes) override {
    std::vector<zip::Archive::Change> members;
    for (const PartChange& change : changes) members.push_back({change.name, change.content});
    // A rehearsal has made every check by now: the new parts are built and
    // scanned.
    if (HRESULT hr = MayWrite(path_); hr != S_OK) {
      return SUCCEEDED(hr) ? Status{} : Status{hr, "the write was refused before it began"};
    }
    return archive_.Write(file_, members);
  }

 private:
  // As the caller named the file: a guard (a backup) works beside that name.
  const std::string& path_;
  File& file_;
  zip::Archive& archive_;
};

class Storage;

class PropertyStorage final : public IPropertyStorage {
 public:
  PropertyStorage(Storage& owner, PropertySetKind set);
  ~PropertyStorage() override;

  HRESULT QueryInterface(const IID& riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IPropertyStorage) {
      *ppvObject = nullptr;
      return E_NOINTERFACE;
    }
    *ppvObject = static_cast<IPropertyStorage*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[], PROPVARIANT rgpropvar[]) override;
  HRESULT WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[], const PROPVARIANT rgpropvar[],
                        PROPID propidNameFirst) override;
  bool TakesNewProperty(PROPID propid) const override;

 private:
  Storage& owner_;
  PropertySetKind set_;
  std::atomic<ULONG> refs_{1};
};

class Storage final : public IStorage, public IPropertySetStorage {
 public:
  Storage(std::string path, std::unique_ptr<File> file, std::unique_ptr<zip::Archive> archive)
      : path_(std::move(path)),
        file_(std::move(file)),
        archive_(std::move(archive)),
        parts_(path_, *file_, *archive_) {}

  Status Load() { return PackageProperties::Open(parts_, properties_); }

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
    if (left == 0) delete this;
    return left;
  }

  HRESULT Open(const FMTID& rfmtid, DWORD grfMode, IPropertyStorage** ppprstg) override {
    if (ppprstg == nullptr) return STG_E_INVALIDPOINTER;
    *ppprstg = nullptr;
    if (grfMode != (STGM_READWRITE | STGM_SHARE_EXCLUSIVE)) return STG_E_INVALIDFLAG;
    PropertySetKind set;
    if (rfmtid == FMTID_SummaryInformation) {
      set = PropertySetKind::kSummary;
    } else if (rfmtid == FMTID_DocSummaryInformation) {
      set = PropertySetKind::kDocSummary;
    } else {
      return STG_E_FILENOTFOUND;
    }
    // As a compound file without the set's stream: the set is never created.
    if (!properties_->HasSet(set)) return STG_E_FILENOTFOUND;
    *ppprstg = new PropertyStorage(*this, set);
    return S_OK;
  }

  PackageProperties& Properties() { return *properties_; }

 private:
  ~Storage() override = default;

  std::string path_;
  std::unique_ptr<File> file_;
  std::unique_ptr<zip::Archive> archive_;
  ArchiveParts parts_;
  std::unique_ptr<PackageProperties> properties_;
  std::atomic<ULONG> refs_{1};
};

PropertyStorage::PropertyStorage(Storage& owner, PropertySetKind set) : owner_(owner), set_(set) {
  static_cast<IStorage&>(owner_).AddRef();
}

PropertyStorage::~PropertyStorage() {
  static_cast<IStorage&>(owner_).Release();
}

HRESULT PropertyStorage::ReadMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                      PROPVARIANT rgpropvar[]) {
  if (cpspec == 0) return S_FALSE;
  if (rgpspec == nullptr || rgpropvar == nullptr) return STG_E_INVALIDPOINTER;
  return owner_.Properties().ReadMultiple(set_, std::span(rgpspec, cpspec),
                                          std::span(rgpropvar, cpspec));
}

bool PropertyStorage::TakesNewProperty(PROPID propid) const {
  return HomeOf(owner_.Properties().format(), set_, propid).has_value();
}

HRESULT PropertyStorage::WriteMultiple(ULONG cpspec, const PROPSPEC rgpspec[],
                                       const PROPVARIANT rgpropvar[], PROPID propidNameFirst) {
  if (cpspec == 0) return S_OK;
  if (rgpspec == nullptr || rgpropvar == nullptr) return STG_E_INVALIDPOINTER;
  if (propidNameFirst < 2 || propidNameFirst >= PID_LOCALE) return STG_E_INVALIDPARAMETER;
  return owner_.Properties()
      .WriteMultiple(set_, std::span(rgpspec, cpspec), std::span(rgpropvar, cpspec))
      .code();
}

}  // namespace

bool LooksLikePackage(const File& file) {
  char head[4];
  std::size_t got = 0;
  if (!file.ReadAt(0, head, sizeof head, got).ok() || got != sizeof head) return false;
  std::string_view signature(head, got);
  return signature == std::string_view("PK\x03\x04", 4) ||
         signature == std::string_view("PK\x05\x06", 4);
}

HRESULT OpenPackageStorage(std::string path, std::unique_ptr<File> file, IStorage** out) {
  *out = nullptr;
  std::unique_ptr<zip::Archive> archive;
  if (Status s = zip::Archive::Open(*file, archive); !s.ok()) return s.code();
  // COM objects own themselves: the last Release deletes them.
  auto* storage = new Storage(std::move(path), std::move(file), std::move(archive));
  if (Status s = storage->Load(); !s.ok()) {
    static_cast<IStorage*>(storage)->Release();
    return s.code();
  }
  *out = static_cast<IStorage*>(storage);
  return S_OK;
}

}  // namespace tavrin::storage::package
