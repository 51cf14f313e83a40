#pragma once
// The result of an engine step: the HRESULT callers see, and for a failure a
// text naming the bad value and what it contradicts, kept for diagnostics.

#include <cstdint>
#include <string>
#include <string_view>
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

// Names what a step reads or walks ("FAT sector 3", "the directory", a
// stream) in the message of its failure. Spelling that out costs more than
// the step itself, so only a failure does it. A Subject refers to its text
// (or to what a describer reads) and must not outlive it.
class Subject {
 public:
  using Describer = std::string (*)(const void* context, std::uint32_t index);

  Subject(const char* text) : text_(text) {}
  Subject(std::string_view text) : text_(text) {}
  Subject(const std::string& text) : text_(text) {}
  // "text index"
  Subject(std::string_view text, std::uint64_t index)
      : text_(text), index_(index), indexed_(true) {}
  // What `describe(context, index)` returns.
  Subject(Describer describe, const void* context, std::uint32_t index)
      : describe_(describe), context_(context), index_(index) {}

  std::string Text() const {
    if (describe_ != nullptr) return describe_(context_, static_cast<std::uint32_t>(index_));
    std::string text(text_);
    if (indexed_) text += " " + std::to_string(index_);
    return text;
  }

 private:
  std::string_view text_;
  Describer describe_ = nullptr;
  const void* context_ = nullptr;
  std::uint64_t index_ = 0;
  bool indexed_ = false;
};

}  // namespace tavrin::storage
