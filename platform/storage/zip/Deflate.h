#pragma once
// Raw deflate streams (no zlib or gzip wrapper), as ZIP members hold them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/storage/Status.h"

namespace tavrin::storage::zip {

// Feeds compressed bytes to an inflater a piece at a time, so that a member
// is never held whole in its compressed form.
class Inflater {
 public:
  Inflater();
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Inflates `input` onto `out`, refusing output past `limit` bytes in all
  // with TAVRIN_E_MEMBERTOOLARGE. `ended` once the stream's final block is
  // read; input after it is left unread and reported in `unread`.
  Status Feed(std::string_view input, std::size_t limit, std::string& out, bool& ended,
              std::size_t& unread);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// `content` deflated at `level` and finished.
std::string Deflate(std::string_view content, int level);

// `content` deflated into a stream of exactly `size` bytes, padded with empty
// blocks inside the stream, or false when no level tried fits.
bool DeflateToSize(std::string_view content, std::size_t size, std::string& stream);

// Inflates a whole stream in memory: for checking our own output.
bool InflatesTo(std::string_view stream, std::string_view content);

}  // namespace tavrin::storage::zip
