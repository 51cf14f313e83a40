#include "platform/MemoryReuse.h"

#include <malloc.h>

namespace tavrin {

void KeepFreedMemoryForReuse() {
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 8 << 20);
}

}  // namespace tavrin
