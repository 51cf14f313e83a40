#pragma once
// ZIP archives built for the tests by Python's zipfile, an independent
// writer, and checks of the engine's output by the same module as a reader.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/storage/File.h"
#include "platform/storage/zip/Archive.h"
#include "support/ScratchDir.h"

namespace tavrin::storage::zip::fixture {

// Runs the Python statements `body` with `path` bound to the archive's path
// and `z` to a zipfile.ZipFile opened there for writing ("streamed" gives an
// unseekable file, so every member has a data descriptor). Gives the
// archive's bytes.
std::string BuildZip(const std::string& path, const std::string& body, bool streamed = false);

// What `python3 -c zipfile` says of the archive at `path`: "OK" when
// testzip() finds every member's CRC right, else the trouble; and with a
// `member`, its content as Python reads it in `content`.
std::string PythonTestZip(const std::string& path, const std::string& member = "",
                          std::string* content = nullptr);
// The content of member `name` as Python's zipfile reads it.
std::string PythonRead(const std::string& path, const std::string& name);

// Opens `path` as a document and an archive over it.
struct OpenPackage {
  std::unique_ptr<File> file;
  std::unique_ptr<Archive> archive;
  Status status;
  // What the open's recovery said: TAVRIN_S_ROLLEDBACK when it undid a
  // change a crash cut off.
  HRESULT recovered = S_OK;
};
OpenPackage Open(const std::string& path);

// The bytes of every member's local header, data and descriptor, by name.
std::string MemberBytes(const std::string& archive, const Member& member);

}  // namespace tavrin::storage::zip::fixture
