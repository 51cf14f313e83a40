#include "platform/storage/zip/Archive.h"

namespace tavrin::storage::zip {

Status Archive::Open(const File&, std::unique_ptr<Archive>&) {
  return {TAVRIN_E_UNSUPPORTEDPACKAGE, "not yet"};
}

}  // namespace tavrin::storage::zip
