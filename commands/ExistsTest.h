#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace tavrin {

// A path passes when it names an existing file that is not a folder; the
// empty path, a folder and a missing file fail.
bool FileExists(const std::string& path);

// The message for a path that fails the test.
const std::string& FileNotFoundMessage();

// The test as the commands run it: on failure the message is shown.
bool PassesExistsTest(const std::string& path, Dialogs& dialogs);

}  // namespace tavrin
