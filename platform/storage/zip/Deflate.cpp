#include "platform/storage/zip/Deflate.h"

#include <zlib.h>

#include <array>

namespace tavrin::storage::zip {

namespace {

// Raw deflate: no zlib header or trailer.
constexpr int kRawWindow = -15;
constexpr std::size_t kChunk = 64 << 10;

// Bits of a deflate stream, least significant first, as the format packs
// them, appended from bit `used` of the last byte of `out` on.
class BitWriter {
 public:
  BitWriter(std::string& out, std::uint64_t bits) : out_(out), used_(static_cast<int>(bits % 8)) {
    out_.resize(static_cast<std::size_t>((bits + 7) / 8));
    // Past the last bit is only the padding to the byte: cleared for ours.
    if (used_ != 0) out_.back() = static_cast<char>(out_.back() & ((1 << used_) - 1));
  }
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
  int used_;
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

std::uint64_t AfterStored(std::uint64_t bit) {
  return (bit + 3 + 7) / 8 * 8 + 32;
}

// How to pad, from bit `from`, to exactly `size` bytes: `fixed` empty fixed
// blocks (ten bits each), `stored` empty stored blocks (to the byte and four
// bytes more each), and a final empty block of either kind.
struct Padding {
  int fixed = 0;
  std::uint64_t stored = 0;
  bool finalStored = false;
};

bool PlanPadding(std::uint64_t from, std::size_t size, Padding& padding) {
  const std::uint64_t goal = static_cast<std::uint64_t>(size) * 8;
  for (int fixed = 0; fixed < 8; ++fixed) {
    for (bool finalStored : {false, true}) {
      std::uint64_t bit = from + 10u * static_cast<unsigned>(fixed);
      for (std::uint64_t stored = 0;; ++stored) {
        const std::uint64_t end = finalStored ? AfterStored(bit) : bit + 10;
        if ((end + 7) / 8 * 8 == goal) {
          padding = {fixed, stored, finalStored};
          return true;
        }
        if (end > goal) break;
        bit = AfterStored(bit);
      }
    }
  }
  return false;
}

// The bit where the final block of `stream` starts and the bit after its
// end-of-block code, found by inflating it a block at a time.
bool FinalBlock(std::string_view stream, std::size_t contentSize, std::uint64_t& start,
                std::uint64_t& end) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  std::string out(contentSize + 1, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  bool found = false;
  start = 0;
  for (;;) {
    const int result = inflate(&z, Z_BLOCK);
    const std::uint64_t bit = z.total_in * 8 - static_cast<unsigned>(z.data_type & 7);
    if (result != Z_OK) break;
    // Stopped at a block boundary: after the final block, its exact end
    // (the inflater drops the padding to the byte only when it goes on);
    // after any other, the start of the next.
    if ((z.data_type & 128) != 0) {
      if ((z.data_type & 64) != 0) {
        end = bit;
        found = true;
        break;
      }
      start = bit;
    }
  }
  inflateEnd(&z);
  return found;
}

// `finished`, a whole stream of `content`, made exactly `size` bytes long:
// its final block made not final, then empty blocks, the last of them final.
bool PadTo(std::string finished, std::string_view content, std::size_t size, std::string& stream) {
  std::uint64_t start = 0, end = 0;
  if (!FinalBlock(finished, content.size(), start, end)) return false;
  Padding padding;
  if (!PlanPadding(end, size, padding)) return false;
  const auto at = static_cast<std::size_t>(start / 8);
  finished[at] = static_cast<char>(static_cast<unsigned char>(finished[at]) &
                                   ~(1u << static_cast<unsigned>(start % 8)));
  BitWriter bits(finished, end);
  for (int i = 0; i < padding.fixed; ++i) EmptyFixedBlock(bits, false);
  for (std::uint64_t i = 0; i < padding.stored; ++i) EmptyStoredBlock(bits, false);
  if (padding.finalStored) {
    EmptyStoredBlock(bits, true);
  } else {
    EmptyFixedBlock(bits, true);
  }
  if (finished.size() != size || !InflatesTo(finished, content)) return false;
  stream = std::move(finished);
  return true;
}

// `content` deflated at `level` with `strategy`, finished.
std::string Compress(std::string_view content, int level, int strategy) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, kRawWindow, 9, strategy) != Z_OK) return {};
  std::string out;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  std::array<char, kChunk> buffer;
  int result = Z_OK;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    stream.avail_out = static_cast<uInt>(buffer.size());
    result = deflate(&stream, Z_FINISH);
    out.append(buffer.data(), buffer.size() - stream.avail_out);
  } while (result == Z_OK);
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
  return Compress(content, level, Z_DEFAULT_STRATEGY);
}

bool DeflateToSize(std::string_view content, std::size_t size, std::string& stream) {
  // The writer that made the member may have compressed harder or more
  // loosely than any one of our settings: try several.
  constexpr std::array kLevels{9, 6, 1};
  constexpr std::array kStrategies{Z_DEFAULT_STRATEGY, Z_FILTERED};
  for (int strategy : kStrategies) {
    for (int level : kLevels) {
      std::string finished = Compress(content, level, strategy);
      if (finished.empty() || finished.size() > size) continue;
      if (finished.size() == size && InflatesTo(finished, content)) {
        stream = std::move(finished);
        return true;
      }
      if (PadTo(std::move(finished), content, size, stream)) return true;
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
