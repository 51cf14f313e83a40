#pragma once
// The result of an engine step: the HRESULT callers see, and for a failure a
// text naming the bad value and what it contradicts, kept for diagnostics.

#include <string>
#include <utility>

#include "platform/HResult.h"

namespace tavrin::storage {

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(HRESULT code, std::string text) : code_(code), text_(std::move(text)) {}

  static Status Corrupt(std::string text) { return {STG_E_DOCFILECORRUPT, std::move(text)}; }

  bool ok() const { return SUCCEEDED(code_); }
  HRESULT code() const { return code_; }
  const std::string& text() const { return text_; }

 private:
  HRESULT code_ = S_OK;
  std::string text_;
};

}  // namespace tavrin::storage
