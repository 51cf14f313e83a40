#pragma once
// The parts of an open compound file, each built on the ones before it: the
// header, the sectors, the DIFAT, the FAT, the directory, the mini FAT.

#include <memory>

#include "platform/storage/Directory.h"
#include "platform/storage/MiniFat.h"

namespace tavrin::storage {

class Structures {
 public:
  // Reads and checks the header and the directory (a large one only as far
  // as lookups reach: see Directory), and the FAT and DIFAT sectors the
  // directory's chain passes through; nothing more.
  static Status Open(File& file, std::unique_ptr<Structures>& out);
  // The state after a commit wrote `header` and `directory`; every table is
  // read afresh when next needed.
  static std::unique_ptr<Structures> Rebuild(File& file, Header header, Directory directory);

  Structures(const Structures&) = delete;
  Structures& operator=(const Structures&) = delete;

  File& file;
  const Header header;
  const Sectors sectors;
  Difat difat;
  Fat fat;
  Directory directory;
  std::unique_ptr<MiniFat> miniFat;

 private:
  Structures(File& file, Header header);
  void StartMiniFat();
};

}  // namespace tavrin::storage
