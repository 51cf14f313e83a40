#pragma once
// A copy of a file made before it is first written, so that an
// administrator's run can be undone file by file.

#include <string>

#include <sys/stat.h>

#include "platform/HResult.h"

namespace tavrin {

// Copies `path` to the new file `backup`: its bytes, its permission bits
// and its last-access and last-write times to the nanosecond. An existing
// `backup` is never replaced: STG_E_FILEALREADYEXISTS. Any other failure is
// the failing call's error, and a copy left part way is removed. Every call
// goes through the storage engine's SystemCalls. The times are those of
// `timesFrom` when given: the file's status taken before this run read it.
HRESULT MakeBackupCopy(const std::string& path, const std::string& backup,
                       const struct statx* timesFrom = nullptr);

}  // namespace tavrin
