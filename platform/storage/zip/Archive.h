#pragma once
// A ZIP package (an Office Open XML or OpenDocument file) read, and changed
// in place through the rollback journal, without ever disturbing a member
// the change does not name. See Archive.cpp for the invariants it keeps.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/storage/Commit.h"
#include "platform/storage/File.h"
#include "platform/storage/Status.h"

namespace tavrin::storage::zip {

struct Member {
  std::string name;          // as stored (bytes), CP437/UTF-8 flag not interpreted
  std::uint16_t method = 0;  // 0 stored, 8 deflate (others: readable only by name, never changed)
  std::uint16_t flags = 0;   // general purpose bit flags (bit 3: data descriptor)
  std::uint32_t crc32 = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::uint64_t localHeaderOffset = 0;
  std::uint64_t dataOffset = 0;  // first byte of the compressed data
  // Where its central-directory entry starts, and that entry's length.
  std::uint64_t centralEntryOffset = 0;
  std::uint32_t centralEntrySize = 0;
  // The data descriptor after the data: 0 when there is none, else 12 or 16
  // (with its optional signature).
  std::uint32_t descriptorSize = 0;
  // One past the member's last byte: data and descriptor.
  std::uint64_t endOffset() const { return dataOffset + compressedSize + descriptorSize; }
};

class Archive {
 public:
  // Reads the end record, the central directory and every local header of
  // `file` and checks they agree; refuses with a code (and reads nothing more)
  // what it cannot change safely. The Archive refers to `file`, which must
  // outlive it. Whoever opened `file` has run RecoverDocument on it first,
  // as every open of a document must, so that a change a crash cut off is
  // undone before anything reads the package.
  //   TAVRIN_E_BADPACKAGE: not a ZIP archive, or one whose records contradict
  //     each other (the text names the value and what it contradicts).
  //   TAVRIN_E_UNSUPPORTEDPACKAGE: a well-formed archive using what this
  //     engine does not change: ZIP64, several disks, encrypted members.
  static Status Open(const File& file, std::unique_ptr<Archive>& out);
  const std::vector<Member>& members() const { return members_; }  // central-directory order
  const Member* Find(std::string_view name) const;  // exact bytes; names are unique (checked)
  // The inflated content of `member`, CRC checked, refused past `limit` bytes
  // with TAVRIN_E_MEMBERTOOLARGE. A method other than stored or deflate gives
  // TAVRIN_E_UNSUPPORTEDPACKAGE.
  Status Read(const Member& member, std::size_t limit, std::string& content) const;
  // Replaces the content of existing members and appends new ones (new
  // members deflated, placed after the last member, before the central
  // directory, in the given order), all in one all-or-nothing change through
  // the journal and CommitPlan. Members not named keep every byte. A
  // replacement whose content equals the member's present content is no
  // change. `file` is the one this Archive was opened on, now writable
  // (STG_E_INVALIDPARAMETER otherwise). After success this Archive describes the new file. After a
  // failure that may have touched the file, this Archive refuses every
  // further call with STG_E_REVERTED: reopen the file.
  struct Change {
    std::string name;
    std::string content;
  };
  Status Write(File& file, const std::vector<Change>& changes);

  // The end record's offset and the archive comment, for those who check
  // that a change kept them.
  std::uint64_t endRecordOffset() const { return endRecordOffset_; }
  std::uint64_t centralDirectoryOffset() const { return centralOffset_; }

  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

 private:
  explicit Archive(const File& file) : file_(&file) {}
  Status ReadAll(std::uint64_t offset, std::size_t count, std::string& bytes) const;

  const File* file_;
  std::vector<Member> members_;
  std::unordered_map<std::string, std::size_t> index_;
  std::uint64_t centralOffset_ = 0;
  std::uint64_t centralSize_ = 0;
  std::uint64_t endRecordOffset_ = 0;
  // Everything from the end record on: the record and the comment.
  std::string endRecord_;
  bool broken_ = false;
};

}  // namespace tavrin::storage::zip
