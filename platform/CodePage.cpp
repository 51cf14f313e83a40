#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

namespace tavrin::codepage {
namespace {

// The iconv name of a Windows code page, or empty when we know none.
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case kUtf16Le:
      return "UTF-16LE";
    case 1201:
      return "UTF-16BE";
    case kUtf8:
      return "UTF-8";
    case 20127:
      return "ASCII";
    case 10000:
      return "MACINTOSH";
    case 10007:
      return "MAC-CYRILLIC";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
    case 51932:
      return "EUC-JP";
    case 50220:
      return "ISO-2022-JP";
    case 54936:
      return "GB18030";
    default:
      break;
  }
  if (codePage >= 28591 && codePage <= 28606) {
    return "ISO-8859-" + std::to_string(codePage - 28590);
  }
  // The OEM and ANSI code pages (437, 850, 874, 932, 936, 949, 950, 1250 to
  // 1258 ...) all go by their number.
  if (codePage >= 437 && codePage <= 1258) return "CP" + std::to_string(codePage);
  return {};
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

// Opening a converter costs far more than most conversions, and a batch
// converts thousands of short strings, so each thread keeps the ones it used.
iconv_t ConverterFor(unsigned from, unsigned to) {
  thread_local std::map<std::pair<unsigned, unsigned>, Converter> cache;
  auto key = std::make_pair(from, to);
  if (auto it = cache.find(key); it != cache.end()) return static_cast<iconv_t>(it->second.get());
  std::string fromName = IconvName(from);
  std::string toName = IconvName(to);
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  if (!fromName.empty() && !toName.empty()) cd = iconv_open(toName.c_str(), fromName.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
  cache.emplace(key, Converter(cd));
  return cd;
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Code pages in which the 128 ASCII bytes stand for the ASCII characters
// themselves: pure-ASCII text converts between any two of them unchanged,
// which is most text in most documents, without a trip through iconv.
bool KeepsAscii(unsigned codePage) {
  switch (codePage) {
    case kUtf8:
    case 437:
    case 850:
    case 852:
    case 866:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
    case 20127:
    case 20866:
    case 21866:
    case 20932:
    case 51932:
    case 54936:
      return true;
    default:
      return (codePage >= 1250 && codePage <= 1258) || (codePage >= 10000 && codePage <= 10007) ||
             (codePage >= 28591 && codePage <= 28606);
  }
}

enum class Stop { kDone, kInvalid, kIncomplete };

// Ends a conversion whose input was all taken. Stateful converters (the
// Hebrew and Vietnamese code pages hold a letter back in case a combining
// mark follows it; ISO-2022-JP keeps a shift state) give their last
// characters only here, so a character the target lacks can fail here too:
// that fails the conversion, or the character would vanish without trace.
// The unconverted rest is then the input's last character, as far as we can
// tell it.
Stop Flush(iconv_t cd, std::string_view& in, std::string& out) {
  char buffer[64];
  for (;;) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc != static_cast<std::size_t>(-1)) {
      in.remove_prefix(in.size());
      return Stop::kDone;
    }
    if (errno == E2BIG) continue;
    in.remove_prefix(in.empty() ? 0 : in.size() - 1);
    return Stop::kInvalid;
  }
}

// Runs one conversion as far as it goes; `in` is advanced past what was
// converted, the output appended to `out`.
Stop Run(iconv_t cd, std::string_view& in, std::string& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buffer[1024];
  // iconv's interface takes a non-const input pointer but never writes through it.
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  for (;;) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc != static_cast<std::size_t>(-1)) return Flush(cd, in, out);
    if (errno == E2BIG) continue;
    in.remove_prefix(in.size() - inLeft);
    return errno == EINVAL ? Stop::kIncomplete : Stop::kInvalid;
  }
}

}  // namespace

bool IsSupported(unsigned codePage) {
  return ConverterFor(codePage, kUtf8) != reinterpret_cast<iconv_t>(-1) &&
         ConverterFor(kUtf8, codePage) != reinterpret_cast<iconv_t>(-1);
}

std::optional<std::string> Convert(std::string_view in, unsigned from, unsigned to) {
  if (KeepsAscii(from) && KeepsAscii(to) && IsAscii(in)) return std::string(in);
  iconv_t cd = ConverterFor(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(in.size() * 2);
  if (Run(cd, in, out) != Stop::kDone) return std::nullopt;
  return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  if (IsAscii(cp932)) return std::string(cp932);
  iconv_t cd = ConverterFor(kCp932, kUtf8);
  std::string out;
  out.reserve(cp932.size() * 2);
  while (!cp932.empty()) {
    if (Run(cd, cp932, out) == Stop::kDone) break;
    out += kReplacement;
    cp932.remove_prefix(1);
  }
  return out;
}

namespace {

// Length of the UTF-8 sequence that starts with `lead`, 1 for a stray byte.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  return 1;
}

}  // namespace

EncodeResult Utf8ToCp932(std::string_view utf8) {
  if (IsAscii(utf8)) return {std::string(utf8), {}};
  iconv_t cd = ConverterFor(kUtf8, kCp932);
  std::string out;
  out.reserve(utf8.size());
  std::string_view rest = utf8;
  if (Run(cd, rest, out) == Stop::kDone) return {std::move(out), {}};
  std::size_t length =
      std::min(Utf8SequenceLength(static_cast<unsigned char>(rest.front())), rest.size());
  return {std::nullopt, std::string(rest.substr(0, length))};
}

std::string Utf8ToCp932ForDisplay(std::string_view utf8) {
  iconv_t cd = ConverterFor(kUtf8, kCp932);
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    if (Run(cd, utf8, out) == Stop::kDone) break;
    out += '?';
    utf8.remove_prefix(
        std::min(Utf8SequenceLength(static_cast<unsigned char>(utf8.front())), utf8.size()));
  }
  return out;
}

std::string CodePointName(char32_t character) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(character));
  return name;
}

std::string Cp932(std::string_view utf8Literal) {
  // A form converts the same few dozen captions each time it is built, and
  // the command-line front end builds one per file. A literal keeps its
  // address, so that finds its conversion without hashing its text; the
  // text is still compared, so a caller that passes other text from the same
  // place gets its own conversion.
  struct Converted {
    std::string utf8;
    std::string cp932;
  };
  thread_local std::unordered_map<const char*, Converted> byAddress;
  Converted& known = byAddress[utf8Literal.data()];
  if (known.utf8.size() == utf8Literal.size() && known.utf8 == utf8Literal &&
      (!known.cp932.empty() || utf8Literal.empty())) {
    return known.cp932;
  }
  EncodeResult result = Utf8ToCp932(utf8Literal);
  if (!result.bytes) {
    std::fprintf(stderr, "tavrin: literal not representable in CP932: %.*s\n",
                 static_cast<int>(utf8Literal.size()), utf8Literal.data());
    std::abort();
  }
  known = {std::string(utf8Literal), std::move(*result.bytes)};
  return known.cp932;
}

}  // namespace tavrin::codepage
