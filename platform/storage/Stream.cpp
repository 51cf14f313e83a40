#include "platform/storage/Stream.h"

#include <cstdio>

namespace tavrin::storage {

std::string DescribeStream(const Directory& directory, std::uint32_t index) {
  std::string name;
  for (char16_t unit : directory.Name(index)) {
    if (unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\') {
      name.push_back(static_cast<char>(unit));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(unit));
      name += escaped;
    }
  }
  return "stream \"" + name + "\" (entry " + std::to_string(index) + ")";
}

namespace {

std::string DescribeStreamAt(const void* directory, std::uint32_t index) {
  return DescribeStream(*static_cast<const Directory*>(directory), index);
}

// Reads pieces of the file in order into one string, joining neighbours in
// the file into one call.
class RunReader {
 public:
  RunReader(const Sectors& sectors, std::string& out, Subject what)
      : sectors_(sectors), out_(out), what_(what) {}

  Status Add(std::uint64_t offset, std::size_t length) {
    if (length_ > 0 && offset_ + length_ == offset) {
      length_ += length;
      return {};
    }
    if (Status flushed = Flush(); !flushed.ok()) return flushed;
    offset_ = offset;
    length_ = length;
    return {};
  }

  Status Flush() {
    if (length_ == 0) return {};
    const std::size_t at = out_.size();
    out_.resize(at + length_);
    Status read = sectors_.ReadBytes(offset_, out_.data() + at, length_, what_);
    length_ = 0;
    return read;
  }

 private:
  const Sectors& sectors_;
  std::string& out_;
  Subject what_;
  std::uint64_t offset_ = 0;
  std::size_t length_ = 0;
};

}  // namespace

Status ReadStream(Structures& parts, std::uint32_t index, std::string& out) {
  out.clear();
  const Directory& directory = parts.directory;
  if (index >= directory.size()) {
    return {STG_E_INVALIDPARAMETER, "entry " + std::to_string(index) + " is not a stream"};
  }
  const DirEntry entry = directory.entry(index);
  if (!entry.inTree || entry.type != EntryType::kStream) {
    return {STG_E_INVALIDPARAMETER, "entry " + std::to_string(index) + " is not a stream"};
  }
  const Subject owner(DescribeStreamAt, &directory, index);
  const std::uint64_t size = entry.size;
  if (size == 0) return {};

  std::string data;
  RunReader reader(parts.sectors, data, owner);
  std::span<const std::uint32_t> chain;
  if (size < kMiniStreamCutoff) {
    const std::uint64_t units = UnitsFor(size, kMiniSectorSize);
    Chain walk(*parts.miniFat, entry.start, owner);
    walk.Reserve(units);
    if (Status walked = walk.First(units, chain); !walked.ok()) return walked;
    data.reserve(static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < chain.size(); ++i) {
      std::uint64_t offset = 0;
      if (Status located = parts.miniFat->Offset(chain[i], offset); !located.ok()) return located;
      const std::uint64_t left = size - i * kMiniSectorSize;
      if (Status added = reader.Add(
              offset, static_cast<std::size_t>(std::min<std::uint64_t>(left, kMiniSectorSize)));
          !added.ok()) {
        return added;
      }
    }
    if (Status flushed = reader.Flush(); !flushed.ok()) return flushed;
  } else {
    const std::uint32_t sectorSize = parts.sectors.size();
    const std::uint64_t capacity = static_cast<std::uint64_t>(parts.sectors.count()) * sectorSize;
    if (size > capacity) {
      return Status::Corrupt(owner.Text() + " claims " + std::to_string(size) +
                             " bytes but the file's sectors hold " + std::to_string(capacity));
    }
    // Checked against the file above, so neither reservation outgrows it.
    const std::uint64_t units = UnitsFor(size, sectorSize);
    Chain walk(parts.fat, entry.start, owner);
    walk.Reserve(units);
    if (Status walked = walk.First(units, chain); !walked.ok()) return walked;
    data.reserve(static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < chain.size(); ++i) {
      const std::uint64_t left = size - static_cast<std::uint64_t>(i) * sectorSize;
      if (Status added =
              reader.Add(parts.sectors.Offset(chain[i]),
                         static_cast<std::size_t>(std::min<std::uint64_t>(left, sectorSize)));
          !added.ok()) {
        return added;
      }
    }
    if (Status flushed = reader.Flush(); !flushed.ok()) return flushed;
  }
  out = std::move(data);
  return {};
}

}  // namespace tavrin::storage
