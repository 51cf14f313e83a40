#include "platform/WritePolicy.h"

namespace tavrin {
namespace {

const WritePolicy kWriteFreely;
thread_local const WritePolicy* active = &kWriteFreely;

}  // namespace

WritePolicyScope::WritePolicyScope(const WritePolicy& policy) : outer_(active) {
  active = &policy;
}

WritePolicyScope::~WritePolicyScope() {
  active = outer_;
}

const WritePolicy& ActiveWritePolicy() {
  return *active;
}

HRESULT MayWrite(const std::string& path) {
  const WritePolicy& policy = *active;
  if (policy.rehearsal) return S_FALSE;
  return policy.beforeWrite ? policy.beforeWrite(path) : S_OK;
}

}  // namespace tavrin
