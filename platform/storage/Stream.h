#pragma once
// A stream's content: read through its chain, or replaced whole by a plan of
// writes that changes nothing else.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/storage/Commit.h"
#include "platform/storage/Structures.h"

namespace tavrin::storage {

// "stream "Name" (entry 3)", for messages.
std::string DescribeStream(const Directory& directory, std::uint32_t index);

Status ReadStream(Structures& parts, std::uint32_t index, std::string& out);

// A planned replacement and the header and directory entries it leaves on
// disk once committed.
struct Replacement {
  explicit Replacement(std::uint64_t fileLength) : plan(fileLength) {}

  WritePlan plan;
  Header header;
  std::vector<std::pair<std::uint32_t, std::string>> entries;
};

// Loads and checks every structure the change touches, then plans it.
// Nothing is written here; a contradiction found on the way refuses the
// change with STG_E_DOCFILECORRUPT.
Status PlanReplacement(Structures& parts, std::uint32_t index, std::string_view bytes,
                       Replacement& out);

}  // namespace tavrin::storage
