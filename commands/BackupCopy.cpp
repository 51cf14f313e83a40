#include "commands/BackupCopy.h"

#include <fcntl.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "platform/FileTimes.h"
#include "platform/storage/File.h"

namespace tavrin {
namespace {

// Closes its descriptor on every way out.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) storage::ActiveSystemCalls().Close(fd);
  }
};

HRESULT LastError() {
  return errno == EEXIST ? STG_E_FILEALREADYEXISTS : HResultFromErrno(errno);
}

HRESULT CopyInto(int from, int to, const struct statx& status) {
  storage::SystemCalls& calls = storage::ActiveSystemCalls();
  std::vector<char> buffer(1 << 16);
  for (off_t offset = 0;;) {
    const ssize_t got = calls.ReadAt(from, buffer.data(), buffer.size(), offset);
    if (got < 0) return LastError();
    if (got == 0) break;
    for (ssize_t put = 0; put < got;) {
      const ssize_t wrote =
          calls.WriteAt(to, buffer.data() + put, static_cast<std::size_t>(got - put), offset + put);
      if (wrote < 0) return LastError();
      put += wrote;
    }
    offset += got;
  }
  // The copy is whole on disk before the original changes.
  if (calls.Sync(to) != 0) return LastError();
  const struct timespec times[2] = {{status.stx_atime.tv_sec, status.stx_atime.tv_nsec},
                                    {status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec}};
  if (calls.SetTimes(to, times) != 0) return LastError();
  return S_OK;
}

}  // namespace

HRESULT MakeBackupCopy(const std::string& path, const std::string& backup,
                       const struct statx* timesFrom) {
  storage::SystemCalls& calls = storage::ActiveSystemCalls();
  Descriptor from;
  from.fd = calls.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
  if (from.fd < 0) return LastError();
  struct statx status {};
  if (calls.Stat(from.fd, status) != 0) return LastError();
  Descriptor to;
  to.fd = calls.Open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                     status.stx_mode & 07777);
  if (to.fd < 0) return LastError();
  HRESULT hr = CopyInto(from.fd, to.fd, timesFrom != nullptr ? *timesFrom : status);
  if (FAILED(hr)) {
    calls.Close(std::exchange(to.fd, -1));
    calls.Unlink(backup.c_str());
  }
  return hr;
}

}  // namespace tavrin
