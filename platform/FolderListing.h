#pragma once
// What the folder views of the batch page list. Paths are the system's own
// bytes and never pass through CP932.
//
// The top of the hierarchy is "the computer", a virtual folder written as the
// empty path: its children are the file-system root and every mounted volume
// of a real device (mount points under /media, /mnt, /run/media and the like,
// taken from the mount table), so that a USB stick or a second disk is one
// step away, as a drive would be.

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace tavrin {

struct FolderItem {
  std::string name;  // as shown: the file name, or the mount point for a volume
  std::string path;  // absolute; the item's parsing name
  bool isFolder = false;
  std::uintmax_t size = 0;
  std::int64_t modifiedUnixSeconds = 0;
};

// The contents of `folder`: folders first, then files, each sorted by name
// without regard to ASCII case; names starting with "." are hidden and left
// out. The empty path lists the computer.
std::vector<FolderItem> ListFolder(const std::string& folder, std::error_code& error);

// The folder above `folder`: "/" goes up to the computer (""), the computer
// stays where it is.
std::string ParentFolder(const std::string& folder);

// The chain from the computer down to `folder`, each entry a path, the
// computer first: what the folder combo box shows.
std::vector<std::string> FolderChain(const std::string& folder);

// The mount points of real volumes, "/" first, read from `mountTable`
// (the format of /proc/self/mounts).
std::vector<std::string> VolumeMountPoints(const std::string& mountTable = "/proc/self/mounts");

}  // namespace tavrin
