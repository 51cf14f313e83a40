// tavrin-zip-write PACKAGE MEMBER CONTENT: replaces (or adds) one member of a
// package as the engine does, for the tests that kill a writing process.
// Exit 0 when the change is made, 1 with the reason on standard error.

#include <iostream>
#include <memory>

#include "platform/storage/File.h"
#include "platform/storage/Journal.h"
#include "platform/storage/zip/Archive.h"

int main(int argc, char** argv) {
  using namespace tavrin::storage;
  if (argc != 4) {
    std::cerr << "usage: tavrin-zip-write PACKAGE MEMBER CONTENT\n";
    return 2;
  }
  std::unique_ptr<File> file;
  std::unique_ptr<zip::Archive> archive;
  Status status = File::Open(argv[1], file);
  if (status.ok()) status = RecoverDocument(*file);
  if (status.ok()) status = zip::Archive::Open(*file, archive);
  if (status.ok()) status = archive->Write(*file, {{argv[2], argv[3]}});
  if (status.ok()) return 0;
  std::cerr << argv[1] << ": " << status.text() << "\n";
  return 1;
}
