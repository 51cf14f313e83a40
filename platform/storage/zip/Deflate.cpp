#include "platform/storage/zip/Deflate.h"

#include <zlib.h>

#include <array>

namespace tavrin::storage::zip {

namespace {

// Raw deflate: no zlib header or trailer.
constexpr int kRawWindow = -15;
constexpr std::size_t kChunk = 64 << 10;

// Bits of a deflate stream, least significant first, as the format packs
// them.
class BitWriter {
 public:
  explicit BitWriter(std::string& out) : out_(out) {}
  void Put(unsigned value, int count) {
    for (int i = 0; i < count; ++i) {
      if (used_ == 0) out_.push_back('\0');
      if ((value >> i) & 1u) out_.back() = static_cast<char>(out_.back() | (1 << used_));
      used_ = (used_ + 1) % 8;
    }
  }
  void Align() { used_ = 0; }

 private:
  std::string& out_;
  int used_ = 0;
};

// An empty block of fixed codes: its header and the end-of-block code, all
// zero bits but BFINAL and the block type. Ten bits.
void EmptyFixedBlock(BitWriter& bits, bool final) {
  bits.Put(final ? 1 : 0, 1);
  bits.Put(1, 2);
  bits.Put(0, 7);
}

// An empty stored block: header, padding to the byte, LEN 0 and NLEN 0xFFFF.
void EmptyStoredBlock(BitWriter& bits, bool final) {
  bits.Put(final ? 1 : 0, 1);
  bits.Put(0, 2);
  bits.Align();
  bits.Put(0, 16);
  bits.Put(0xFFFF, 16);
}

// Exactly `count` (at least 2) bytes of empty blocks, the last one final, to
// follow a stream that ends on a byte boundary without a final block. Five
// bytes per stored block, and the remainder of 2 to 6 from ten-bit fixed
// blocks before a final one.
std::string Padding(std::size_t count) {
  std::string out;
  BitWriter bits(out);
  const std::size_t stored = (count - 2) / 5;
  for (std::size_t i = 0; i < stored; ++i) EmptyStoredBlock(bits, false);
  switch (count - 5 * stored) {
    case 2:
      EmptyFixedBlock(bits, true);
      break;
    case 3:
      EmptyFixedBlock(bits, false);
      EmptyFixedBlock(bits, true);
      break;
    case 4:
      EmptyFixedBlock(bits, false);
      EmptyFixedBlock(bits, false);
      EmptyFixedBlock(bits, true);
      break;
    case 5:
      EmptyStoredBlock(bits, true);
      break;
    default:  // 6
      EmptyFixedBlock(bits, false);
      EmptyStoredBlock(bits, true);
      break;
  }
  return out;
}

// `content` deflated at `level` with `strategy`, flushed to a byte boundary
// but not finished when `finish` is false.
std::string Compress(std::string_view content, int level, int strategy, bool finish) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, kRawWindow, 9, strategy) != Z_OK) return {};
  std::string out;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  const int flush = finish ? Z_FINISH : Z_SYNC_FLUSH;
  std::array<char, kChunk> buffer;
  int result = Z_OK;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    stream.avail_out = static_cast<uInt>(buffer.size());
    result = deflate(&stream, flush);
    out.append(buffer.data(), buffer.size() - stream.avail_out);
  } while (finish ? result == Z_OK : stream.avail_out == 0);
  deflateEnd(&stream);
  return out;
}

}  // namespace

struct Inflater::State {
  z_stream stream{};
  bool ready = false;
};

Inflater::Inflater() : state_(std::make_unique<State>()) {
  state_->ready = inflateInit2(&state_->stream, kRawWindow) == Z_OK;
}

Inflater::~Inflater() {
  if (state_->ready) inflateEnd(&state_->stream);
}

Status Inflater::Feed(std::string_view input, std::size_t limit, std::string& out, bool& ended,
                      std::size_t& unread) {
  ended = false;
  unread = 0;
  if (!state_->ready) return {E_OUTOFMEMORY, "the inflater could not be made"};
  z_stream& stream = state_->stream;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());
  std::array<char, kChunk> buffer;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    stream.avail_out = static_cast<uInt>(buffer.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    const std::size_t produced = buffer.size() - stream.avail_out;
    if (produced > limit - out.size()) {
      return {TAVRIN_E_MEMBERTOOLARGE,
              "the content inflates to more than " + std::to_string(limit) + " bytes"};
    }
    out.append(buffer.data(), produced);
    if (result == Z_STREAM_END) {
      ended = true;
      unread = stream.avail_in;
      return {};
    }
    // No progress: every byte given is taken and nothing more comes out.
    if (result == Z_BUF_ERROR) break;
    if (result != Z_OK) {
      return {TAVRIN_E_BADPACKAGE, std::string("the deflate stream is damaged (") +
                                       (stream.msg != nullptr ? stream.msg : "no reason given") +
                                       ")"};
    }
    // A full buffer may leave output inside the inflater even when all
    // input is taken.
  } while (stream.avail_in > 0 || stream.avail_out == 0);
  return {};
}

std::string Deflate(std::string_view content, int level) {
  return Compress(content, level, Z_DEFAULT_STRATEGY, true);
}

bool DeflateToSize(std::string_view content, std::size_t size, std::string& stream) {
  // The writer that made the member may have compressed harder or more
  // loosely than any one of our settings: try several.
  constexpr std::array kLevels{9, 6, 1};
  constexpr std::array kStrategies{Z_DEFAULT_STRATEGY, Z_FILTERED};
  for (int strategy : kStrategies) {
    for (int level : kLevels) {
      std::string finished = Compress(content, level, strategy, true);
      if (finished.size() == size && InflatesTo(finished, content)) {
        stream = std::move(finished);
        return true;
      }
      std::string open = Compress(content, level, strategy, false);
      if (open.empty() || open.size() + 2 > size) continue;
      open += Padding(size - open.size());
      if (open.size() == size && InflatesTo(open, content)) {
        stream = std::move(open);
        return true;
      }
    }
  }
  return false;
}

bool InflatesTo(std::string_view stream, std::string_view content) {
  Inflater inflater;
  std::string out;
  bool ended = false;
  std::size_t unread = 0;
  Status fed = inflater.Feed(stream, content.size(), out, ended, unread);
  return fed.ok() && ended && unread == 0 && out == content;
}

}  // namespace tavrin::storage::zip
