#pragma once
// Office Open XML and OpenDocument files behind the same storage interfaces
// as compound files: StgOpenStorage hands out this storage for a file that
// begins as a ZIP archive does, and its property-set storage opens the
// Summary and Document Summary Information over the package's XML parts
// (PackageProperties.h). The user-defined set has no home in a package.

#include <memory>
#include <string>

#include "platform/storage/Com.h"
#include "platform/storage/File.h"

namespace tavrin::storage::package {

// True when `file` begins with a ZIP local header or end record.
bool LooksLikePackage(const File& file);

// The storage of the package in `file`, which is open, locked and recovered
// from any journal. Codes of the archive (TAVRIN_E_BADPACKAGE,
// TAVRIN_E_UNSUPPORTEDPACKAGE, TAVRIN_E_MEMBERTOOLARGE), of its property
// parts (TAVRIN_E_BADPACKAGE), and STG_E_FILEALREADYEXISTS for an archive
// that is no document package. `path` is the name the caller gave.
HRESULT OpenPackageStorage(std::string path, std::unique_ptr<File> file, IStorage** out);

}  // namespace tavrin::storage::package
