#include "support/CfbFixture.h"

#include <algorithm>
#include <functional>

namespace tavrin::fixture {

namespace {

void Store(std::string& bytes, std::uint64_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    bytes[at + static_cast<std::uint64_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

std::uint32_t Ceil(std::uint64_t n, std::uint64_t d) {
  return static_cast<std::uint32_t>((n + d - 1) / d);
}

// The order siblings are sorted in: shorter names first, then by upper case.
bool Before(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  std::string ua = a, ub = b;
  for (char& c : ua) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (char& c : ub) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ua < ub;
}

}  // namespace

std::uint64_t CfbImage::SectorOffset(std::uint32_t sector) const {
  return (static_cast<std::uint64_t>(sector) + 1) * sectorSize;
}

std::uint64_t CfbImage::FatEntryOffset(std::uint32_t sector) const {
  const std::uint32_t per = sectorSize / 4;
  return SectorOffset(fatSectors[sector / per]) + 4 * (sector % per);
}

std::uint64_t CfbImage::MiniFatEntryOffset(std::uint32_t miniSector) const {
  const std::uint32_t per = sectorSize / 4;
  return SectorOffset(miniFatSectors[miniSector / per]) + 4 * (miniSector % per);
}

std::uint64_t CfbImage::MiniSectorOffset(std::uint32_t miniSector) const {
  const std::uint64_t at = static_cast<std::uint64_t>(miniSector) * 64;
  return SectorOffset(miniStreamSectors[at / sectorSize]) + at % sectorSize;
}

std::uint64_t CfbImage::EntryOffset(int entry) const {
  const std::uint32_t per = sectorSize / 128;
  const auto index = static_cast<std::uint32_t>(entry);
  return SectorOffset(directorySectors[index / per]) + 128 * (index % per);
}

std::uint32_t CfbImage::Get32(std::uint64_t offset) const {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value =
        (value << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::uint64_t>(i)]);
  }
  return value;
}

void CfbImage::Put32(std::uint64_t offset, std::uint32_t value) {
  Store(bytes, offset, value, 4);
}

int CfbWriter::AddStorage(const std::string& name, int parent) {
  items_.push_back({name, parent, true, {}});
  return static_cast<int>(items_.size());
}

int CfbWriter::AddStream(const std::string& name, std::string data, int parent) {
  items_.push_back({name, parent, false, std::move(data)});
  return static_cast<int>(items_.size());
}

CfbImage CfbWriter::Build() const {
  CfbImage image;
  const unsigned shift =
      options_.sectorShift != 0 ? options_.sectorShift : (options_.version == 4 ? 12 : 9);
  const std::uint32_t ss = 1u << shift;
  const std::uint32_t per = ss / 4;
  image.sectorSize = ss;

  // Small streams go into the mini stream, one after another.
  std::string miniStream;
  std::vector<std::uint32_t> normalCounts(items_.size(), 0);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.storage) continue;
    Placement& place = image.streams[item.name];
    place.entry = static_cast<int>(i + 1);
    if (item.data.size() >= 4096) {
      normalCounts[i] = Ceil(item.data.size(), ss);
      continue;
    }
    place.mini = !item.data.empty();
    for (std::uint32_t k = 0; k < Ceil(item.data.size(), 64); ++k) {
      place.units.push_back(static_cast<std::uint32_t>(miniStream.size() / 64));
      std::string unit = item.data.substr(k * 64, 64);
      unit.resize(64, '\0');
      miniStream += unit;
    }
  }
  const std::uint32_t miniSectors = static_cast<std::uint32_t>(miniStream.size() / 64);
  const std::uint32_t miniFatCount = Ceil(miniSectors, per);
  const std::uint32_t miniStreamCount = Ceil(miniStream.size(), ss);
  const std::uint32_t entryCount = static_cast<std::uint32_t>(items_.size() + 1);
  const std::uint32_t dirCount = Ceil(entryCount, ss / 128);
  std::uint32_t normalTotal = 0;
  for (std::uint32_t n : normalCounts) normalTotal += n;
  const std::uint32_t data =
      dirCount + miniFatCount + miniStreamCount + normalTotal + options_.freeSectors;

  std::uint32_t fatCount = std::max<std::uint32_t>(options_.minFatSectors, 1);
  std::uint32_t difatCount = 0;
  for (;;) {
    difatCount = fatCount > 109 ? Ceil(fatCount - 109, per - 1) : 0;
    const std::uint32_t needed = Ceil(fatCount + difatCount + data, per);
    if (needed <= fatCount) break;
    fatCount = needed;
  }

  std::uint32_t next = 0;
  const auto take = [&next](std::uint32_t count, std::vector<std::uint32_t>& into) {
    for (std::uint32_t k = 0; k < count; ++k) into.push_back(next++);
  };
  take(fatCount, image.fatSectors);
  take(difatCount, image.difatSectors);
  take(dirCount, image.directorySectors);
  take(miniFatCount, image.miniFatSectors);
  take(miniStreamCount, image.miniStreamSectors);
  std::vector<std::vector<std::uint32_t>> normal(items_.size());
  if (options_.interleave) {
    for (bool more = true; more;) {
      more = false;
      for (std::size_t i = 0; i < items_.size(); ++i) {
        if (normal[i].size() < normalCounts[i]) {
          normal[i].push_back(next++);
          more = true;
        }
      }
    }
  } else {
    for (std::size_t i = 0; i < items_.size(); ++i) take(normalCounts[i], normal[i]);
  }
  const std::uint32_t total = next + options_.freeSectors;

  image.fat.assign(static_cast<std::size_t>(fatCount) * per, kFree);
  const auto link = [](std::vector<std::uint32_t>& table, const std::vector<std::uint32_t>& chain) {
    for (std::size_t k = 0; k < chain.size(); ++k) {
      table[chain[k]] = k + 1 < chain.size() ? chain[k + 1] : kEnd;
    }
  };
  for (std::uint32_t s : image.fatSectors) image.fat[s] = kFatMark;
  for (std::uint32_t s : image.difatSectors) image.fat[s] = kDifatMark;
  link(image.fat, image.directorySectors);
  link(image.fat, image.miniFatSectors);
  link(image.fat, image.miniStreamSectors);
  for (const auto& chain : normal) link(image.fat, chain);
  image.miniFat.assign(static_cast<std::size_t>(miniFatCount) * per, kFree);
  for (auto& [name, place] : image.streams) {
    if (place.mini) {
      link(image.miniFat, place.units);
    } else if (!normal[static_cast<std::size_t>(place.entry - 1)].empty()) {
      place.units = normal[static_cast<std::size_t>(place.entry - 1)];
    }
  }

  std::string& bytes = image.bytes;
  bytes.assign((static_cast<std::uint64_t>(total) + 1) * ss, '\0');
  bytes.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  Store(bytes, kHeaderMinorVersion, 0x3E, 2);
  Store(bytes, kHeaderMajorVersion, static_cast<std::uint64_t>(options_.version), 2);
  Store(bytes, kHeaderByteOrder, 0xFFFE, 2);
  Store(bytes, kHeaderSectorShift, shift, 2);
  Store(bytes, kHeaderMiniSectorShift, 6, 2);
  Store(bytes, kHeaderDirectorySectors, options_.version == 4 ? dirCount : 0, 4);
  Store(bytes, kHeaderFatSectors, fatCount, 4);
  Store(bytes, 0x30, image.directorySectors[0], 4);
  Store(bytes, kHeaderCutoff, 4096, 4);
  Store(bytes, 0x3C, miniFatCount ? image.miniFatSectors[0] : kEnd, 4);
  Store(bytes, kHeaderMiniFatSectors, miniFatCount, 4);
  Store(bytes, 0x44, difatCount ? image.difatSectors[0] : kEnd, 4);
  Store(bytes, kHeaderDifatSectors, difatCount, 4);
  for (std::uint32_t k = 0; k < 109; ++k) {
    Store(bytes, 0x4C + 4 * k, k < fatCount ? image.fatSectors[k] : kFree, 4);
  }
  for (std::uint32_t d = 0; d < difatCount; ++d) {
    const std::uint64_t at = image.SectorOffset(image.difatSectors[d]);
    for (std::uint32_t k = 0; k + 1 < per; ++k) {
      const std::uint64_t index = 109 + static_cast<std::uint64_t>(d) * (per - 1) + k;
      Store(bytes, at + 4 * k, index < fatCount ? image.fatSectors[index] : kFree, 4);
    }
    Store(bytes, at + 4 * (per - 1), d + 1 < difatCount ? image.difatSectors[d + 1] : kEnd, 4);
  }
  for (std::size_t k = 0; k < image.fat.size(); ++k) {
    Store(bytes, image.SectorOffset(image.fatSectors[k / per]) + 4 * (k % per), image.fat[k], 4);
  }
  for (std::size_t k = 0; k < image.miniFat.size(); ++k) {
    Store(bytes, image.SectorOffset(image.miniFatSectors[k / per]) + 4 * (k % per),
          image.miniFat[k], 4);
  }
  for (std::size_t k = 0; k < miniStreamCount; ++k) {
    bytes.replace(image.SectorOffset(image.miniStreamSectors[k]), ss,
                  miniStream.substr(k * ss, ss));
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    for (std::size_t k = 0; k < normal[i].size(); ++k) {
      const std::string part = items_[i].data.substr(k * ss, ss);
      bytes.replace(image.SectorOffset(normal[i][k]), part.size(), part);
    }
  }

  // Directory: every storage's children as a balanced binary tree in name
  // order, all black (a valid red-black tree needs no red nodes when it is
  // this balanced, and readers do not check colours anyway).
  std::vector<std::uint32_t> left(entryCount, kFree), right(entryCount, kFree),
      child(entryCount, kFree);
  for (std::uint32_t parent = 0; parent < entryCount; ++parent) {
    std::vector<std::uint32_t> kids;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (static_cast<std::uint32_t>(items_[i].parent) == parent) {
        kids.push_back(static_cast<std::uint32_t>(i + 1));
      }
    }
    std::sort(kids.begin(), kids.end(), [this](std::uint32_t a, std::uint32_t b) {
      return Before(items_[a - 1].name, items_[b - 1].name);
    });
    std::function<std::uint32_t(std::size_t, std::size_t)> tree = [&](std::size_t lo,
                                                                      std::size_t hi) {
      if (lo >= hi) return kFree;
      const std::size_t mid = (lo + hi) / 2;
      left[kids[mid]] = tree(lo, mid);
      right[kids[mid]] = tree(mid + 1, hi);
      return kids[mid];
    };
    child[parent] = tree(0, kids.size());
  }
  for (std::uint32_t e = 0; e < entryCount; ++e) {
    const std::uint64_t at = image.EntryOffset(static_cast<int>(e));
    const std::string name = e == 0 ? "Root Entry" : items_[e - 1].name;
    for (std::size_t k = 0; k < name.size(); ++k) {
      Store(bytes, at + 2 * k, static_cast<unsigned char>(name[k]), 2);
    }
    Store(bytes, at + 64, 2 * (name.size() + 1), 2);
    const bool storage = e == 0 || items_[e - 1].storage;
    bytes[at + 66] = static_cast<char>(e == 0 ? 5 : storage ? 1 : 2);
    bytes[at + kEntryColour] = 1;
    Store(bytes, at + kEntryLeft, left[e], 4);
    Store(bytes, at + kEntryRight, right[e], 4);
    Store(bytes, at + kEntryChild, child[e], 4);
    std::uint32_t start = kEnd;
    std::uint64_t size = 0;
    if (e == 0) {
      start = miniStreamCount ? image.miniStreamSectors[0] : kEnd;
      size = miniStream.size();
    } else if (!storage) {
      const Placement& place = image.streams[items_[e - 1].name];
      start = place.units.empty() ? kEnd : place.units[0];
      size = items_[e - 1].data.size();
    }
    Store(bytes, at + kEntryStart, storage && e != 0 ? 0 : start, 4);
    Store(bytes, at + kEntrySize, size, 8);
  }
  for (std::uint32_t e = entryCount; e < dirCount * (ss / 128); ++e) {
    const std::uint64_t at = image.EntryOffset(static_cast<int>(e));
    Store(bytes, at + kEntryLeft, kFree, 4);
    Store(bytes, at + kEntryRight, kFree, 4);
    Store(bytes, at + kEntryChild, kFree, 4);
  }
  return image;
}

}  // namespace tavrin::fixture
