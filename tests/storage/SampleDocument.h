#pragma once
// The document most storage tests start from: two property-set streams and
// an empty stream in the mini stream's range, two streams in normal sectors,
// and a storage holding one small and one large stream.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/storage/CompoundFile.h"
#include "support/CfbFixture.h"

namespace tavrin::storage {

inline const std::string kSummary = "\x05SummaryInformation";
inline const std::u16string kSummary16 = u"\x0005SummaryInformation";
inline const std::string kDocSummary =
    "\x05"
    "DocumentSummaryInformation";
inline const std::u16string kDocSummary16 =
    u"\x0005"
    u"DocumentSummaryInformation";

// Bytes that differ from position to position and from seed to seed, so a
// misplaced sector never goes unnoticed.
inline std::string Pattern(std::size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

inline fixture::CfbWriter SampleDocument(fixture::CfbOptions options = {}) {
  fixture::CfbWriter writer(options);
  writer.AddStream(kSummary, Pattern(400, 1));
  writer.AddStream(kDocSummary, Pattern(700, 2));
  writer.AddStream("WordDocument", Pattern(10000, 3));
  writer.AddStream("1Table", Pattern(5000, 4));
  writer.AddStream("Empty", "");
  const int pool = writer.AddStorage("ObjectPool");
  writer.AddStream("\x01Ole", Pattern(300, 5), pool);
  writer.AddStream("Contents", Pattern(4500, 6), pool);
  return writer;
}

struct Opened {
  HRESULT hr = E_FAIL;
  std::unique_ptr<CompoundFile> file;
  std::string error;
};

inline Opened OpenDocument(const std::string& path) {
  Opened opened;
  opened.hr = CompoundFile::Open(path, opened.file, &opened.error);
  return opened;
}

inline std::u16string Widen(const std::string& name) {
  return {name.begin(), name.end()};
}

}  // namespace tavrin::storage
