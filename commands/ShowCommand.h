#pragma once

#include <functional>
#include <string>

#include "platform/Dialogs.h"

namespace tavrin {

// The three reads of the show command, each taking the file's path.
struct ShowReads {
  std::function<void(const std::string&)> getFileDate;
  std::function<void(const std::string&)> getDocumentProperties;
  std::function<void(const std::string&)> getDocumentProperties2;
};

// Shows the file `path`: the exists test, then the file times, the Summary
// Information and the Document Summary Information, each read running
// whatever the earlier ones reported.
void ShowCommand(const std::string& path, Dialogs& dialogs, const ShowReads& reads);

}  // namespace tavrin
