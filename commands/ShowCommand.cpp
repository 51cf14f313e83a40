#include "commands/ShowCommand.h"

#include "commands/ExistsTest.h"

namespace tavrin {

void ShowCommand(const std::string& path, Dialogs& dialogs, const ShowReads& reads) {
  if (!PassesExistsTest(path, dialogs)) return;
  reads.getFileDate(path);
  reads.getDocumentProperties(path);
  reads.getDocumentProperties2(path);
}

}  // namespace tavrin
