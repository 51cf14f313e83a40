#pragma once
// How the writes made on one thread go while a scope lives. A rehearsal
// runs every check a write makes and stops short of changing the file; a
// guard is asked before the first byte or time of a file changes, and its
// refusal fails that write as the file system's own failure would.

#include <functional>
#include <string>

#include "platform/HResult.h"

namespace tavrin {

struct WritePolicy {
  bool rehearsal = false;
  // Given the file's path; S_OK lets the write go on.
  std::function<HRESULT(const std::string& path)> beforeWrite;
};

// Puts `policy` in force on this thread for the life of this object.
class WritePolicyScope {
 public:
  explicit WritePolicyScope(const WritePolicy& policy);
  ~WritePolicyScope();
  WritePolicyScope(const WritePolicyScope&) = delete;
  WritePolicyScope& operator=(const WritePolicyScope&) = delete;

 private:
  const WritePolicy* outer_;
};

// The policy in force on this thread: one that writes and asks nothing when
// no scope lives.
const WritePolicy& ActiveWritePolicy();

// What a write should do next under the active policy: S_FALSE to stop
// without writing (a rehearsal), the guard's refusal, or S_OK.
HRESULT MayWrite(const std::string& path);

}  // namespace tavrin
