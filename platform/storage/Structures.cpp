#include "platform/storage/Structures.h"

namespace tavrin::storage {

Structures::Structures(File& f, Header h)
    : file(f),
      header(std::move(h)),
      sectors(f, header.sectorShift),
      difat(header, sectors),
      fat(header, sectors, difat) {}

void Structures::StartMiniFat() {
  const DirEntry root = directory.root();
  miniFat = std::make_unique<MiniFat>(header, sectors, fat, root.start, root.size);
}

Status Structures::Open(File& file, std::unique_ptr<Structures>& out) {
  std::string first(kHeaderSize, '\0');
  std::size_t got = 0;
  if (Status read = file.ReadAt(0, first.data(), first.size(), got); !read.ok()) return read;
  first.resize(got);
  Header header;
  if (Status parsed = ParseHeader(first, header); !parsed.ok()) return parsed;

  std::unique_ptr<Structures> parts(new Structures(file, std::move(header)));
  if (Status counts = CheckHeaderAgainstFile(parts->header, parts->sectors); !counts.ok()) {
    return counts;
  }
  if (Status loaded = Directory::Open(parts->header, parts->sectors, parts->fat, parts->directory);
      !loaded.ok()) {
    return loaded;
  }
  parts->StartMiniFat();
  out = std::move(parts);
  return {};
}

std::unique_ptr<Structures> Structures::Rebuild(File& file, Header header, Directory directory) {
  std::unique_ptr<Structures> parts(new Structures(file, std::move(header)));
  parts->directory = std::move(directory);
  parts->StartMiniFat();
  return parts;
}

}  // namespace tavrin::storage
