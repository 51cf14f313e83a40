#include "commands/ShowCommand.h"

#include "commands/ExistsTest.h"
#include "platform/storage/Com.h"

namespace tavrin {

void ShowCommand(const std::string& path, Dialogs& dialogs, const ShowReads& reads) {
  // The file is opened once for its times and both sets, and its structures
  // read once for the two sets. A file that opens as a document exists and
  // is no folder: that open answers the exists test too.
  const StorageReuseScope oneOpen;
  if (OpenStorageAhead(path.c_str()) == nullptr && !PassesExistsTest(path, dialogs)) return;
  reads.getFileDate(path);
  reads.getDocumentProperties(path);
  reads.getDocumentProperties2(path);
}

}  // namespace tavrin
