#include "commands/ShowCommand.h"

#include "commands/ExistsTest.h"
#include "platform/storage/Com.h"

namespace tavrin {

void ShowCommand(const std::string& path, Dialogs& dialogs, const ShowReads& reads) {
  if (!PassesExistsTest(path, dialogs)) return;
  reads.getFileDate(path);
  // Both sets live in the one file: it is opened and its structures read
  // once for the two.
  const StorageReuseScope oneOpen;
  reads.getDocumentProperties(path);
  reads.getDocumentProperties2(path);
}

}  // namespace tavrin
